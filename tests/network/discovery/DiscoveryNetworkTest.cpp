// Discovery and the tavlo command line against simulated clocks in the namespace test network:
// what a search finds (exactly the clocks, once each, sorted, with serial numbers, never our
// own echo), lost and duplicated replies, a stop during a search, and `tavlo read` of every
// kind of clock field for field.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "protocol/CommandFrames.h"
#include "protocol/Discovery.h"
#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"
#include "tests/network/support/TestNetwork.h"
#include "tools/clocksim/Config.h"
#include "tools/tavlo/RecordFormat.h"

namespace tavlo {
namespace {

using protocol::SearchGroup;
using std::chrono::milliseconds;
using testnet::Side;
using testnet::TestNetwork;

// The groups a search finished, as the window would show them.
class GroupRecorder final : public protocol::SearchReporter {
  public:
    void itemAdded(SearchGroup, const std::string&) override {
        std::lock_guard lock(mutex_);
        ++items_;
        if (onItem) {
            onItem();
        }
    }
    void groupFinished(SearchGroup group, const std::vector<std::string>& items,
                       const std::string& label) override {
        std::lock_guard lock(mutex_);
        (group == SearchGroup::kCurrent ? current : early) = Group{label, items};
    }
    void searchEnded() override { ended = true; }

    struct Group {
        std::string label;
        std::vector<std::string> items;
        friend bool operator==(const Group&, const Group&) = default;
    };
    Group current;
    Group early;
    std::function<void()> onItem;
    std::atomic<bool> ended{false};

  private:
    std::mutex mutex_;
    int items_ = 0;
};

std::ostream& operator<<(std::ostream& out, const GroupRecorder::Group& g) {
    out << '"' << g.label << "\" [";
    for (const auto& item : g.items) {
        out << '"' << item << "\" ";
    }
    return out << ']';
}

struct Found {
    GroupRecorder::Group current;
    GroupRecorder::Group early;
};

protocol::SearchOptions Broadcast(bool wifi) {
    protocol::SearchOptions o;
    o.broadcastChecked = true;
    o.wifiChecked = wifi;
    o.wiredChecked = !wifi;
    return o;
}

// "198.18.0.10 (SN0010)": the simulator's serial number is SN and the last two octets.
std::string Item(int lastOctet) {
    char text[48];
    std::snprintf(text, sizeof text, "198.18.0.%d (SN%04d)", lastOctet, lastOctet);
    return text;
}

// A network with clocks of every kind and a simulator serving them. Made once for the suite;
// each test enters the pc namespace on its own thread.
class DiscoveryNetworkTest : public ::testing::Test {
  protected:
    // Wired .10-.12, early .13-.14, Wi-Fi .15-.16, early Wi-Fi .17.
    static std::vector<std::string> SimulatorArguments() {
        return {"--wired",        "198.18.0.10-12", "--early",     "198.18.0.13-14", "--wifi",
                "198.18.0.15-16", "--early-wifi",   "198.18.0.17", "--seed",         "11"};
    }

    static void SetUpTestSuite() {
        auto made = TestNetwork::Create(8);
        if (!made.network) {
            skipReason_ = made.skipped ? made.message : "";
            setupError_ = made.skipped ? "" : made.message;
            return;
        }
        network_ = std::move(made.network);
        std::string error;
        simulator_ = network_->StartSimulator(SimulatorArguments(), error);
        if (!simulator_) {
            setupError_ = error;
        }
    }
    static void TearDownTestSuite() {
        simulator_.reset();
        network_.reset();
    }

    void SetUp() override {
        if (!skipReason_.empty()) {
            GTEST_SKIP() << skipReason_;
        }
        ASSERT_TRUE(setupError_.empty()) << setupError_;
        ASSERT_EQ(network_->EnterPc(), "");
        system_ = platform::makeSystemNetwork();
    }
    void TearDown() override {
        if (network_) {
            network_->LeavePc();
        }
    }

    Found Search(const protocol::SearchOptions& options) {
        GroupRecorder recorder;
        protocol::ProtocolState protocolState;
        protocol::SearchState state;
        EXPECT_EQ(protocol::RunSearch(*system_, protocolState, state, options, recorder),
                  protocol::SearchOutcome::kCompleted);
        EXPECT_TRUE(recorder.ended);
        return {recorder.current, recorder.early};
    }

    // Runs tavlo in the pc namespace; its standard output and exit status.
    std::pair<std::string, int> RunCli(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TAVLO_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        auto process = network_->Start(Side::kPc, argv, error);
        if (!process) {
            ADD_FAILURE() << error;
            return {"", -1};
        }
        std::string out = process->ReadAll(std::chrono::seconds(120));
        const int status = process->Wait(std::chrono::seconds(10)).value_or(-1);
        return {out, status};
    }

    static inline std::unique_ptr<TestNetwork> network_;
    static inline std::unique_ptr<testnet::ClockSimulator> simulator_;
    static inline std::string skipReason_;
    static inline std::string setupError_;
    std::unique_ptr<platform::Network> system_;
};

TEST_F(DiscoveryNetworkTest, WiredBroadcastFindsEveryClockOnceSortedWithSerialNumbers) {
    const Found r = Search(Broadcast(false));
    EXPECT_EQ(r.current,
              (GroupRecorder::Group{"198.18.0.0 (WIRED:3)", {Item(10), Item(11), Item(12)}}));
    // Early clocks of both families answer the probe on 6869; our own address never shows.
    EXPECT_EQ(r.early, (GroupRecorder::Group{"Early Versions: 3", {Item(13), Item(14), Item(17)}}));
}

TEST_F(DiscoveryNetworkTest, WifiBroadcastFindsTheWifiClocks) {
    const Found r = Search(Broadcast(true));
    EXPECT_EQ(r.current, (GroupRecorder::Group{"198.18.0.0 (WIFI:2)", {Item(15), Item(16)}}));
    EXPECT_EQ(r.early, (GroupRecorder::Group{"Early Versions: 1", {Item(17)}}));
}

TEST_F(DiscoveryNetworkTest, StopDuringSearchEndsPromptlyAndStillLabels) {
    GroupRecorder recorder;
    protocol::ProtocolState protocolState;
    protocol::SearchState state;
    std::chrono::steady_clock::time_point stoppedAt;
    recorder.onItem = [&] {
        if (state.SearchStopFlag.load() != protocol::kSearchStopRequested) {
            stoppedAt = std::chrono::steady_clock::now();
            state.SearchStopFlag.store(protocol::kSearchStopRequested);
        }
    };
    {
        protocol::SearchWorker worker(*system_, protocolState, state, Broadcast(false), recorder);
        worker.start();
        worker.join();
    }
    const auto afterStop = std::chrono::steady_clock::now() - stoppedAt;
    EXPECT_LT(afterStop, milliseconds(500));
    EXPECT_TRUE(recorder.ended);
    EXPECT_EQ(state.SearchStopFlag.load(), protocol::kSearchIdle);
    EXPECT_EQ(recorder.early, (GroupRecorder::Group{"Early Versions: 0", {}}));
    ASSERT_FALSE(recorder.current.items.empty());
    EXPECT_EQ(recorder.current.label,
              "198.18.0.0 (WIRED:" + std::to_string(recorder.current.items.size()) + ")");
}

TEST_F(DiscoveryNetworkTest, SearchCommandPrintsTheGroups) {
    const auto [out, status] = RunCli({"search"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "198.18.0.0 (WIRED:3)\n  " + Item(10) + "\n  " + Item(11) + "\n  " + Item(12) +
                       "\nEarly Versions: 3\n  " + Item(13) + "\n  " + Item(14) + "\n  " +
                       Item(17) + "\n");
    const auto [json, jsonStatus] = RunCli({"search", "--wifi", "--json"});
    EXPECT_EQ(jsonStatus, 0);
    EXPECT_EQ(json,
              "{\"group\":\"198.18.0.0 (WIFI:2)\",\"generation\":\"current\",\"family\":\"wifi\","
              "\"count\":2,\"clocks\":[{\"text\":\"198.18.0.15 (SN0015)\",\"address\":"
              "\"198.18.0.15\",\"serial\":\"SN0015\",\"interface\":\"tvpc0\"},{\"text\":"
              "\"198.18.0.16 (SN0016)\",\"address\":\"198.18.0.16\",\"serial\":\"SN0016\","
              "\"interface\":\"tvpc0\"}]}\n"
              "{\"group\":\"Early Versions: 1\",\"generation\":\"early\",\"family\":\"wifi\","
              "\"count\":1,\"clocks\":[{\"text\":\"198.18.0.17 (SN0017)\",\"address\":"
              "\"198.18.0.17\",\"serial\":\"SN0017\",\"interface\":\"tvpc0\"}]}\n");
}

// `tavlo read --json --passwords` prints exactly what the simulator's record holds.
TEST_F(DiscoveryNetworkTest, ReadReturnsTheSimulatorsRecordFieldForField) {
    std::string error;
    const auto config = clocksim::ParseCommandLine(SimulatorArguments(), error);
    ASSERT_TRUE(config) << error;
    struct Case {
        const char* address;
        const char* option;
    };
    for (const Case& c : {Case{"198.18.0.10", "--wired"}, Case{"198.18.0.15", "--wifi"},
                          Case{"198.18.0.13", "--early"}, Case{"198.18.0.17", "--early"}}) {
        SCOPED_TRACE(c.address);
        const platform::Ipv4 address = platform::ParseIpv4(c.address);
        const auto clock = std::find_if(config->clocks.begin(), config->clocks.end(),
                                        [&](const auto& k) { return k.address == address; });
        ASSERT_NE(clock, config->clocks.end());
        // The record as a read reply carries it: acknowledged, with the read's own codes.
        protocol::SettingsFrame record = clock->record;
        record[protocol::kFlagsOffset] |= protocol::kFlagCarriedOut;
        record[protocol::kFrameTypeOffset] = protocol::ToByte(protocol::FrameType::kReadSettings);
        protocol::CommandFrame early = clock->earlyRecord;
        early[protocol::kRequestMarkerOffset] = protocol::kRequestMarker;
        early[protocol::kCommandCodeOffset] = protocol::ToByte(protocol::CommandCode::kRead);
        early[protocol::kChecksumOffset] = 0;
        early[protocol::kChecksumOffset] = protocol::CommandFrameChecksum(early);
        std::vector<cli::FieldText> fields = clocksim::IsEarly(clock->kind)
                                                 ? cli::EarlyReplyFields(early)
                                                 : cli::ClockReplyFields(record);
        fields.insert(fields.begin(), cli::FieldText{"address", 0, c.address});
        std::ostringstream expected;
        cli::PrintFieldsJson(expected, fields, true);

        const auto [out, status] = RunCli({"read", c.address, c.option, "--json", "--passwords"});
        EXPECT_EQ(status, 0);
        EXPECT_EQ(out, expected.str());
    }
}

TEST_F(DiscoveryNetworkTest, ReadOfASilentAddressExitsWithOne) {
    const auto [out, status] = RunCli({"read", "198.18.0.9", "--wifi"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "");
}

// Networks of their own, with their own simulators.
class DiscoveryFaultsTest : public ::testing::Test {
  protected:
    void Start(int clocks, const std::vector<std::string>& simulatorArguments) {
        auto made = TestNetwork::Create(clocks);
        if (!made.network) {
            if (made.skipped) {
                GTEST_SKIP() << made.message;
            }
            FAIL() << made.message;
        }
        network_ = std::move(made.network);
        std::string error;
        simulator_ = network_->StartSimulator(simulatorArguments, error);
        ASSERT_TRUE(simulator_) << error;
        ASSERT_EQ(network_->EnterPc(), "");
        system_ = platform::makeSystemNetwork();
    }
    void TearDown() override {
        simulator_.reset();
        network_.reset();
    }
    Found Search(const protocol::SearchOptions& options) {
        GroupRecorder recorder;
        protocol::ProtocolState protocolState;
        protocol::SearchState state;
        protocol::RunSearch(*system_, protocolState, state, options, recorder);
        return {recorder.current, recorder.early};
    }

    std::unique_ptr<TestNetwork> network_;
    std::unique_ptr<testnet::ClockSimulator> simulator_;
    std::unique_ptr<platform::Network> system_;
};

TEST_F(DiscoveryFaultsTest, LostAndDuplicatedRepliesStillListEveryClockOnce) {
    // A clock is missed only when all five rounds lose its reply (0.2^5 = 0.03 %).
    Start(5, {"--wired", "198.18.0.10-14", "--drop", "0.2", "--duplicate", "0.5", "--seed", "5"});
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    const Found r = Search(Broadcast(false));
    EXPECT_EQ(r.current,
              (GroupRecorder::Group{"198.18.0.0 (WIRED:5)",
                                    {Item(10), Item(11), Item(12), Item(13), Item(14)}}));
    EXPECT_EQ(r.early, (GroupRecorder::Group{"Early Versions: 0", {}}));
}

TEST_F(DiscoveryFaultsTest, MalformedRepliesAreIgnored) {
    Start(3, {"--wired", "198.18.0.10-11", "--hostile-lengths", "--junk", "--faults-on", "probe",
              "--early", "198.18.0.12"});
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    const Found r = Search(Broadcast(false));
    // The junk never becomes an item; every listed text is a clock of the network.
    for (const auto& item : r.current.items) {
        EXPECT_TRUE(item == Item(10) || item == Item(11)) << item;
    }
    EXPECT_EQ(r.early, (GroupRecorder::Group{"Early Versions: 1", {Item(12)}}));
}

// A short unicast sweep: 198.18.0.250 to .254, with clocks at some of them.
TEST_F(DiscoveryFaultsTest, UnicastSweepFindsTheClocksOfTheRange) {
    Start(245, {"--wired", "198.18.0.250,198.18.0.253", "--early", "198.18.0.251"});
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    protocol::SearchOptions options;
    options.unicastChecked = true;
    options.ipAddressText = "198.18.0.250";
    const Found r = Search(options);
    EXPECT_EQ(r.current, (GroupRecorder::Group{"198.18.0.0 (WIRED:2)", {Item(250), Item(253)}}));
    EXPECT_EQ(r.early, (GroupRecorder::Group{"Early Versions: 1", {Item(251)}}));
}

// A PC with two adapters and a router: clocks on 198.18.0.0/24, on 198.18.2.0/24 behind the
// second adapter, and scattered over 198.19.0.0/16 behind the router.
class SiteNetworkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto made = TestNetwork::Create(1, {.secondClocks = 2, .routedClocks = 3});
        if (!made.network) {
            skipReason_ = made.skipped ? made.message : "";
            setupError_ = made.skipped ? "" : made.message;
            return;
        }
        network_ = std::move(made.network);
        const auto& routed = network_->RoutedAddresses();
        std::string error;
        for (const auto& [side, arguments] :
             {std::pair{Side::kClocks, std::vector<std::string>{"--wired", "198.18.0.10"}},
              std::pair{Side::kSecondClocks, std::vector<std::string>{"--wired", "198.18.2.10-11"}},
              std::pair{Side::kRoutedClocks,
                        std::vector<std::string>{"--wired", routed[0], "--wired", routed[1],
                                                 "--wifi", routed[2]}}}) {
            simulators_.push_back(network_->StartSimulator(arguments, error, side));
            if (!simulators_.back()) {
                setupError_ = error;
                return;
            }
        }
    }
    static void TearDownTestSuite() {
        simulators_.clear();
        network_.reset();
    }
    void SetUp() override {
        if (!skipReason_.empty()) {
            GTEST_SKIP() << skipReason_;
        }
        ASSERT_TRUE(setupError_.empty()) << setupError_;
    }
    // tavlo in the pc namespace: its standard output and exit status.
    static std::pair<std::string, int> RunCli(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TAVLO_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        auto process = network_->Start(Side::kPc, argv, error);
        if (!process) {
            return {error, -1};
        }
        std::string out = process->ReadAll(std::chrono::seconds(120));
        return {out, process->Wait(std::chrono::seconds(10)).value_or(-1)};
    }

    static inline std::unique_ptr<TestNetwork> network_;
    static inline std::vector<std::unique_ptr<testnet::ClockSimulator>> simulators_;
    static inline std::string skipReason_;
    static inline std::string setupError_;
};

TEST_F(SiteNetworkTest, BroadcastSearchHearsBothAdaptersAndNamesThem) {
    const auto [out, status] = RunCli({"search", "--json"});
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find(R"("count":3,)"), std::string::npos) << out;
    for (const char* clock : {R"("address":"198.18.0.10","serial":"SN0010","interface":"tvpc0")",
                              R"("address":"198.18.2.10","serial":"SN0522","interface":"tvpc1")",
                              R"("address":"198.18.2.11","serial":"SN0523","interface":"tvpc1")"}) {
        EXPECT_NE(out.find(clock), std::string::npos) << out;
    }
}

// The routed clocks' /24s and one without a clock, at a high rate; the Wi-Fi clock behind
// the router is of the other family and stays out.
TEST_F(SiteNetworkTest, SweepOfRoutedRangesFindsTheClocksBehindTheRouter) {
    const auto& routed = network_->RoutedAddresses();
    const auto network24 = [](const std::string& address) {
        return address.substr(0, address.rfind('.')) + ".0/24";
    };
    const auto [out, status] =
        RunCli({"search", "--range", network24(routed[0]), "--range", network24(routed[1]),
                "--range", "198.19.250.0/24", "--rate", "40000"});
    EXPECT_EQ(status, 0);
    const std::string first = network24(routed[0]);
    EXPECT_EQ(out.substr(0, out.find('\n')), first.substr(0, first.size() - 3) + " (WIRED:2)")
        << out;
    for (const std::string& clock : {routed[0], routed[1]}) {
        EXPECT_NE(out.find("  " + clock + " (SN"), std::string::npos) << out;
    }
    EXPECT_EQ(out.find(routed[2]), std::string::npos) << out;
}

}  // namespace
}  // namespace tavlo
