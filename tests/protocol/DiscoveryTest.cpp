// The discovery engine on the fake network: rounds, waits and pauses in virtual milliseconds,
// sweep order, filters, grouping, sorting, labels, stop requests and the worker thread.
#include "protocol/Discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Ipv4.h"
#include "protocol/Chunks.h"
#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::protocol {
namespace {

using platform::FormatIpv4;
using platform::Ipv4;
using platform::MakeIpv4;
using std::chrono::milliseconds;
using test::FakeNetwork;
using test::SentDatagram;

const Ipv4 kPcAddress = MakeIpv4(192, 168, 1, 2);
const Ipv4 kPcSecondAddress = MakeIpv4(10, 1, 1, 2);

class FixedNonce final : public NonceSource {
  public:
    std::uint32_t nextNonce() override { return 0x4142; }
};

// Records every report as one line of text.
class Recorder final : public SearchReporter {
  public:
    void controlsChanged(const SearchControls& c) override {
        last = c;
        add("controls");
    }
    void message(const std::string& text) override { add("message " + text); }
    void searchStarted() override { add("started"); }
    void addressProbed(const std::string& address) override { add("probed " + address); }
    void groupCreated(SearchGroup g, const std::string& text) override {
        add("created " + name(g) + " " + text);
    }
    void itemAdded(SearchGroup g, const std::string& text) override {
        add("item " + name(g) + " " + text);
        if (onItem) {
            onItem();
        }
    }
    void groupFinished(SearchGroup g, const std::vector<std::string>& items,
                       const std::string& label) override {
        std::string line = "finished " + name(g) + " " + label + " [";
        for (const auto& item : items) {
            line += item + ";";
        }
        add(line + "]");
    }
    void groupExpanded(SearchGroup g) override { add("expanded " + name(g)); }
    void itemHeardOn(SearchGroup, const std::string& text, const std::string& in) override {
        add("heard " + text + " on " + in);
    }
    void warning(const std::string& text) override { add("warning " + text); }
    void networkError(const std::string& text) override { add("error " + text); }
    void searchEnded() override { add("ended"); }

    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> linesStartingWith(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& line : lines()) {
            if (line.rfind(prefix, 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }
    bool has(const std::string& line) {
        const auto all = lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    SearchControls last;
    std::function<void()> onItem;

  private:
    static std::string name(SearchGroup g) {
        return g == SearchGroup::kCurrent ? "current" : "early";
    }
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::vector<std::uint8_t> WiredAnnouncement(const std::string& serial, bool flag = true,
                                            std::uint8_t type = 3) {
    ProtocolState clock;
    clock.settingsFrame[kFlagsOffset] = flag ? kFlagCarriedOut : 0;
    clock.settingsFrame[kFrameTypeOffset] = type;
    std::memcpy(clock.settingsFrame.data() + kSerialNumberOffset, serial.data(),
                std::min(serial.size(), kSerialNumberSize));
    FrameChunk chunk{};
    FixedNonce nonces;
    BuildNextChunk(clock, chunk, nonces);
    return {chunk.begin(), chunk.end()};
}

std::vector<std::uint8_t> WifiAnnouncement(const std::string& serial) {
    std::vector<std::uint8_t> frame(kSettingsFrameSize, 0);
    frame[kFlagsOffset] = kFlagCarriedOut;
    frame[kFrameTypeOffset] = 3;
    std::memcpy(frame.data() + kSerialNumberOffset, serial.data(),
                std::min(serial.size(), kSerialNumberSize));
    return frame;
}

std::vector<std::uint8_t> EarlyAnswer(const std::string& serial, std::uint8_t marker = 1) {
    std::vector<std::uint8_t> frame(kCommandFrameSize, 0);
    frame[kRequestMarkerOffset] = marker;
    frame[kCommandCodeOffset] = 1;
    std::memcpy(frame.data() + kEarlySerialNumberOffset, serial.data(),
                std::min(serial.size(), kEarlySerialNumberSize - 1));
    return frame;
}

enum class Kind { kWired, kWifi, kEarlyWired, kEarlyWifi };

// A clock at `address` answering the probes of its kind (every round, after `delay`).
void AddClock(FakeNetwork& net, Kind kind, Ipv4 address, const std::string& serial,
              milliseconds delay = milliseconds(5)) {
    net.addPeer(address, [=](const SentDatagram& request, FakeNetwork& n) {
        const std::size_t size = request.bytes.size();
        switch (kind) {
            case Kind::kWired:
                if (request.to.port == kChunkPort && size == kChunkSize) {
                    n.reply(request, address, WiredAnnouncement(serial), delay);
                }
                break;
            case Kind::kWifi:
                if (request.to.port == kFullFramePort && size == kSettingsFrameSize) {
                    n.reply(request, address, WifiAnnouncement(serial), delay);
                }
                break;
            case Kind::kEarlyWired:
                if (request.to.port == kCommandPort && size == kCommandFrameSize) {
                    n.reply(request, address, EarlyAnswer(serial), delay);
                }
                break;
            case Kind::kEarlyWifi:
                if (request.to.port == kFullFramePort && size == kCommandFrameSize) {
                    n.reply(request, address, EarlyAnswer(serial), delay);
                }
                break;
        }
    });
}

class DiscoveryTest : public ::testing::Test {
  protected:
    DiscoveryTest() { net.setLocalAddresses({kPcAddress, kPcSecondAddress}); }

    SearchOutcome Run(const SearchOptions& options) {
        return RunSearch(net, protocol, state, options, recorder);
    }
    static SearchOptions Unicast(const std::string& from, bool wifi = false) {
        SearchOptions o;
        o.unicastChecked = true;
        o.ipAddressText = from;
        o.wifiChecked = wifi;
        o.wiredChecked = !wifi;
        return o;
    }
    static SearchOptions Broadcast(bool wifi) {
        SearchOptions o;
        o.broadcastChecked = true;
        o.wifiChecked = wifi;
        o.wiredChecked = !wifi;
        return o;
    }
    // (time, dotted target, port, size) of every datagram sent.
    std::vector<std::string> Sends() {
        std::vector<std::string> out;
        for (const auto& s : net.sent()) {
            out.push_back(std::to_string(s.timeMs) + " " + FormatIpv4(s.to.address) + ":" +
                          std::to_string(s.to.port) + " " + std::to_string(s.bytes.size()));
        }
        return out;
    }

    FakeNetwork net;
    ProtocolState protocol;
    SearchState state;
    Recorder recorder;
};

TEST_F(DiscoveryTest, FirstSearchWithNothingChosenIsAWiredBroadcastOfBothGenerations) {
    EXPECT_EQ(Run(SearchOptions{}), SearchOutcome::kCompleted);

    const SearchControls& c = recorder.last;
    EXPECT_TRUE(c.broadcastChecked);
    EXPECT_FALSE(c.unicastChecked);
    EXPECT_FALSE(c.ipAddressEnabled);
    EXPECT_TRUE(c.wiredChecked);
    EXPECT_FALSE(c.wifiChecked);
    EXPECT_TRUE(c.earlyVersionsChecked);
    EXPECT_TRUE(c.v32Checked);
    EXPECT_EQ(state.WifiFamilySelected.load(), 0);
    EXPECT_EQ(state.WiredFamilySelected.load(), 1);
    EXPECT_EQ(state.SearchStopFlag.load(), kSearchIdle);

    // Five rounds of (500 ms wait + 500 ms pause), then one early probe with a 2 s wait.
    EXPECT_EQ(Sends(), (std::vector<std::string>{
                           "0 255.255.255.255:6869 106", "1000 255.255.255.255:6869 106",
                           "2000 255.255.255.255:6869 106", "3000 255.255.255.255:6869 106",
                           "4000 255.255.255.255:6869 106", "5000 255.255.255.255:6869 95"}));
    EXPECT_EQ(net.now(), 7000u);

    // One socket for the whole search, on the wired port, broadcast, with a big buffer.
    const auto sockets = net.sockets();
    ASSERT_EQ(sockets.size(), 1u);
    EXPECT_TRUE(sockets[0].broadcastEnabled);
    EXPECT_GE(sockets[0].receiveBuffer, 1 << 20);
    EXPECT_EQ(sockets[0].boundTo.port, kChunkPort);
    EXPECT_FALSE(sockets[0].open);

    // No current clock answered: no group for it; the early group says 0.
    EXPECT_EQ(recorder.lines(),
              (std::vector<std::string>{
                  "controls", "started", "controls", "created early Early Versions",
                  "finished early Early Versions: 0 []", "expanded early", "ended"}));
}

TEST_F(DiscoveryTest, ProbesCarryTheDiscoveryCodes) {
    Run(Broadcast(false));
    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 6u);

    // Wired probe: one chunk (number 1, length 99) of a type-3 frame with flag bit 0.
    FrameChunk chunk{};
    std::copy(sent[0].bytes.begin(), sent[0].bytes.end(), chunk.begin());
    EXPECT_EQ(chunk[kChunkNumberOffset], 1);
    EXPECT_EQ(chunk[kChunkLengthOffset], kOneChunkLength);
    SettingsFrame plain{};
    UnscrambleChunk(plain, chunk);
    EXPECT_EQ(plain[0], kMagic[0]);
    EXPECT_EQ(plain[1], kMagic[1]);
    EXPECT_EQ(plain[kFlagsOffset], kFlagCarriedOut);
    EXPECT_EQ(plain[kFrameTypeOffset], 3);

    // Early probe: magic, command 1, marker 0, checksum of bytes 0..93.
    CommandFrame early{};
    std::copy(sent[5].bytes.begin(), sent[5].bytes.end(), early.begin());
    EXPECT_EQ(early[0], kMagic[0]);
    EXPECT_EQ(early[kCommandCodeOffset], 1);
    EXPECT_EQ(early[kRequestMarkerOffset], 0);
    EXPECT_EQ(early[kChecksumOffset], CommandFrameChecksum(early));
}

TEST_F(DiscoveryTest, WifiBroadcastIsThreeRoundsOfOneSecondThenTheEarlyPassOnItsOwnPort) {
    Run(Broadcast(true));
    EXPECT_EQ(Sends(), (std::vector<std::string>{
                           "0 255.255.255.255:6866 772", "1000 255.255.255.255:6866 772",
                           "2000 255.255.255.255:6866 772", "3000 255.255.255.255:6866 95"}));
    EXPECT_EQ(net.now(), 4000u);
    EXPECT_EQ(state.WifiFamilySelected.load(), 1);
    EXPECT_EQ(state.WiredFamilySelected.load(), 0);
    EXPECT_EQ(net.sockets()[0].boundTo.port, kFullFramePort);
    // The Wi-Fi probe leaves flag bit 0 clear.
    const auto sent = net.sent();
    EXPECT_EQ(sent[0].bytes[kFlagsOffset], 0);
    EXPECT_EQ(sent[0].bytes[kFrameTypeOffset], 3);
    EXPECT_EQ(sent[0].bytes[0], kMagic[0]);
}

// Which generations are probed, by family and by the two generation boxes. Wi-Fi sweeps the
// early pass while either box is checked but lists early clocks only with "Early versions";
// wired probes early clocks only with "Early versions".
struct GenerationCase {
    const char* name;
    bool wifi;
    bool early;
    bool v32;
    std::vector<std::string> sends;
    std::vector<std::string> finished;
    std::uint64_t endMs;
};

class GenerationTest : public DiscoveryTest,
                       public ::testing::WithParamInterface<GenerationCase> {};

TEST_P(GenerationTest, ProbesAndListsTheCheckedGenerations) {
    const GenerationCase& c = GetParam();
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 20), "W");
    AddClock(net, Kind::kWifi, MakeIpv4(192, 168, 1, 21), "F");
    AddClock(net, Kind::kEarlyWired, MakeIpv4(192, 168, 1, 22), "EW", milliseconds(0));
    AddClock(net, Kind::kEarlyWifi, MakeIpv4(192, 168, 1, 23), "EF", milliseconds(0));
    SearchOptions options = Broadcast(c.wifi);
    options.earlyVersionsChecked = c.early;
    options.v32Checked = c.v32;
    Run(options);
    EXPECT_EQ(Sends(), c.sends);
    EXPECT_EQ(recorder.linesStartingWith("finished "), c.finished);
    EXPECT_EQ(recorder.has("created early Early Versions"), c.early || !c.v32);
    EXPECT_EQ(net.now(), c.endMs);
    // Both boxes end up checked only when neither was.
    EXPECT_EQ(recorder.last.earlyVersionsChecked, c.early || !c.v32);
    EXPECT_EQ(recorder.last.v32Checked, c.v32 || !c.early);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, GenerationTest,
    ::testing::Values(
        GenerationCase{"wired early only",
                       false,
                       true,
                       false,
                       {"0 255.255.255.255:6869 95"},
                       {"finished early Early Versions: 1 [192.168.1.22 (EW);]"},
                       2000},
        GenerationCase{"wired current only",
                       false,
                       false,
                       true,
                       {"0 255.255.255.255:6869 106", "1005 255.255.255.255:6869 106",
                        "2010 255.255.255.255:6869 106", "3015 255.255.255.255:6869 106",
                        "4020 255.255.255.255:6869 106"},
                       {"finished current 192.168.1.0 (WIRED:1) [192.168.1.20 (W);]"},
                       5025},
        GenerationCase{"wifi early only",
                       true,
                       true,
                       false,
                       {"0 255.255.255.255:6866 95"},
                       {"finished early Early Versions: 1 [192.168.1.23 (EF);]"},
                       1000},
        // The early probe still goes out, but what answers it is not listed.
        GenerationCase{"wifi current only",
                       true,
                       false,
                       true,
                       {"0 255.255.255.255:6866 772", "1005 255.255.255.255:6866 772",
                        "2010 255.255.255.255:6866 772", "3015 255.255.255.255:6866 95"},
                       {"finished current 192.168.1.0 (WIFI:1) [192.168.1.21 (F);]"},
                       4015},
        GenerationCase{"wifi neither checked means both",
                       true,
                       false,
                       false,
                       {"0 255.255.255.255:6866 772", "1005 255.255.255.255:6866 772",
                        "2010 255.255.255.255:6866 772", "3015 255.255.255.255:6866 95"},
                       {"finished current 192.168.1.0 (WIFI:1) [192.168.1.21 (F);]",
                        "finished early Early Versions: 1 [192.168.1.23 (EF);]"},
                       4015}),
    [](const ::testing::TestParamInfo<GenerationCase>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// A sweep sends each round to every address at the default pace and then waits as a
// broadcast round does; the early pass sweeps again.
TEST_F(DiscoveryTest, UnicastSweepRoundsCostWhatBroadcastRoundsCost) {
    struct Case {
        bool wifi;
        int rounds;
        std::uint64_t roundMs;
        std::string port;
        std::string size;
        std::uint64_t earlyWaitMs;
        std::uint64_t pace;
    };
    for (const Case& c : {Case{false, 5, 1000, "6869", "106", 2000, kWiredProbesPerSecond},
                          Case{true, 3, 1000, "6866", "772", 1000, kWifiProbesPerSecond}}) {
        FakeNetwork fresh;
        fresh.setLocalAddresses({kPcAddress});
        Recorder r;
        RunSearch(fresh, protocol, state, Unicast("192.168.1.250", c.wifi), r);
        std::vector<std::string> expected;
        std::uint64_t t = 0;
        for (int round = 0; round <= c.rounds; ++round) {
            const bool early = round == c.rounds;
            const std::uint64_t pace = early ? kEarlyProbesPerSecond : c.pace;
            std::uint64_t due = 0;
            for (std::uint64_t n = 0; n < 5; ++n) {
                due = n * 1000 / pace;
                expected.push_back(std::to_string(t + due) + " 192.168.1." +
                                   std::to_string(250 + n) + ":" + c.port + " " +
                                   (early ? "95" : c.size));
            }
            t += due + (early ? c.earlyWaitMs : c.roundMs);
        }
        std::vector<std::string> sends;
        for (const auto& sent : fresh.sent()) {
            sends.push_back(std::to_string(sent.timeMs) + " " + FormatIpv4(sent.to.address) + ":" +
                            std::to_string(sent.to.port) + " " + std::to_string(sent.bytes.size()));
        }
        EXPECT_EQ(sends, expected);
        EXPECT_EQ(fresh.now(), t);
        EXPECT_FALSE(fresh.sockets()[0].broadcastEnabled);
        // The control shows the first and then the last address of each round.
        const auto probed = r.linesStartingWith("probed ");
        ASSERT_EQ(probed.size(), 2u * static_cast<std::size_t>(c.rounds + 1));
        EXPECT_EQ(probed[0], "probed 192.168.1.250");
        EXPECT_EQ(probed[1], "probed 192.168.1.254");
        EXPECT_FALSE(r.last.broadcastChecked);
        EXPECT_TRUE(r.last.unicastChecked);
    }
}

// A clock that answers late (its reply to round 1 comes during round 3) is still found, and
// a reply from outside the swept ranges is dropped.
TEST_F(DiscoveryTest, SweepTakesLateRepliesAndDropsRepliesFromOutsideItsRanges) {
    const Ipv4 late = MakeIpv4(192, 168, 1, 20);
    bool answered = false;
    net.addPeer(late, [&](const SentDatagram& request, FakeNetwork& n) {
        if (!answered && request.bytes.size() == kSettingsFrameSize) {
            answered = true;
            n.reply(request, late, WifiAnnouncement("LATE"), milliseconds(2200));
        }
    });
    const Ipv4 outside = MakeIpv4(192, 168, 2, 20);
    net.onSend([&](const SentDatagram& request, FakeNetwork& n) {
        if (request.bytes.size() == kSettingsFrameSize) {
            n.reply(request, outside, WifiAnnouncement("OUT"), milliseconds(1));
        }
    });
    SearchOptions options;
    options.wifiChecked = true;
    options.ranges = {AddressRange{0xC0A80110u, 0xC0A80120u}};  // 192.168.1.16-32
    Run(options);
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIFI:1) [192.168.1.20 (LATE);]"));
    EXPECT_TRUE(std::none_of(net.sent().begin(), net.sent().end(),
                             [](const SentDatagram& s) { return s.broadcast; }));
}

// Probe n of a round leaves n / rate seconds into it; a probe the system refuses (a full
// neighbour table) is counted and skipped.
TEST_F(DiscoveryTest, SweepKeepsItsPaceAndSkipsProbesThatCannotBeSent) {
    SearchOptions options;
    options.ranges = {AddressRange{0x0A000000u, 0x0A0000FFu}};  // 10.0.0.0/24
    options.probesPerSecond = 1000;
    options.v32Checked = true;
    net.failSends(10);
    Run(options);
    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 5u * 254u - 10u);
    // The first ten probes failed; every other left exactly on its millisecond.
    for (std::size_t k = 0; k + 10 < 254; ++k) {
        EXPECT_EQ(sent[k].timeMs, k + 10) << k;
    }
    EXPECT_EQ(FormatIpv4(sent[0].to.address), "10.0.0.11");
    EXPECT_EQ(sent[243].timeMs + 1000, sent[244].timeMs);  // the round's wait and pause
    EXPECT_TRUE(recorder.has(
        "warning 10 probes could not be sent and were skipped (Network is unreachable)"));
}

// A PC with two adapters broadcasts out of each; a clock heard on both is listed once.
TEST_F(DiscoveryTest, BroadcastGoesOutOfEveryAdapterAndEachClockIsListedOnce) {
    platform::NetworkInterface lo{"lo", 1, MakeIpv4(127, 0, 0, 1), MakeIpv4(255, 0, 0, 0), 0, true};
    platform::NetworkInterface office{
        "office", 2, kPcAddress, MakeIpv4(255, 255, 255, 0), MakeIpv4(192, 168, 1, 255), false};
    platform::NetworkInterface clocks{
        "clocks", 3, kPcSecondAddress, MakeIpv4(255, 255, 255, 0), MakeIpv4(10, 1, 1, 255), false};
    net.setInterfaces({lo, office, clocks});
    AddClock(net, Kind::kWifi, MakeIpv4(192, 168, 1, 20), "BOTH");  // hears both adapters
    net.addPeer(
        MakeIpv4(10, 1, 1, 30),
        [](const SentDatagram& request, FakeNetwork& n) {
            if (request.bytes.size() == kSettingsFrameSize) {
                n.reply(request, MakeIpv4(10, 1, 1, 30), WifiAnnouncement("VLAN"));
            }
        },
        3);
    SearchOptions options = Broadcast(true);
    options.v32Checked = true;
    Run(options);
    std::vector<std::uint32_t> outOf;
    for (const auto& s : net.sent()) {
        outOf.push_back(s.interfaceIndex);
    }
    EXPECT_EQ(outOf, (std::vector<std::uint32_t>{2, 3, 2, 3, 2, 3, 2, 3}));
    EXPECT_TRUE(
        recorder.has("finished current 10.1.1.0 (WIFI:2) [10.1.1.30 (VLAN);192.168.1.20 (BOTH);]"));
    EXPECT_TRUE(recorder.has("heard 10.1.1.30 (VLAN) on clocks"));
    EXPECT_TRUE(recorder.has("heard 192.168.1.20 (BOTH) on office"));
}

// Hundreds of clocks answering a broadcast in the same instant all fit the receive buffer.
TEST_F(DiscoveryTest, FiveHundredRepliesAtOnceLoseNone) {
    net.limitReceiveBuffers(true);
    constexpr int kClocks = 500;
    for (int i = 0; i < kClocks; ++i) {
        AddClock(net, Kind::kWifi,
                 MakeIpv4(10, 2, static_cast<std::uint8_t>(i / 250),
                          static_cast<std::uint8_t>(1 + i % 250)),
                 "S" + std::to_string(i));
    }
    Run(Broadcast(true));
    EXPECT_FALSE(recorder.linesStartingWith("finished current 10.2.0.0 (WIFI:500) ").empty());
}

TEST_F(DiscoveryTest, UnicastStartAt255BroadcastsAndTheEarlyPassSendsToItOnce) {
    Run(Unicast("192.168.1.255"));
    const auto sends = Sends();
    ASSERT_EQ(sends.size(), 6u);
    EXPECT_EQ(sends[0], "0 255.255.255.255:6869 106");
    EXPECT_EQ(sends[4], "4000 255.255.255.255:6869 106");
    EXPECT_EQ(sends[5], "5000 192.168.1.255:6869 95");
    EXPECT_TRUE(net.sockets()[0].broadcastEnabled);
    EXPECT_TRUE(recorder.linesStartingWith("probed ").empty());
}

TEST_F(DiscoveryTest, NetworkAddressIsNotProbed) {
    Run(Unicast("192.168.1.0"));
    const auto sent = net.sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const SentDatagram& s) {
        return platform::LastOctet(s.to.address) == 0;
    }));
    EXPECT_EQ(FormatIpv4(sent.front().to.address), "192.168.1.1");
}

TEST_F(DiscoveryTest, ClockAnsweringEveryRoundIsListedOnce) {
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 20), "SN0042");
    Run(Broadcast(false));
    EXPECT_EQ(recorder.linesStartingWith("item ").size(), 5u);
    EXPECT_TRUE(recorder.has("created current 192.168.1.0"));
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIRED:1) [192.168.1.20 (SN0042);]"));
    // Each answer restarts the wait: 5 ms late, so every round lasts 5 ms longer.
    EXPECT_EQ(net.now(), 7025u);
}

TEST_F(DiscoveryTest, GroupsAreSortedByTextWithSerialNumbersOrBareAddresses) {
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 9), "");
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 10), "");
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 20), "SN0042");
    AddClock(net, Kind::kWired, MakeIpv4(10, 0, 0, 7), "SN7");  // other subnet, same group
    AddClock(net, Kind::kEarlyWired, MakeIpv4(192, 168, 1, 30), "E1");
    AddClock(net, Kind::kEarlyWired, MakeIpv4(192, 168, 1, 4), "");
    Run(Broadcast(false));
    const auto finished = recorder.linesStartingWith("finished ");
    ASSERT_EQ(finished.size(), 2u);
    // The group is named after the first responder.
    EXPECT_EQ(finished[0],
              "finished current 192.168.1.0 (WIRED:4) "
              "[10.0.0.7 (SN7);192.168.1.10;192.168.1.20 (SN0042);192.168.1.9;]");
    EXPECT_EQ(finished[1], "finished early Early Versions: 2 [192.168.1.30 (E1);192.168.1.4;]");
}

TEST_F(DiscoveryTest, WifiSearchFindsBothGenerations) {
    AddClock(net, Kind::kWifi, MakeIpv4(172, 16, 5, 40), "W-2");
    AddClock(net, Kind::kWifi, MakeIpv4(172, 16, 5, 39), std::string(20, 'X'));
    AddClock(net, Kind::kEarlyWifi, MakeIpv4(172, 16, 5, 41), "OLD");
    AddClock(net, Kind::kEarlyWired, MakeIpv4(172, 16, 5, 42), "NOT-ON-6866");
    Run(Broadcast(true));
    EXPECT_TRUE(recorder.has("finished current 172.16.5.0 (WIFI:2) [172.16.5.39 (" +
                             std::string(20, 'X') + ");172.16.5.40 (W-2);]"));
    EXPECT_TRUE(recorder.has("finished early Early Versions: 1 [172.16.5.41 (OLD);]"));
}

TEST_F(DiscoveryTest, SerialNumbersInTheClocksCodePageAreReportedAsUtf8) {
    // U+949F in code page 936 is D6 D3.
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 20), "\xD6\xD3-1");
    AddClock(net, Kind::kEarlyWired, MakeIpv4(192, 168, 1, 21), "\xD6\xD3-2");
    Run(Broadcast(false));
    EXPECT_TRUE(recorder.has("item current 192.168.1.20 (\u949F-1)"));
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIRED:1) [192.168.1.20 (\u949F-1);]"));
    EXPECT_TRUE(recorder.has("finished early Early Versions: 1 [192.168.1.21 (\u949F-2);]"));
}

TEST_F(DiscoveryTest, OwnEchoFromAnyLocalAddressIsNeverListed) {
    // The echo comes from the second address: every address of this machine is compared.
    net.echoBroadcastsFrom(kPcSecondAddress);
    Run(Broadcast(false));
    EXPECT_TRUE(recorder.linesStartingWith("item ").empty());
    EXPECT_EQ(protocol.LocalAddressList, (std::vector<Ipv4>{kPcAddress, kPcSecondAddress}));
    EXPECT_TRUE(recorder.has("finished early Early Versions: 0 []"));
}

TEST_F(DiscoveryTest, MalformedAndForeignDatagramsAreDropped) {
    const Ipv4 clock = MakeIpv4(192, 168, 1, 50);
    net.addPeer(clock, [&](const SentDatagram& request, FakeNetwork& n) {
        if (request.bytes.size() == kChunkSize) {
            auto chunk = WiredAnnouncement("A");
            n.reply(request, clock, std::vector<std::uint8_t>(chunk.begin(), chunk.end() - 1));
            n.reply(request, clock, WiredAnnouncement("NOFLAG", false));
            n.reply(request, clock, WiredAnnouncement("TYPE1", true, 1));  // a read reply
            std::vector<std::uint8_t> hostile = WiredAnnouncement("B");
            hostile[kChunkLengthOffset] = 0xFF;  // a length past the data field
            n.reply(request, clock, hostile);
            n.reply(request, platform::kLimitedBroadcast, WiredAnnouncement("BCAST"));
        } else {
            n.reply(request, clock, EarlyAnswer("MARKER0", 0));
            n.reply(request, clock, std::vector<std::uint8_t>(kCommandFrameSize + 1, 1));
            n.reply(request, clock, std::vector<std::uint8_t>(4000, 0xAA));
        }
    });
    Run(Broadcast(false));
    EXPECT_TRUE(recorder.linesStartingWith("item ").empty());
    EXPECT_TRUE(recorder.has("finished early Early Versions: 0 []"));
}

TEST_F(DiscoveryTest, WifiAndEarlyRepliesAreTakenWhateverTheirFlagsTypeOrChecksum) {
    // A Wi-Fi reply is taken on size and sender alone; an early answer needs a non-zero
    // request marker, and its checksum is not looked at.
    const Ipv4 wifi = MakeIpv4(192, 168, 1, 70);
    const Ipv4 early = MakeIpv4(192, 168, 1, 71);
    net.addPeer(wifi, [&](const SentDatagram& request, FakeNetwork& n) {
        if (request.bytes.size() == kSettingsFrameSize) {
            std::vector<std::uint8_t> reply = WifiAnnouncement("PLAIN");
            reply[kFlagsOffset] = 0;
            reply[kFrameTypeOffset] = 1;
            n.reply(request, wifi, reply);
        }
    });
    net.addPeer(early, [&](const SentDatagram& request, FakeNetwork& n) {
        if (request.bytes.size() == kCommandFrameSize) {
            std::vector<std::uint8_t> answer = EarlyAnswer("BADSUM", 2);
            answer[kChecksumOffset] = 0x01;
            n.reply(request, early, answer);
        }
    });
    Run(Broadcast(true));
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIFI:1) [192.168.1.70 (PLAIN);]"));
    EXPECT_TRUE(recorder.has("finished early Early Versions: 1 [192.168.1.71 (BADSUM);]"));
}

TEST_F(DiscoveryTest, HalfReceivedReplyNeverShiftsTheNextAnnouncement) {
    const Ipv4 a = MakeIpv4(192, 168, 1, 60);
    const Ipv4 b = MakeIpv4(192, 168, 1, 61);
    net.addPeer(a, [&](const SentDatagram& request, FakeNetwork& n) {
        if (request.bytes.size() != kChunkSize) {
            return;
        }
        // A lone first chunk of an eight-chunk frame, then a proper announcement from b.
        ProtocolState sender;
        sender.settingsFrame[kFrameTypeOffset] = 2;
        FrameChunk first{};
        FixedNonce nonces;
        BuildNextChunk(sender, first, nonces);
        const std::vector<std::uint8_t> part(first.begin(), first.end());
        n.reply(request, a, part, milliseconds(1));
        n.reply(request, b, WiredAnnouncement("SN-B"), milliseconds(2));
    });
    Run(Broadcast(false));
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIRED:1) [192.168.1.61 (SN-B);]"));
}

TEST_F(DiscoveryTest, EndlessStreamOfDatagramsCannotHoldTheSearch) {
    // Something on the segment answers the first probe with a datagram every 100 ms for ever
    // from one address, and the second from ever new addresses.
    const Ipv4 chatty = MakeIpv4(192, 168, 1, 99);
    int probes = 0;
    net.addPeer(chatty, [&](const SentDatagram& request, FakeNetwork& n) {
        if (request.bytes.size() != kChunkSize || ++probes > 2) {
            return;
        }
        for (int i = 1; i <= 400; ++i) {
            const Ipv4 from = probes == 1 ? chatty : MakeIpv4(10, 0, i / 256, i % 256);
            n.reply(request, from, std::vector<std::uint8_t>(3, 0), milliseconds(100 * i));
        }
    });
    Run(Broadcast(false));
    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 6u);
    // A peer repeating itself keeps the round open only with its first datagram: 100 ms, the
    // 500 ms wait, the 500 ms pause.
    EXPECT_EQ(sent[1].timeMs, 1100u);
    // New senders keep it open, but for no longer than the 500 ms wait plus 30 s.
    EXPECT_EQ(sent[2].timeMs, 1100u + 31000u);
    EXPECT_TRUE(recorder.linesStartingWith("item ").empty());
}

TEST_F(DiscoveryTest, PleaseSelectAValidIp) {
    for (const char* text : {"0.0.0.0", "", "not an address", "1.2.3.256"}) {
        SCOPED_TRACE(text);
        Recorder r;
        EXPECT_EQ(RunSearch(net, protocol, state, Unicast(text), r),
                  SearchOutcome::kInvalidAddress);
        EXPECT_EQ(r.lines(), (std::vector<std::string>{"message Please select a valid IP!"}));
    }
    EXPECT_TRUE(net.sent().empty());
    EXPECT_TRUE(net.sockets().empty());
    EXPECT_EQ(state.SearchStopFlag.load(), kSearchIdle);
    EXPECT_EQ(state.WiredFamilySelected.load(), 0);
}

TEST_F(DiscoveryTest, StopDuringSearchFinishesTheRoundsAndStillLabelsTheEarlyGroup) {
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 20), "SN0042");
    AddClock(net, Kind::kEarlyWired, MakeIpv4(192, 168, 1, 21), "E");
    recorder.onItem = [&] { state.SearchStopFlag.store(kSearchStopRequested); };
    Run(Broadcast(false));
    // The rounds of the address are all sent, but no more is received and the early pass
    // never starts.
    const auto sends = Sends();
    ASSERT_EQ(sends.size(), 5u);
    EXPECT_EQ(sends[0], "0 255.255.255.255:6869 106");
    EXPECT_EQ(recorder.linesStartingWith("item ").size(), 1u);
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIRED:1) [192.168.1.20 (SN0042);]"));
    EXPECT_TRUE(recorder.has("finished early Early Versions: 0 []"));
    EXPECT_EQ(recorder.lines().back(), "ended");
    EXPECT_EQ(state.SearchStopFlag.load(), kSearchIdle);
    // The waits and pauses after the stop ended at once.
    EXPECT_EQ(net.now(), 5u);
}

TEST_F(DiscoveryTest, StopDuringASweepEndsItWithinTheCurrentWait) {
    AddClock(net, Kind::kWired, MakeIpv4(192, 168, 1, 3), "C3");
    recorder.onItem = [&] { state.SearchStopFlag.store(kSearchStopRequested); };
    Run(Unicast("192.168.1.1"));
    // The reply came 5 ms into round 1, with the probes of 40 addresses out (eight a
    // millisecond): no further probe, round or early pass.
    EXPECT_EQ(net.sent().size(), 40u);
    EXPECT_EQ(net.now(), 5u);
    EXPECT_TRUE(recorder.has("finished current 192.168.1.0 (WIRED:1) [192.168.1.3 (C3);]"));
    EXPECT_TRUE(recorder.has("finished early Early Versions: 0 []"));
}

TEST_F(DiscoveryTest, PortTakenEndsTheSearchWithAReason) {
    net.failBind("Address already in use");
    EXPECT_EQ(Run(Broadcast(false)), SearchOutcome::kBindFailed);
    EXPECT_TRUE(net.sent().empty());
    const auto errors = recorder.linesStartingWith("error ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("6869"), std::string::npos);
    EXPECT_EQ(recorder.lines().back(), "ended");
    EXPECT_EQ(state.SearchStopFlag.load(), kSearchIdle);
}

TEST_F(DiscoveryTest, NoSocketOrNoLocalAddressEndsSilentlyBeforeStarting) {
    net.failOpenUdp(true);
    EXPECT_EQ(Run(SearchOptions{}), SearchOutcome::kSocketFailed);
    net.failOpenUdp(false);
    net.setLocalAddresses({});
    EXPECT_EQ(Run(SearchOptions{}), SearchOutcome::kNoLocalAddress);
    EXPECT_TRUE(net.sent().empty());
    EXPECT_EQ(recorder.linesStartingWith("started").size(), 0u);
}

// The worker thread: on its first move to a new address it tells the test and holds the
// search until the stop request arrives, so the test sees exactly where the search stopped.
class HoldOnProbe final : public SearchReporter {
  public:
    explicit HoldOnProbe(SearchState& state) : state_(state) {}
    void addressProbed(const std::string&) override {
        {
            std::lock_guard lock(mutex);
            probed = true;
        }
        changed.notify_all();
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (state_.SearchStopFlag.load() != kSearchStopRequested &&
               std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
    void searchEnded() override { ended = true; }

    std::mutex mutex;
    std::condition_variable changed;
    bool probed = false;
    std::atomic<bool> ended{false};

  private:
    SearchState& state_;
};

TEST_F(DiscoveryTest, WorkerDestroyedDuringWifiUnicastSweepStopsAndJoins) {
    HoldOnProbe reporter(state);
    {
        SearchWorker worker(net, protocol, state, Unicast("192.168.1.1", true), reporter);
        worker.start();
        std::unique_lock lock(reporter.mutex);
        ASSERT_TRUE(reporter.changed.wait_for(lock, std::chrono::seconds(30),
                                              [&] { return reporter.probed; }));
        EXPECT_TRUE(worker.isRunning());
    }
    EXPECT_TRUE(reporter.ended);
    EXPECT_EQ(state.SearchStopFlag.load(), kSearchIdle);
    // The first probe; no further probe and no early pass.
    EXPECT_EQ(net.sent().size(), 1u);
}

TEST_F(DiscoveryTest, StopAfterTheSearchEndedDoesNotStopTheNextOne) {
    {
        SearchWorker worker(net, protocol, state, Broadcast(false), recorder);
        worker.start();
        worker.join();
        EXPECT_FALSE(worker.isRunning());
        EXPECT_EQ(worker.outcome(), SearchOutcome::kCompleted);
        worker.requestStop();  // a late click on "Stop to Search"
    }
    EXPECT_EQ(state.SearchStopFlag.load(), kSearchIdle);
    net.clearSent();
    Recorder second;
    RunSearch(net, protocol, state, Broadcast(false), second);
    EXPECT_EQ(net.sent().size(), 6u);
}

}  // namespace
}  // namespace tavlo::protocol
