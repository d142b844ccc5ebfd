// tavlo-clocksim in the namespace test network, spoken to from the pc namespace: probes by
// broadcast and unicast come back from each clock's own address; reads, writes and faults go
// through the tool's own exchanges; the request log shows what was sent.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <set>
#include <string>

#include "platform/Ipv4.h"
#include "protocol/Chunks.h"
#include "protocol/CommandFrames.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tests/network/support/TestNetwork.h"

namespace tavlo {
namespace {

using platform::FormatIpv4;
using platform::MakeIpv4;
using testnet::TestNetwork;

constexpr auto kCollect = std::chrono::milliseconds(700);

// A plain UDP socket bound to 0.0.0.0:port in the calling thread's namespace.
class PlainSocket {
  public:
    explicit PlainSocket(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    }
    ~PlainSocket() { ::close(fd_); }
    bool bound() const { return bound_; }

    void SendTo(const std::string& address, std::uint16_t port,
                std::span<const std::uint8_t> data) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
        ASSERT_EQ(
            ::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(data.size()));
    }

    // Every datagram that arrives within `quiet` of the previous one: sender -> datagrams.
    std::multimap<std::string, std::vector<std::uint8_t>> Collect(std::chrono::milliseconds quiet) {
        std::multimap<std::string, std::vector<std::uint8_t>> got;
        pollfd wait{fd_, POLLIN, 0};
        while (::poll(&wait, 1, static_cast<int>(quiet.count())) > 0) {
            std::vector<std::uint8_t> buffer(2048);
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t size = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                      reinterpret_cast<sockaddr*>(&from), &length);
            if (size < 0) {
                break;
            }
            buffer.resize(static_cast<std::size_t>(size));
            got.emplace(FormatIpv4(from.sin_addr.s_addr), std::move(buffer));
        }
        return got;
    }

    // Every datagram that arrives within `span`, however many: sender -> sizes.
    std::multimap<std::string, std::size_t> CollectFor(std::chrono::milliseconds span) {
        std::multimap<std::string, std::size_t> got;
        const auto end = std::chrono::steady_clock::now() + span;
        pollfd wait{fd_, POLLIN, 0};
        for (auto left = span; left.count() > 0;
             left = std::chrono::duration_cast<std::chrono::milliseconds>(
                 end - std::chrono::steady_clock::now())) {
            if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            std::array<std::uint8_t, 2048> buffer{};
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t size = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                            reinterpret_cast<sockaddr*>(&from), &length);
            if (size >= 0) {
                got.emplace(FormatIpv4(from.sin_addr.s_addr), static_cast<std::size_t>(size));
            }
        }
        return got;
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

std::set<std::string> Senders(const std::multimap<std::string, std::vector<std::uint8_t>>& got,
                              std::size_t size) {
    std::set<std::string> senders;
    for (const auto& [from, bytes] : got) {
        if (bytes.size() == size && from != testnet::kPcAddress) {
            senders.insert(from);
        }
    }
    return senders;
}

class FixedNonces final : public protocol::NonceSource {
  public:
    std::uint32_t nextNonce() override { return 0x1234; }
};

// The frame a read request sends (type 1).
void PrepareRead(protocol::ProtocolState& state) {
    state.settingsFrame = {};
    state.settingsFrame[protocol::kFlagsOffset] = protocol::kFlagCarriedOut;
    state.settingsFrame[protocol::kFrameTypeOffset] = 1;
}

// A Basic page write (type 2) to 198.18.0.10 that changes only its display text.
void PrepareWrite(protocol::ProtocolState& state, const std::string& displayText) {
    state.settingsFrame = {};
    const settings::ClockSettings write(state.settingsFrame);
    write.setRequestBit(true);
    write.setFrameType(2);
    write.setIpAddress(MakeIpv4(198, 18, 0, 10));
    write.setDisplayText(displayText);
}

protocol::FrameChunk WiredProbe() {
    protocol::ProtocolState state;
    state.settingsFrame[protocol::kFlagsOffset] = protocol::kFlagCarriedOut;
    state.settingsFrame[protocol::kFrameTypeOffset] = 3;
    protocol::FrameChunk chunk{};
    FixedNonces nonces;
    protocol::BuildNextChunk(state, chunk, nonces);
    return chunk;
}

class ClockSimNetworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto made = TestNetwork::Create(5);
        if (!made.network) {
            if (made.skipped) {
                GTEST_SKIP() << made.message;
            }
            FAIL() << made.message;
        }
        net_ = std::move(made.network);
    }

    void StartSimulator(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--wired",      "198.18.0.10-11",
                                      "--wifi",       "198.18.0.12",
                                      "--early",      "198.18.0.13",
                                      "--early-wifi", "198.18.0.14",
                                      "--log",        log_.File("requests.jsonl"),
                                      "--seed",       "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        sim_ = net_->StartSimulator(args, error);
        ASSERT_TRUE(sim_) << error;
        // The guard runs before this thread sends anything.
        ASSERT_EQ(net_->EnterPc(), "");
    }

    void TearDown() override {
        if (sim_) {
            EXPECT_EQ(sim_->Stop(), 0) << "clean shutdown on SIGTERM";
        }
        if (net_) {
            net_->LeavePc();
        }
    }

    testnet::TempDir log_;
    std::unique_ptr<TestNetwork> net_;
    std::unique_ptr<testnet::ClockSimulator> sim_;
};

TEST_F(ClockSimNetworkTest, ProbesComeBackFromEachClocksOwnAddress) {
    StartSimulator();
    EXPECT_NE(sim_->ReadyLine().find("5 clocks"), std::string::npos) << sim_->ReadyLine();
    const protocol::FrameChunk probe = WiredProbe();
    {
        PlainSocket socket(protocol::kChunkPort);
        ASSERT_TRUE(socket.bound());
        socket.SendTo("255.255.255.255", protocol::kChunkPort, probe);
        auto got = socket.Collect(kCollect);
        EXPECT_EQ(Senders(got, protocol::kChunkSize),
                  (std::set<std::string>{"198.18.0.10", "198.18.0.11"}));
        EXPECT_EQ(got.count("198.18.0.10"), 1u) << "one announcement per clock";

        socket.SendTo("198.18.0.11", protocol::kChunkPort, probe);
        got = socket.Collect(kCollect);
        EXPECT_EQ(Senders(got, protocol::kChunkSize), (std::set<std::string>{"198.18.0.11"}));
        protocol::ProtocolState pc;
        protocol::FrameChunk reply{};
        auto it = got.find("198.18.0.11");
        ASSERT_NE(it, got.end());
        std::copy(it->second.begin(), it->second.end(), reply.begin());
        protocol::AcceptChunk(pc, reply);
        EXPECT_EQ(settings::ConstClockSettings(pc.settingsFrame).serialNumber(), "SN0011");

        // Early-version probe on 6869: the early clocks of both families answer.
        protocol::CommandFrame early{};
        protocol::SealCommandFrame(early, 1, protocol::RequestMarker::kLeave);
        socket.SendTo("255.255.255.255", protocol::kCommandPort, early);
        got = socket.Collect(kCollect);
        EXPECT_EQ(Senders(got, protocol::kCommandFrameSize),
                  (std::set<std::string>{"198.18.0.13", "198.18.0.14"}));
    }
    {
        PlainSocket socket(protocol::kFullFramePort);
        ASSERT_TRUE(socket.bound());
        protocol::SettingsFrame wifiProbe{};
        wifiProbe[0] = 'Q';
        wifiProbe[1] = 'Z';
        wifiProbe[protocol::kFrameTypeOffset] = 3;
        socket.SendTo("255.255.255.255", protocol::kFullFramePort, wifiProbe);
        auto got = socket.Collect(kCollect);
        EXPECT_EQ(Senders(got, protocol::kSettingsFrameSize),
                  (std::set<std::string>{"198.18.0.12"}));

        protocol::CommandFrame early{};
        protocol::SealCommandFrame(early, 1, protocol::RequestMarker::kLeave);
        socket.SendTo("255.255.255.255", protocol::kFullFramePort, early);
        got = socket.Collect(kCollect);
        EXPECT_EQ(Senders(got, protocol::kCommandFrameSize), (std::set<std::string>{"198.18.0.14"}))
            << "only early Wi-Fi clocks answer on 6866";
    }
    const auto lines = testnet::ReadLines(log_.File("requests.jsonl"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find(R"("to":"255.255.255.255","broadcast":true)"), std::string::npos);
    EXPECT_NE(lines[0].find(R"("request":"probe")"), std::string::npos);
    EXPECT_NE(lines[1].find(R"("to":"198.18.0.11","broadcast":false)"), std::string::npos);
}

TEST_F(ClockSimNetworkTest, ReadsAndWritesThroughTheExchanges) {
    StartSimulator();
    auto network = platform::makeSystemNetwork();
    protocol::ProtocolState state;
    state.LocalAddressList = network->localAddresses();
    FixedNonces nonces;
    protocol::ClockExchanges exchanges(*network, state, nonces);

    PrepareRead(state);
    ASSERT_EQ(exchanges.ExchangeChunkedFrame(MakeIpv4(198, 18, 0, 10)),
              protocol::kExchangeAcknowledged);
    settings::ConstClockSettings read(state.settingsFrame);
    EXPECT_EQ(read.serialNumber(), "SN0010");
    EXPECT_EQ(read.ipAddress(), MakeIpv4(198, 18, 0, 10));
    EXPECT_EQ(read.userPassword(), "omber");
    EXPECT_EQ(read.displayText(), "WELCOME");

    PrepareWrite(state, "CHANGED");
    ASSERT_EQ(exchanges.ExchangeChunkedFrame(MakeIpv4(198, 18, 0, 10)),
              protocol::kExchangeAcknowledged);

    PrepareRead(state);
    ASSERT_EQ(exchanges.ExchangeFullFrame(MakeIpv4(198, 18, 0, 12)),
              protocol::kExchangeAcknowledged);
    EXPECT_EQ(settings::ConstClockSettings(state.settingsFrame).serialNumber(), "SN0012");

    PrepareRead(state);
    ASSERT_EQ(exchanges.ExchangeChunkedFrame(MakeIpv4(198, 18, 0, 10)),
              protocol::kExchangeAcknowledged);
    EXPECT_EQ(settings::ConstClockSettings(state.settingsFrame).displayText(), "CHANGED");

    ASSERT_EQ(exchanges.ExchangeCommandFrame(1, MakeIpv4(198, 18, 0, 13)),
              protocol::kCommandAcknowledged);
    EXPECT_EQ(settings::ConstEarlyClockSettings(state.commandFrame).serialNumber(), "SN0013");

    const auto lines = testnet::ReadLines(log_.File("requests.jsonl"));
    std::size_t writes = 0;
    for (const auto& line : lines) {
        if (line.find(R"("request":"write-basic")") != std::string::npos) {
            ++writes;
            EXPECT_NE(line.find(R"("text":"CHANGED")"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(writes, 1u) << "the log shows the decoded write once, on its eighth chunk";
}

TEST_F(ClockSimNetworkTest, SilentAndUnacknowledgingClocks) {
    StartSimulator({"--no-ack", "--faults-on", "read"});
    auto network = platform::makeSystemNetwork();
    protocol::ProtocolState state;
    state.LocalAddressList = network->localAddresses();
    FixedNonces nonces;
    protocol::ClockExchanges exchanges(*network, state, nonces);
    PrepareRead(state);
    EXPECT_EQ(exchanges.ExchangeFullFrame(MakeIpv4(198, 18, 0, 12)), protocol::kExchangeNoAnswer)
        << "a reply without flag bit 0 is no acknowledgement";
    EXPECT_EQ(settings::ConstClockSettings(state.settingsFrame).serialNumber(), "SN0012")
        << "the reply itself arrived";
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, MakeIpv4(198, 18, 0, 13)),
              protocol::kCommandNoAnswer);
}

// --drop-acks: the clock takes the write, its reply is lost, and the log says so.
TEST_F(ClockSimNetworkTest, WriteTakenButItsAcknowledgementLost) {
    StartSimulator({"--drop-acks", "1"});
    auto network = platform::makeSystemNetwork();
    protocol::ProtocolState state;
    state.LocalAddressList = network->localAddresses();
    FixedNonces nonces;
    protocol::ClockExchanges exchanges(*network, state, nonces);
    PrepareWrite(state, "TAKEN");
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(MakeIpv4(198, 18, 0, 10)),
              protocol::kExchangeNoAnswer);

    PrepareRead(state);
    ASSERT_EQ(exchanges.ExchangeChunkedFrame(MakeIpv4(198, 18, 0, 10)),
              protocol::kExchangeAcknowledged);
    EXPECT_EQ(settings::ConstClockSettings(state.settingsFrame).displayText(), "TAKEN");
    const auto lines = testnet::ReadLines(log_.File("requests.jsonl"));
    const auto writeLine = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find(R"("request":"write-basic")") != std::string::npos;
    });
    ASSERT_NE(writeLine, lines.end());
    EXPECT_NE(writeLine->find(R"("replies":0,"acknowledged":false)"), std::string::npos)
        << *writeLine;
}

// --flood: after one request the clock keeps sending its reply to the asker, about N a second.
TEST_F(ClockSimNetworkTest, FloodingClockRepeatsItsLastReply) {
    constexpr int kPerSecond = 500;
    constexpr auto kSpan = std::chrono::milliseconds(400);
    StartSimulator({"--flood", std::to_string(kPerSecond)});
    PlainSocket socket(protocol::kChunkPort);
    ASSERT_TRUE(socket.bound());
    protocol::CommandFrame early{};
    protocol::SealCommandFrame(early, 1, protocol::RequestMarker::kLeave);
    socket.SendTo("198.18.0.13", protocol::kChunkPort, early);
    const auto got = socket.CollectFor(kSpan);
    EXPECT_EQ(got.size(), got.count("198.18.0.13")) << "only the clock asked floods";
    EXPECT_GT(got.size(), kPerSecond * kSpan.count() / 1000 / 2);
    EXPECT_LT(got.size(), kPerSecond * kSpan.count() / 1000 * 2);
    for (const auto& [from, size] : got) {
        EXPECT_EQ(size, protocol::kCommandFrameSize);
    }
}

// A datagram from a clock's own address is never answered: otherwise a clock hearing its
// own reply (or a broadcast it sent) would answer itself in a storm.
TEST_F(ClockSimNetworkTest, DatagramsFromOwnAddressesAreIgnored) {
    StartSimulator();
    net_->LeavePc();
    ASSERT_EQ(net_->Enter(testnet::Side::kClocks), "");
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, "198.18.0.10", &local.sin_addr);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    const protocol::FrameChunk probe = WiredProbe();
    for (const char* target : {"255.255.255.255", "198.18.0.11"}) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(protocol::kChunkPort);
        ::inet_pton(AF_INET, target, &to.sin_addr);
        ASSERT_EQ(::sendto(fd, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr*>(&to),
                           sizeof to),
                  static_cast<ssize_t>(probe.size()));
    }
    pollfd wait{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&wait, 1, static_cast<int>(kCollect.count())), 0) << "no clock answered";
    ::close(fd);
    const auto lines = testnet::ReadLines(log_.File("requests.jsonl"));
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) {
        EXPECT_NE(line.find(R"("note":"from an own address")"), std::string::npos) << line;
    }
}

// The program itself, outside any test network: it refuses before it opens a socket.
TEST(SimulatorCommandLineTest, HelpUsageErrorsAndForeignAddresses) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: tavlo-clocksim"},
        {{"--wired", "198.18.0.10-11", "--list"}, 0, "SN0011"},
        {{"--bogus"}, 2, "unknown option \"--bogus\""},
        {{}, 2, "no clocks"},
        // TEST-NET-3 is no address of this machine: refused, nothing is sent.
        {{"--wifi", "203.0.113.5"}, 1, "203.0.113.5 is not an address of this machine"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{TestNetwork::SimulatorPath()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string error;
        auto child = testnet::ChildProcess::Start(argv, "", error, true);
        ASSERT_TRUE(child) << error;
        const std::string output = child->ReadAll(std::chrono::seconds(20));
        EXPECT_EQ(child->Wait(std::chrono::seconds(20)), c.status) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
    }
}

TEST(NetnsGuardTest, RefusesTheMachinesOwnNamespace) {
    // This process starts in the machine's namespace (eth0 and friends), or in some other
    // namespace the runner made; either way it is not one of ours with only lo and veths.
    const std::string problem = testnet::IsolationProblem();
    if (problem.empty()) {
        GTEST_SKIP() << "the test runs inside an isolated namespace already";
    }
    EXPECT_NE(problem.find("refusing"), std::string::npos) << problem;
}

}  // namespace
}  // namespace tavlo
