// The firmware transfer against clocks scripted on the fake network: packets, their order
// and timing, the page's lines and boxes, and every way a transfer fails.
#include "firmware/UpdateWorker.h"

#include <gtest/gtest.h>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "firmware/TftpExchange.h"
#include "firmware/TftpPacket.h"
#include "platform/Ipv4.h"
#include "tests/support/DecimalCommaLocale.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::firmware {
namespace {

using platform::Endpoint;
using platform::Ipv4;
using platform::MakeIpv4;
using std::chrono::milliseconds;
using test::FakeNetwork;
using test::SentDatagram;
using Bytes = std::vector<std::uint8_t>;

const Ipv4 kClock = MakeIpv4(198, 18, 0, 10);
constexpr std::uint16_t kClockTransferPort = 50069;
constexpr const char* kMac = "00-00-5E-00-53-01";

Bytes Packet(TftpOpcode opcode, std::uint16_t second, std::size_t size = kAcknowledgementSize) {
    Bytes bytes(size);
    WriteBe16(bytes, 0, static_cast<std::uint16_t>(opcode));
    WriteBe16(bytes, 2, second);
    return bytes;
}
Bytes Ack(std::uint16_t block) {
    return Packet(TftpOpcode::kAcknowledgement, block);
}

std::uint16_t OpcodeOf(const SentDatagram& d) {
    return ReadBe16(d.bytes, 0);
}
std::uint16_t BlockOf(const SentDatagram& d) {
    return ReadBe16(d.bytes, 2);
}
bool IsRequest(const SentDatagram& d) {
    return OpcodeOf(d) == static_cast<std::uint16_t>(TftpOpcode::kWriteRequest);
}

// The System page as a recorder: every line and box in order, scripted answers to the break
// question.
class RecordingReporter : public UpdateReporter {
  public:
    std::deque<bool> answers;  // for AskYesNo; Yes when empty
    std::function<void()> onResult;

    void SetMacAddressText(const std::string& text) override { Log("mac: " + text); }
    void SetProgressLine(const std::string& text) override { Log("progress: " + text); }
    void SetCounterLine(const std::string& text) override { Log("counter: " + text); }
    void ShowMessage(const std::string& text) override { Log("message: " + text); }
    void ShowUpdateResult(const std::string& text) override {
        Log(std::string(kUpdateResultTitle) + ": " + text);
        if (onResult) {
            onResult();
        }
    }
    bool AskYesNo(const std::string& text) override {
        Log("ask: " + text);
        std::lock_guard lock(mutex_);
        if (answers.empty()) {
            return true;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void FocusAddressControl() override { Log("focus: address"); }
    void FocusMacAddressField() override { Log("focus: mac"); }

    std::vector<std::string> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::string> EventsStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& e : Events()) {
            if (e.rfind(prefix, 0) == 0) {
                out.push_back(e);
            }
        }
        return out;
    }

  private:
    void Log(const std::string& text) {
        std::lock_guard lock(mutex_);
        events_.push_back(text);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

// A clock on the fake network. By default it acknowledges the write request from a port of
// its own (as TFTP servers do) and takes blocks lock-step; the hooks change single answers.
struct FakeClock {
    Ipv4 address = kClock;
    Bytes image;
    std::uint16_t lastBlock = 0;
    // Every answer arrives this long after the packet it answers left.
    milliseconds delay{0};
    // Return the datagrams to answer with (empty: stay silent). Default: plain behaviour.
    std::function<std::vector<Bytes>(const SentDatagram&)> onRequest;
    std::function<std::vector<Bytes>(const SentDatagram&)> onData;

    void Attach(FakeNetwork& net) {
        net.addPeer(address, [this](const SentDatagram& d, FakeNetwork& n) { Handle(d, n); });
    }
    std::vector<Bytes> Plain(const SentDatagram& d) {
        if (IsRequest(d)) {
            image.clear();
            lastBlock = 0;
            return {Ack(0)};
        }
        const std::uint16_t block = BlockOf(d);
        if (block == static_cast<std::uint16_t>(lastBlock + 1)) {
            image.insert(image.end(), d.bytes.begin() + kDataOffset, d.bytes.end());
            lastBlock = block;
        }
        return {Ack(block)};
    }
    // The first send of block `block` is answered with an acknowledgement of `earlier`
    // instead (the clock asks for the blocks after `earlier` again); plain otherwise.
    void AcknowledgeEarlierOnce(std::uint16_t block, std::uint16_t earlier) {
        onData = [this, block, earlier, done = false](const SentDatagram& d) mutable {
            if (BlockOf(d) == block && !done) {
                done = true;
                return std::vector<Bytes>{Ack(earlier)};
            }
            return Plain(d);
        };
    }
    void Handle(const SentDatagram& d, FakeNetwork& net) {
        std::vector<Bytes> replies;
        if (IsRequest(d)) {
            replies = onRequest ? onRequest(d) : Plain(d);
        } else if (OpcodeOf(d) == static_cast<std::uint16_t>(TftpOpcode::kData)) {
            replies = onData ? onData(d) : Plain(d);
        }
        for (auto& bytes : replies) {
            net.deliver(d.from.port, Endpoint{address, kClockTransferPort}, std::move(bytes),
                        delay);
        }
    }
};

class UpdateWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tavlo-fw-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        clock_.Attach(net_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A firmware file of `size` bytes with a recognisable pattern; its path goes to the target.
    Bytes MakeFile(std::size_t size, const std::string& name = "image.bin") {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 512) & 0xFF);
        }
        target_.firmwarePath = (dir_ / name).string();
        std::ofstream(target_.firmwarePath, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(size));
        return bytes;
    }

    UpdateOutcome Run() {
        UpdateWorker worker(net_, state_, target_, reporter_, [this](Ipv4 address) {
            lookups_.push_back(address);
            return lookupAnswer_;
        });
        return worker.Run();
    }

    std::vector<SentDatagram> Sent() const { return net_.sent(); }
    int CountRequests() const {
        int count = 0;
        for (const auto& d : Sent()) {
            count += IsRequest(d) ? 1 : 0;
        }
        return count;
    }
    // The gaps between the sends of data block `block`, in ms.
    std::vector<std::uint64_t> GapsBetweenSendsOf(std::uint16_t block) const {
        std::vector<std::uint64_t> gaps;
        std::optional<std::uint64_t> last;
        for (const auto& d : Sent()) {
            if (!IsRequest(d) && BlockOf(d) == block) {
                if (last) {
                    gaps.push_back(d.timeMs - *last);
                }
                last = d.timeMs;
            }
        }
        return gaps;
    }
    std::vector<std::uint16_t> DataBlocks() const {
        std::vector<std::uint16_t> blocks;
        for (const auto& d : Sent()) {
            if (!IsRequest(d)) {
                blocks.push_back(BlockOf(d));
            }
        }
        return blocks;
    }

    FakeNetwork net_;
    UpdateState state_;
    UpdateTarget target_{kClock, {}, kMac};
    RecordingReporter reporter_;
    FakeClock clock_;
    std::filesystem::path dir_;
    std::vector<Ipv4> lookups_;
    std::optional<platform::MacAddress> lookupAnswer_;
};

const std::string kFalse = std::string(kUpdateResultTitle) + ": Update False!";
const std::string kSuccess = std::string(kUpdateResultTitle) + ": Update Successful!";
const std::string kNetwork = std::string("message: ") + kNetworkAnomalyMessage;

struct TransferCase {
    std::size_t size;
    std::vector<std::uint16_t> blocks;
    std::vector<std::size_t> blockSizes;
    std::vector<std::string> progress;
};

class TransferTest : public UpdateWorkerTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferTest, SendsEveryBlockLockStepAndReportsProgress) {
    const TransferCase& c = GetParam();
    const Bytes file = MakeFile(c.size);
    const UpdateOutcome outcome = Run();

    EXPECT_EQ(outcome.exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(clock_.image, file);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1 + c.blocks.size());
    EXPECT_EQ(sent[0].bytes, BuildWriteRequest(*ParseMacAddress(kMac), c.size));
    EXPECT_EQ(sent[0].to, (Endpoint{kClock, kTftpServerPort}));
    // Data goes to the port the clock answered from, 3 s after the request's acknowledgement.
    EXPECT_EQ(sent[1].timeMs - sent[0].timeMs, 3000u);
    for (std::size_t i = 0; i < c.blocks.size(); ++i) {
        EXPECT_EQ(BlockOf(sent[i + 1]), c.blocks[i]);
        EXPECT_EQ(sent[i + 1].bytes.size(), kDataOffset + c.blockSizes[i]);
        EXPECT_EQ(sent[i + 1].to, (Endpoint{kClock, kClockTransferPort}));
    }
    // One socket, one local port for the whole transfer.
    for (const auto& d : sent) {
        EXPECT_EQ(d.socketId, sent[0].socketId);
    }
    std::vector<std::string> expected;
    for (const auto& line : c.progress) {
        expected.push_back("progress: " + line);
    }
    EXPECT_EQ(reporter_.EventsStartingWith("progress: "), expected);
    const auto events = reporter_.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], "counter: Total Update: 1");
    EXPECT_EQ(events.back(), kSuccess);
    EXPECT_EQ(state_.updateCounter.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TransferTest,
                         ::testing::Values(TransferCase{700,
                                                        {1, 2},
                                                        {512, 188},
                                                        {"Block# 1 , Size#512 bytes ( 73.14 % )",
                                                         "Block# 2 , Size#700 bytes ( 100 % )"}},
                                           TransferCase{1024,
                                                        {1, 2, 3},
                                                        {512, 512, 0},
                                                        {"Block# 1 , Size#512 bytes ( 50.00 % )",
                                                         "Block# 2 , Size#1024 bytes ( 100.00 % )",
                                                         "Block# 3 , Size#1024 bytes ( 100 % )"}}));

TEST(ProgressLineTest, KeepsItsDecimalPointInAnyLocale) {
    const test::DecimalCommaLocale comma;
    EXPECT_EQ(FormatProgressLine(1, 512, 512.0 / 700 * 100),
              "Block# 1 , Size#512 bytes ( 73.14 % )");
    EXPECT_EQ(FormatProgressLine(2, 1024, 100.0), "Block# 2 , Size#1024 bytes ( 100.00 % )");
    EXPECT_EQ(FormatProgressLine(0, 0, 0.0), "Block# 0 , Size#0 bytes ( 0.00 % )");
    EXPECT_EQ(FormatFinalProgressLine(3, 1024, 100), "Block# 3 , Size#1024 bytes ( 100 % )");
    EXPECT_EQ(FormatCounterLine(12), "Total Update: 12");
    if (!comma.active()) {
        GTEST_SKIP()
            << "no locale with a decimal comma installed, and localedef could not build one";
    }
}

TEST_F(UpdateWorkerTest, CounterLineCountsThisUpdateBeforeItsBoxOpens) {
    MakeFile(10);
    state_.updateCounter = 4;
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(reporter_.EventsStartingWith("counter: "),
              std::vector<std::string>{"counter: Total Update: 5"});
    EXPECT_EQ(state_.updateCounter.load(), 5);
}

TEST_F(UpdateWorkerTest, OlderAcknowledgementMakesTheBlockGoAgain) {
    const Bytes file = MakeFile(1500);
    clock_.AcknowledgeEarlierOnce(2, 1);
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(DataBlocks(), (std::vector<std::uint16_t>{1, 2, 2, 3}));
    EXPECT_EQ(clock_.image, file);
    EXPECT_EQ(reporter_.EventsStartingWith("progress: "),
              (std::vector<std::string>{"progress: Block# 1 , Size#512 bytes ( 34.13 % )",
                                        "progress: Block# 1 , Size#512 bytes ( 34.13 % )",
                                        "progress: Block# 2 , Size#1024 bytes ( 68.27 % )",
                                        "progress: Block# 3 , Size#1500 bytes ( 100 % )"}));
}

TEST_F(UpdateWorkerTest, OlderAcknowledgementOfTheLastBlockIsNotSuccess) {
    const Bytes file = MakeFile(700);
    clock_.AcknowledgeEarlierOnce(2, 1);
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(DataBlocks(), (std::vector<std::uint16_t>{1, 2, 2}));
    EXPECT_EQ(clock_.image, file);
}

TEST_F(UpdateWorkerTest, LateCopyOfTheRequestAcknowledgementResendsBlockOneWithoutPause) {
    const Bytes file = MakeFile(700);
    bool repeated = false;
    clock_.onData = [&](const SentDatagram& d) -> std::vector<Bytes> {
        if (!repeated) {
            repeated = true;  // the server's retransmission crosses block 1
            return {Ack(0)};
        }
        return clock_.Plain(d);
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(DataBlocks(), (std::vector<std::uint16_t>{1, 1, 2}));
    const auto sent = Sent();
    EXPECT_EQ(sent[2].timeMs, sent[1].timeMs);  // no second 3 s pause
    EXPECT_EQ(clock_.image, file);
}

TEST_F(UpdateWorkerTest, DuplicateAcknowledgementLeftFromAnEarlierBlockIsDiscarded) {
    const Bytes file = MakeFile(1500);
    clock_.onData = [&](const SentDatagram& d) -> std::vector<Bytes> {
        auto replies = clock_.Plain(d);
        if (BlockOf(d) == 1) {
            replies.push_back(Ack(1));  // the same acknowledgement twice
        }
        return replies;
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(DataBlocks(), (std::vector<std::uint16_t>{1, 2, 3}));
    EXPECT_EQ(clock_.image, file);
}

TEST_F(UpdateWorkerTest, SilentClockGetsTheRequestSixtyTimesASecondApart) {
    MakeFile(700);
    clock_.onRequest = [](const SentDatagram&) { return std::vector<Bytes>{}; };
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 60u);
    for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].timeMs - sent[i - 1].timeMs, 1000u);
        EXPECT_EQ(sent[i].bytes, sent[0].bytes);
    }
    EXPECT_EQ(reporter_.Events(), (std::vector<std::string>{"progress: ", kFalse}));
}

// A data block that gets no answer is sent again after the same short wait three times, then
// after doubling waits up to a second, until no acknowledgement has come for 60 s: then the
// network message and "Update False!".
TEST_F(UpdateWorkerTest, SilenceDuringDataBacksOffAndGivesUpAfterSixtySeconds) {
    MakeFile(1500);
    clock_.onData = [&](const SentDatagram& d) -> std::vector<Bytes> {
        if (BlockOf(d) == 2) {
            return {};
        }
        return clock_.Plain(d);
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    const std::vector<std::uint64_t> gaps = GapsBetweenSendsOf(2);
    const std::vector<std::uint64_t> first(gaps.begin(), gaps.begin() + 10);
    EXPECT_EQ(first, (std::vector<std::uint64_t>{20, 20, 20, 20, 40, 80, 160, 320, 640, 1000}));
    std::uint64_t waited = 0;
    for (const std::uint64_t gap : gaps) {
        EXPECT_LE(gap, 1000u);
        waited += gap;
    }
    // From the first send of block 2 to the end of the last wait.
    const auto sent = Sent();
    EXPECT_EQ(net_.now() - (sent.back().timeMs - waited), 60000u);
    const auto events = reporter_.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{kNetwork, "progress: ", kFalse}));
    EXPECT_EQ(state_.updateCounter.load(), 0);
}

// A clock that stops answering for 10 s (erasing its flash) is asked once a second and
// waited for.
TEST_F(UpdateWorkerTest, ClockSilentForTenSecondsIsWaitedFor) {
    const Bytes file = MakeFile(2000);
    std::optional<std::uint64_t> silentSince;
    clock_.onData = [&](const SentDatagram& d) -> std::vector<Bytes> {
        if (BlockOf(d) == 3 && !silentSince) {
            silentSince = d.timeMs;
        }
        if (silentSince && d.timeMs - *silentSince < 10000) {
            return {};
        }
        return clock_.Plain(d);
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(clock_.image, file);
    const std::vector<std::uint64_t> gaps = GapsBetweenSendsOf(3);
    ASSERT_FALSE(gaps.empty());
    EXPECT_EQ(gaps.back(), 1000u);
    EXPECT_LE(gaps.size(), 20u);
}

// The wait before a block goes again: a second before the first round trip was measured,
// then the smoothed round trip plus four times its variation, from 20 ms to 1 s; a second
// always with the fixed wait and in broadcast mode.
TEST_F(UpdateWorkerTest, WaitBeforeAResendFollowsTheRoundTrip) {
    struct Case {
        const char* name;
        milliseconds delay;  // every answer's
        std::uint16_t lost;  // the first answer to this block is lost
        WaitPolicy policy;
        Ipv4 address;
        std::vector<std::uint64_t> gaps;  // between the sends of the block whose answer was lost
    };
    const Ipv4 broadcast = MakeIpv4(198, 18, 0, 255);
    const std::vector<Case> cases = {
        {"no round trip measured yet", milliseconds(0), 1, WaitPolicy::kAdaptive, kClock, {1000}},
        {"quick clock", milliseconds(0), 5, WaitPolicy::kAdaptive, kClock, {20}},
        // One sample of 100 ms: 100 + 4 x 50.
        {"100 ms round trip", milliseconds(100), 2, WaitPolicy::kAdaptive, kClock, {300}},
        // Two of 100 ms: 100 + 4 x 37.5.
        {"two samples", milliseconds(100), 3, WaitPolicy::kAdaptive, kClock, {250}},
        {"slow clock", milliseconds(600), 3, WaitPolicy::kAdaptive, kClock, {1000}},
        {"fixed wait", milliseconds(0), 5, WaitPolicy::kFixed, kClock, {1000}},
        {"broadcast", milliseconds(0), 5, WaitPolicy::kAdaptive, broadcast, {1000}},
    };
    for (const Case& c : cases) {
        FakeNetwork net;
        FakeClock clock;
        clock.delay = c.delay;
        clock.onData = [&clock, &c, lost = false](const SentDatagram& d) mutable {
            auto replies = clock.Plain(d);
            if (BlockOf(d) == c.lost && !lost) {
                lost = true;
                replies.clear();
            }
            return replies;
        };
        clock.Attach(net);
        const Bytes file = MakeFile(6 * 512);
        RecordingReporter reporter;
        UpdateTarget target{c.address, target_.firmwarePath, kMac, c.policy};
        UpdateWorker worker(net, state_, target, reporter, nullptr);
        EXPECT_EQ(worker.Run().exitCode, WorkerExit::kSucceeded) << c.name;
        EXPECT_EQ(clock.image, file) << c.name;
        std::vector<std::uint64_t> gaps;
        std::optional<std::uint64_t> last;
        for (const auto& d : net.sent()) {
            if (!IsRequest(d) && BlockOf(d) == c.lost) {
                if (last) {
                    gaps.push_back(d.timeMs - *last);
                }
                last = d.timeMs;
            }
        }
        EXPECT_EQ(gaps, c.gaps) << c.name;
    }
}

// Karn's rule: a block that went twice tells no round trip. Answers take 10 ms (a wait of
// 30 ms after the first block); block 2's first send is lost and its resend answered, so
// the wait stays 30 ms (a sample from the first send would make it 59, from the resend 25).
TEST_F(UpdateWorkerTest, AResentBlockTellsNoRoundTrip) {
    const Bytes file = MakeFile(5 * 512);
    clock_.delay = milliseconds(10);
    std::map<std::uint16_t, int> seen;
    clock_.onData = [&](const SentDatagram& d) -> std::vector<Bytes> {
        auto replies = clock_.Plain(d);
        const int times = ++seen[BlockOf(d)];
        if ((BlockOf(d) == 2 || BlockOf(d) == 3) && times == 1) {
            replies.clear();
        }
        return replies;
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(clock_.image, file);
    EXPECT_EQ(GapsBetweenSendsOf(2), std::vector<std::uint64_t>{30});
    EXPECT_EQ(GapsBetweenSendsOf(3), std::vector<std::uint64_t>{30});
}

// Acknowledgements of the block before the one out: the clock asking for it again is
// answered once per block; a repeat of that, or the clock's answer to an extra send of ours,
// sends nothing (no packet ever goes twice for one duplicate). The clock answers after 10 ms,
// so late answers come while the next block is out; block 4 waits 22 ms.
TEST_F(UpdateWorkerTest, DuplicateAcknowledgementsSendNothing) {
    struct Case {
        const char* name;
        // The answers to block 4's first send: each an acknowledged block and its delay.
        std::vector<std::pair<std::uint16_t, milliseconds>> answers;
        std::vector<std::uint16_t> blocks;
    };
    const std::vector<Case> cases = {
        {"asked again once", {{3, milliseconds(0)}}, {1, 2, 3, 4, 4, 5, 6}},
        {"asked again twice", {{3, milliseconds(0)}, {3, milliseconds(5)}}, {1, 2, 3, 4, 4, 5, 6}},
        // A second acknowledgement of a block that went once asks for the next again, once;
        // the answer to that second send does not make block 6 go twice.
        {"acknowledged twice", {{4, milliseconds(0)}, {4, milliseconds(5)}}, {1, 2, 3, 4, 5, 5, 6}},
        // Block 4 goes again after 22 ms; the answer to that resend comes while block 5 is out.
        {"acknowledgement later than the wait", {{4, milliseconds(30)}}, {1, 2, 3, 4, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        FakeNetwork net;
        FakeClock clock;
        clock.delay = milliseconds(10);
        clock.onData = [&clock, &c, first = true](const SentDatagram& d) mutable {
            if (BlockOf(d) != 4 || !first) {
                return clock.Plain(d);
            }
            first = false;
            clock.Plain(d);
            return std::vector<Bytes>{};
        };
        net.onSend([&c, sends = 0](const SentDatagram& d, FakeNetwork& n) mutable {
            if (!IsRequest(d) && BlockOf(d) == 4 && ++sends == 1) {
                for (const auto& [block, delay] : c.answers) {
                    n.deliver(d.from.port, Endpoint{kClock, kClockTransferPort}, Ack(block), delay);
                }
            }
        });
        clock.Attach(net);
        const Bytes file = MakeFile(6 * 512 - 1);
        RecordingReporter reporter;
        UpdateWorker worker(net, state_, target_, reporter, nullptr);
        EXPECT_EQ(worker.Run().exitCode, WorkerExit::kSucceeded) << c.name;
        EXPECT_EQ(clock.image, file) << c.name;
        std::vector<std::uint16_t> blocks;
        for (const auto& d : net.sent()) {
            if (!IsRequest(d)) {
                blocks.push_back(BlockOf(d));
            }
        }
        EXPECT_EQ(blocks, c.blocks) << c.name;
    }
}

struct NotAnAckCase {
    const char* name;
    Bytes reply;
    // After "Update False!": what the clock answered last, when it refused.
    std::string refusal;
};

class NotAnAcknowledgementTest : public UpdateWorkerTest,
                                 public ::testing::WithParamInterface<NotAnAckCase> {};

TEST_P(NotAnAcknowledgementTest, CountsAsNoAnswer) {
    MakeFile(700);
    clock_.onRequest = [](const SentDatagram&) { return std::vector<Bytes>{GetParam().reply}; };
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    EXPECT_EQ(CountRequests(), 60);
    EXPECT_EQ(DataBlocks().size(), 0u);
    EXPECT_EQ(reporter_.Events(),
              (std::vector<std::string>{"progress: ", kFalse + GetParam().refusal}));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, NotAnAcknowledgementTest,
    ::testing::Values(NotAnAckCase{"OptionAck",
                                   [] {
                                       Bytes b = {0, 6};
                                       for (const char* t : {"blksize", "512", "tsize", "700"}) {
                                           b.insert(b.end(), t,
                                                    t + std::char_traits<char>::length(t));
                                           b.push_back(0);
                                       }
                                       return b;
                                   }(),
                                   ""},
                      NotAnAckCase{"Error",
                                   [] {
                                       Bytes b = Packet(TftpOpcode::kError, 3);
                                       for (const char c : std::string_view("Disk\x1b[2J full")) {
                                           b.push_back(static_cast<std::uint8_t>(c));
                                       }
                                       b.push_back(0);
                                       return b;
                                   }(),
                                   "\nThe clock refused the file: Disk?[2J full (error 3)"},
                      NotAnAckCase{"TooShort", Bytes{0, 4, 0}, ""},
                      NotAnAckCase{"AckOfALaterBlock", Ack(5), ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateWorkerTest, BreakSetBeforeTheRequestFailsWithoutAsking) {
    MakeFile(700);
    state_.breakFlag = true;
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(reporter_.Events(), (std::vector<std::string>{"progress: ", kFalse}));
    EXPECT_TRUE(state_.breakFlag.load());
}

struct BreakCase {
    const char* name;
    bool duringData;
    bool yes;
};

class BreakTest : public UpdateWorkerTest, public ::testing::WithParamInterface<BreakCase> {};

TEST_P(BreakTest, QuestionBeforeTheNextSend) {
    const BreakCase& c = GetParam();
    const Bytes file = MakeFile(700);
    // "Break" is pressed while the packet is out; the clock does not answer that send.
    bool pressed = false;
    auto pressBreak = [&](const SentDatagram& d) -> std::vector<Bytes> {
        if (!pressed) {
            pressed = true;
            state_.breakFlag = true;
            return {};
        }
        return clock_.Plain(d);
    };
    if (c.duringData) {
        clock_.onData = pressBreak;
    } else {
        clock_.onRequest = pressBreak;
    }
    reporter_.answers = {c.yes};
    const UpdateOutcome outcome = Run();

    const auto asks = reporter_.EventsStartingWith("ask: ");
    EXPECT_EQ(asks, std::vector<std::string>{"ask: Do you want to break update?"});
    if (c.yes) {
        EXPECT_EQ(outcome.exitCode, WorkerExit::kFailed);
        EXPECT_TRUE(state_.breakFlag.load());  // left for the update monitor
        EXPECT_EQ(Sent().size(), c.duringData ? 2u : 1u);
        const auto events = reporter_.Events();
        EXPECT_EQ(events.back(), kFalse);
        EXPECT_EQ(reporter_.EventsStartingWith("message: ").size(), c.duringData ? 1u : 0u);
    } else {
        EXPECT_EQ(outcome.exitCode, WorkerExit::kSucceeded);
        EXPECT_FALSE(state_.breakFlag.load());
        EXPECT_EQ(clock_.image, file);
        const auto sent = Sent();
        // The same packet goes again after the question.
        const std::size_t first = c.duringData ? 1 : 0;
        EXPECT_EQ(sent[first].bytes, sent[first + 1].bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Phases, BreakTest,
                         ::testing::Values(BreakCase{"RequestYes", false, true},
                                           BreakCase{"RequestNo", false, false},
                                           BreakCase{"DataYes", true, true},
                                           BreakCase{"DataNo", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateWorkerTest, BroadcastModeSkipsOtherDatagramsWithinOneWait) {
    const Bytes file = MakeFile(700);
    target_.address = MakeIpv4(198, 18, 0, 255);
    // Each packet is first answered by something that is not an acknowledgement.
    auto noisy = [&](const SentDatagram& d) {
        auto replies = clock_.Plain(d);
        replies.insert(replies.begin(), Packet(TftpOpcode::kError, 0, 6));
        return replies;
    };
    clock_.onRequest = noisy;
    clock_.onData = noisy;
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(clock_.image, file);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);  // no packet sent twice
    EXPECT_EQ(sent[0].to, (Endpoint{platform::kLimitedBroadcast, kTftpServerPort}));
    EXPECT_EQ(sent[1].to, (Endpoint{platform::kLimitedBroadcast, kClockTransferPort}));
    EXPECT_TRUE(sent[0].broadcast);
    EXPECT_TRUE(net_.sockets().at(static_cast<std::size_t>(sent[0].socketId)).broadcastEnabled);
}

// On a PC with two adapters a broadcast update leaves by the named one only.
TEST_F(UpdateWorkerTest, BroadcastModeLeavesByTheNamedInterfaces) {
    const Bytes file = MakeFile(700);
    const Ipv4 mask = MakeIpv4(255, 255, 255, 0);
    net_.setInterfaces(
        {{"office", 2, MakeIpv4(192, 168, 1, 2), mask, MakeIpv4(192, 168, 1, 255), false},
         {"clocks", 3, MakeIpv4(198, 18, 0, 1), mask, MakeIpv4(198, 18, 0, 255), false}});
    target_.address = MakeIpv4(198, 18, 0, 255);
    UpdateWorker worker(net_, state_, target_, reporter_, [](Ipv4) { return std::nullopt; });
    worker.SetBroadcastInterfaces({"clocks"});
    EXPECT_EQ(worker.Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(clock_.image, file);
    for (const SentDatagram& sent : Sent()) {
        EXPECT_EQ(sent.interfaceIndex, 3u);
    }
}

TEST_F(UpdateWorkerTest, UnicastModeSendsAgainAfterADatagramThatIsNoAcknowledgement) {
    MakeFile(700);
    bool noisy = true;
    clock_.onRequest = [&](const SentDatagram& d) -> std::vector<Bytes> {
        if (noisy) {
            noisy = false;
            return {Packet(TftpOpcode::kError, 0, 6)};
        }
        return clock_.Plain(d);
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(CountRequests(), 2);
}

// Transfer IDs: in a unicast transfer only the clock's address is heard, and once the
// clock's first acknowledgement has fixed its port, only that port. Anyone else is told
// "Unknown transfer ID" and the transfer carries on.
struct StrangerCase {
    const char* name;
    Endpoint stranger;
    bool clockAnswersRequest;
    bool strangerAnswersRequest;
    bool succeeds;
};

class StrangerTest : public UpdateWorkerTest, public ::testing::WithParamInterface<StrangerCase> {};

TEST_P(StrangerTest, IsToldUnknownTransferIdAndNeverTaken) {
    const StrangerCase& c = GetParam();
    const Bytes file = MakeFile(1500);
    if (!c.clockAnswersRequest) {
        clock_.onRequest = [](const SentDatagram&) { return std::vector<Bytes>{}; };
    }
    // The stranger acknowledges what goes to the clock, always before the clock does.
    net_.onSend([&c](const SentDatagram& d, FakeNetwork& n) {
        if (d.to.address == kClock && (c.strangerAnswersRequest || !IsRequest(d))) {
            n.deliver(d.from.port, c.stranger, Ack(IsRequest(d) ? 0 : BlockOf(d)));
        }
    });
    EXPECT_EQ(Run().exitCode, c.succeeds ? WorkerExit::kSucceeded : WorkerExit::kFailed);

    const Bytes refusal = BuildErrorPacket(5, "Unknown transfer ID");
    int toClock = 0;
    int refusals = 0;
    for (const auto& d : Sent()) {
        if (d.to == c.stranger) {
            EXPECT_EQ(d.bytes, refusal);
            ++refusals;
        } else {
            EXPECT_EQ(d.to.address, kClock);
            ++toClock;
        }
    }
    EXPECT_EQ(refusals, toClock - (c.strangerAnswersRequest ? 0 : CountRequests()));
    if (c.succeeds) {
        EXPECT_EQ(clock_.image, file);
        EXPECT_EQ(toClock, 1 + 3);  // nothing sent twice
    } else {
        EXPECT_EQ(CountRequests(), 60);
        EXPECT_EQ(toClock, 60);  // not a single data block
        EXPECT_EQ(reporter_.Events(), (std::vector<std::string>{"progress: ", kFalse}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Strangers, StrangerTest,
    ::testing::Values(
        StrangerCase{
            "OtherHostWhileTheClockAnswers", {MakeIpv4(198, 18, 0, 66), 50070}, true, true, true},
        StrangerCase{"OtherHostWhileTheClockIsSilent",
                     {MakeIpv4(198, 18, 0, 66), 50070},
                     false,
                     true,
                     false},
        StrangerCase{"ClockAddressFromAnotherPortAfterItsFirstAcknowledgement",
                     {kClock, kClockTransferPort + 1},
                     true,
                     false,
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

// A stranger flooding the transfer's port while the clock is silent: the first 64 datagrams
// of each wait are told "Unknown transfer ID", the rest are ignored, and none of them moves
// the end of the wait, so the clock is still given its 60 sends a second apart.
TEST_F(UpdateWorkerTest, AStrangerFloodNeitherShortensNorStretchesTheWaits) {
    MakeFile(700);
    clock_.onRequest = [](const SentDatagram&) { return std::vector<Bytes>{}; };
    const Endpoint stranger{MakeIpv4(198, 18, 0, 66), 50070};
    net_.onSend([&stranger](const SentDatagram& d, FakeNetwork& n) {
        for (int i = 0; d.to.address == kClock && i < 200; ++i) {
            n.deliver(d.from.port, stranger, Ack(0), std::chrono::milliseconds(5 * i));
        }
    });
    const std::uint64_t began = net_.now();
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    EXPECT_EQ(CountRequests(), 60);
    EXPECT_EQ(net_.now() - began, 60u * 1000u);
    std::size_t refusals = 0;
    for (const auto& d : Sent()) {
        refusals += d.to == stranger ? 1 : 0;
    }
    EXPECT_EQ(refusals, 60u * kMaxStrangersPerSend);
}

TEST_F(UpdateWorkerTest, RefusalsBeforeAnyPacket) {
    struct Case {
        Ipv4 address;
        std::string path;
        std::string mac;
        std::vector<std::string> events;
    };
    MakeFile(700);
    const std::string good = target_.firmwarePath;
    const std::vector<Case> cases = {
        {0, good, kMac, {"message: Please enter a valid IP!", "focus: address"}},
        {MakeIpv4(198, 18, 0, 0),
         good,
         kMac,
         {"message: Please enter a valid IP!", "focus: address"}},
        {kClock, (dir_ / "image.BIN").string(), kMac, {"message: Select file error!"}},
        {kClock, (dir_ / "missing.bin").string(), kMac, {"message: File does not exist!"}},
        {kClock, (dir_ / "empty.bin").string(), kMac, {"message: File is empty!"}},
        {kClock, dir_.string() + "/dir.bin", kMac, {"message: File does not exist!"}},
        {kClock, good, "   ", {"message: Please enter a valid MAC address!", "focus: mac"}},
        {kClock,
         good,
         "00-00-5E-00-53",
         {"message: Please enter a valid MAC address!", "focus: mac"}},
        {kClock,
         good,
         "00:00:5E:00:53:01",
         {"message: Please enter a valid MAC address!", "focus: mac"}},
    };
    std::ofstream(dir_ / "empty.bin").flush();
    std::filesystem::create_directories(dir_ / "dir.bin");
    for (const Case& c : cases) {
        RecordingReporter reporter;
        UpdateWorker worker(net_, state_, UpdateTarget{c.address, c.path, c.mac}, reporter,
                            nullptr);
        const UpdateOutcome outcome = worker.Run();
        EXPECT_EQ(outcome.exitCode, WorkerExit::kFailed) << c.path << " " << c.mac;
        EXPECT_TRUE(outcome.refused) << c.path << " " << c.mac;
        EXPECT_EQ(reporter.Events(), c.events) << c.path << " " << c.mac;
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(UpdateWorkerTest, FileOf65535BlocksOrMoreIsRefused) {
    MakeFile(0);
    std::filesystem::resize_file(target_.firmwarePath, kMaxFileSize + 1);  // 33,553,920 bytes
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    EXPECT_EQ(reporter_.Events(),
              std::vector<std::string>{std::string("message: ") + kFileTooLargeMessage});
    EXPECT_TRUE(Sent().empty());
}

TEST_F(UpdateWorkerTest, EmptyMacFieldIsFilledFromTheNeighbourTable) {
    const Bytes file = MakeFile(700);
    target_.macAddressText.clear();
    lookupAnswer_ = platform::MacAddress{0x41, 0x42, 0x43, 0x44, 0x45, 0x46};
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(lookups_, std::vector<Ipv4>{kClock});
    EXPECT_EQ(reporter_.Events().front(), "mac: 41-42-43-44-45-46");
    EXPECT_EQ(Sent()[0].bytes, BuildWriteRequest(*lookupAnswer_, 700));
}

// No MAC address given and none in the neighbour table: the clock did not answer ARP, so
// its update fails (it is no refused entry), and nothing is sent.
TEST_F(UpdateWorkerTest, EmptyMacFieldWithoutNeighbourEntryFailsTheUpdate) {
    MakeFile(700);
    target_.macAddressText.clear();
    const UpdateOutcome outcome = Run();
    EXPECT_EQ(outcome.exitCode, WorkerExit::kFailed);
    EXPECT_TRUE(outcome.macUnknown);
    EXPECT_FALSE(outcome.refused);
    EXPECT_EQ(
        reporter_.Events(),
        (std::vector<std::string>{
            "progress: ", kFalse + "\nNo MAC address known for 198.18.0.10 (no answer to ARP)"}));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(UpdateWorkerTest, FileThatShrinksEndsTheUpdate) {
    MakeFile(1500);
    clock_.onData = [&](const SentDatagram& d) {
        std::filesystem::resize_file(target_.firmwarePath, 600);
        return clock_.Plain(d);
    };
    EXPECT_EQ(Run().exitCode, WorkerExit::kFailed);
    EXPECT_EQ(DataBlocks(), std::vector<std::uint16_t>{1});
    const auto events = reporter_.Events();
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"progress: ", kFalse}));
    EXPECT_TRUE(reporter_.EventsStartingWith("message: ").empty());
}

TEST_F(UpdateWorkerTest, FileIsNeverChanged) {
    const Bytes file = MakeFile(2000);
    const auto before = std::filesystem::last_write_time(target_.firmwarePath);
    EXPECT_EQ(Run().exitCode, WorkerExit::kSucceeded);
    std::ifstream in(target_.firmwarePath, std::ios::binary);
    const Bytes after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, file);
    EXPECT_EQ(std::filesystem::last_write_time(target_.firmwarePath), before);
}

TEST_F(UpdateWorkerTest, RunsOnItsOwnThreadAndSaysWhenItHasEnded) {
    const Bytes file = MakeFile(5000);
    UpdateWorker worker(net_, state_, target_, reporter_, nullptr);
    EXPECT_FALSE(worker.IsRunning());
    worker.Start();
    EXPECT_TRUE(worker.WaitFor(milliseconds(10000)));
    EXPECT_FALSE(worker.IsRunning());
    worker.Join();
    EXPECT_EQ(worker.Outcome().exitCode, WorkerExit::kSucceeded);
    EXPECT_EQ(worker.Outcome().fileLength, 5000u);
    EXPECT_EQ(clock_.image, file);
}

TEST_F(UpdateWorkerTest, DestroyingARunningWorkerStopsItQuietly) {
    MakeFile(700);
    // The clock never answers; the owner goes away while the worker re-sends.
    clock_.onRequest = [&](const SentDatagram&) {
        std::this_thread::sleep_for(milliseconds(2));
        return std::vector<Bytes>{};
    };
    {
        UpdateWorker worker(net_, state_, target_, reporter_, nullptr);
        worker.Start();
        while (Sent().empty()) {
            std::this_thread::yield();
        }
    }
    EXPECT_LT(CountRequests(), 60);
    EXPECT_TRUE(reporter_.Events().empty());
}

}  // namespace
}  // namespace tavlo::firmware
