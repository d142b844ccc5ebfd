// `tavlo write` against tavlo-clocksim in the namespace test network: what `tavlo read --json`
// prints, edited and written back, is what the next read prints, for every kind of clock; each
// refusal ends with its exit status and no write request reaches a clock (the simulator's
// request log shows what arrived).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "tests/network/support/TestNetwork.h"
#include "tools/tavlo/Json.h"

namespace tavlo {
namespace {

using testnet::Side;
using testnet::TestNetwork;

constexpr const char* kWired = "198.18.0.10";
constexpr const char* kWifi = "198.18.0.11";
constexpr const char* kEarly = "198.18.0.12";
constexpr const char* kLocked = "198.18.0.13";        // Wi-Fi, user password "secret"
constexpr const char* kDeafToWrites = "198.18.0.14";  // Wi-Fi, never answers a write
constexpr const char* kNobody = "198.18.0.15";        // no clock at all

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

class WriteNetworkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto made = TestNetwork::Create(6);
        if (!made.network) {
            skipReason_ = made.skipped ? made.message : "";
            setupError_ = made.skipped ? "" : made.message;
            return;
        }
        network_ = std::move(made.network);
        files_ = std::make_unique<testnet::TempDir>();
        std::ofstream(files_->File("clocks.json")) << R"({"clocks": [
            {"kind": "wifi", "address": "198.18.0.13", "user_password": "secret"},
            {"kind": "wifi", "address": "198.18.0.14", "faults": {"silent": true, "on": ["write"]}}
        ]})";
        std::string error;
        simulator_ = network_->StartSimulator(
            {"--wired", kWired, "--wifi", kWifi, "--early", kEarly, "--clocks",
             files_->File("clocks.json"), "--log", files_->File("requests.jsonl"), "--seed", "5"},
            error);
        if (!simulator_) {
            setupError_ = error;
        }
    }
    static void TearDownTestSuite() {
        simulator_.reset();
        network_.reset();
        files_.reset();
    }

    void SetUp() override {
        if (!skipReason_.empty()) {
            GTEST_SKIP() << skipReason_;
        }
        ASSERT_TRUE(setupError_.empty()) << setupError_;
    }

    // Runs tavlo in the pc namespace with `input` on its standard input.
    static Ran Tavlo(const std::vector<std::string>& args, const std::string& input = {}) {
        const std::string in = files_->File("input.json");
        const std::string err = files_->File("stderr.txt");
        std::ofstream(in, std::ios::trunc) << input;
        std::string command = "exec '" TAVLO_CLI_PATH "'";
        for (const std::string& arg : args) {
            command += " '" + arg + "'";
        }
        command += " <'" + in + "' 2>'" + err + "'";
        std::string error;
        auto process = network_->Start(Side::kPc, {"/bin/sh", "-c", command}, error);
        if (!process) {
            ADD_FAILURE() << error;
            return {};
        }
        Ran run;
        run.out = process->ReadAll(std::chrono::seconds(60));
        run.status = process->Wait(std::chrono::seconds(10)).value_or(-1);
        for (const std::string& line : testnet::ReadLines(err)) {
            run.err += line + "\n";
        }
        return run;
    }

    static json::Json Read(const std::string& address, const std::string& kind) {
        const Ran run = Tavlo({"read", address, kind, "--json", "--passwords"});
        EXPECT_EQ(run.status, 0) << run.err;
        std::string error;
        auto record = json::Read(run.out, error);
        EXPECT_TRUE(record) << error;
        return record.value_or(json::Json::object());
    }

    static std::vector<std::string> LogLines() {
        return testnet::ReadLines(files_->File("requests.jsonl"));
    }
    // Write requests among the log lines from `from` on.
    static int WritesSince(std::size_t from) {
        const std::vector<std::string> lines = LogLines();
        int writes = 0;
        for (std::size_t i = from; i < lines.size(); ++i) {
            writes += lines[i].find("\"request\":\"write") != std::string::npos ? 1 : 0;
        }
        return writes;
    }

    static inline std::unique_ptr<TestNetwork> network_;
    static inline std::unique_ptr<testnet::ClockSimulator> simulator_;
    static inline std::unique_ptr<testnet::TempDir> files_;
    static inline std::string skipReason_;
    static inline std::string setupError_;
};

// A backup edited and restored: the next read prints exactly the edited backup.
TEST_F(WriteNetworkTest, ReadWriteReadRoundTripsForEveryKindOfClock) {
    const struct {
        const char* address;
        const char* kind;
        std::vector<std::string> options;
        json::Json edits;
    } cases[] = {
        {kWired,
         "--wired",
         {},
         {{"timeZone", "UTC +5:30"}, {"displayText", "Lobby"}, {"brightness", "Dim"}}},
        {kWifi,
         "--wifi",
         {},
         {{"countDownStart", "12:30:00"}, {"textDisplayMode", "Alternate(s): 4"}}},
        {kWifi,
         "--wifi",
         {"--page", "wifi"},
         {{"ssid", "Floor2"},
          {"cipher", "TKIP"},
          {"wifiPassword", "pass1234"},
          {"ssidLength", "6"},  // derived fields the page does not edit follow
          {"wifiPasswordLength", "8"}}},
        {kEarly,
         "--early",
         {},
         {{"timeZone", "UTC -9:30"},
          {"timeServer3Address", "198.18.0.4"},
          {"timeServerCount", "3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.edits.begin().key());
        json::Json record = Read(c.address, c.kind);
        record.update(c.edits);
        std::vector<std::string> args{"write", c.address, c.kind, "-"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const std::size_t logged = LogLines().size();
        const Ran write = Tavlo(args, json::Write(record));
        EXPECT_EQ(write.status, 0) << write.err;
        EXPECT_EQ(write.out, "Setting Successful!\n");
        EXPECT_EQ(write.err.rfind("tavlo write: note: ignored (the page cannot edit them): ", 0),
                  0u)
            << write.err;
        EXPECT_EQ(WritesSince(logged), 1);
        json::Json after = Read(c.address, c.kind);
        record.erase("checksum");  // an early clock's reply checksum follows its contents
        after.erase("checksum");
        EXPECT_EQ(after, record);
    }
}

TEST_F(WriteNetworkTest, BatchModifyCountsTheClocksThatAnswered) {
    const struct {
        std::vector<std::string> args;
        const char* input;
        const char* out;
    } cases[] = {
        // .11 and .13 answer; .14 hears the broadcast but never answers a write.
        {{"write", "--batch", kWifi, "--wifi", "-"},
         R"({"displayText": "ALL"})",
         "2 clock have been setting successfully!\n"},
        {{"write", "--batch", kEarly, "--early", "-"},
         R"({"ipMode": "Dynamic IP"})",
         "1 clock have been setting successfully!\n"},
    };
    for (const auto& c : cases) {
        const Ran run = Tavlo(c.args, c.input);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
    EXPECT_EQ(Read(kWifi, "--wifi")["displayText"], "ALL");
}

TEST_F(WriteNetworkTest, RefusalsEndWithTheirStatusAndWriteNothing) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* input;
        int status;
        const char* err;
        bool nothingSent;  // not even the read
    } cases[] = {
        {"unknown key",
         {"write", kWifi, "--wifi", "-"},
         R"({"zone": "UTC +1 "})",
         2,
         "tavlo write: unknown key \"zone\" (the keys are those 'tavlo read --json' prints)\n",
         true},
        {"value the page cannot hold",
         {"write", kWifi, "--wifi", "-"},
         R"({"timeZone": "UTC +99"})",
         2,
         "tavlo write: timeZone: \"UTC +99\" refused; the page takes a zone of its list, like "
         "\"UTC +5:30\" or \"UTC -9:30\"\n",
         false},
        {"the page's own check",
         {"write", kWifi, "--wifi", "-"},
         R"({"gateway": "0.0.0.0"})",
         2,
         "tavlo write: Invalid Gateway IP address,please enter again (gateway)\n",
         false},
        {"user password",
         {"write", kLocked, "--wifi", "-"},
         R"({"displayText": "X"})",
         3,
         "tavlo write: Please enter the correct User Password!\n",
         false},
        {"global password",
         {"write", "--batch", kWifi, "--wifi", "--page", "wifi", "-"},
         R"({"ssid": "X", "wifiPassword": "pass1234"})",
         3,
         "tavlo write: Please enter the correct Global Password!\n",
         false},
        {"a WIFI batch carries no clock's password",
         {"write", "--batch", kWifi, "--wifi", "--page", "wifi", "-"},
         R"({"ssid": "X"})",
         2,
         "tavlo write: Please select Wifi_Pattern and enter the network for every clock!\n",
         false},
        {"early batch without dynamic IP",
         {"write", "--batch", kEarly, "--early", "-"},
         R"({"ipMode": "Static IP"})",
         2,
         "tavlo write: This version is only for Batch Modify using dynamic IP "
         "configuration!\nPlease select dynamic IP on the \"Clock IP Setting\"Group.\n",
         false},
        {"dry run",
         {"write", kWifi, "--wifi", "--dry-run", "--json", "-"},
         R"({"displayText": "DRY"})",
         0,
         "",
         false},
        {"no answer to the write",
         {"write", kDeafToWrites, "--wifi", "-"},
         R"({"displayText": "X"})",
         1,
         "tavlo write: no answer from 198.18.0.14\n",
         false},
        {"no answer to the read",
         {"write", kNobody, "--wifi", "-"},
         "{}",
         1,
         "tavlo write: no answer from 198.18.0.15\n",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t logged = LogLines().size();
        const Ran run = Tavlo(c.args, c.input);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        if (c.nothingSent) {
            EXPECT_EQ(LogLines().size(), logged);
        }
        // The silent clock logs the write it ignores; every other case writes nothing.
        EXPECT_EQ(WritesSince(logged), c.status == 1 && c.args[1] == kDeafToWrites ? 1 : 0);
    }
    // The dry run printed the request it would have sent.
    const Ran dry =
        Tavlo({"write", kWifi, "--wifi", "--dry-run", "--json", "-"}, R"({"displayText": "DRY"})");
    std::string error;
    const auto request = json::Read(dry.out, error);
    ASSERT_TRUE(request) << error << dry.out;
    EXPECT_EQ((*request)["frameType"], "2");
    EXPECT_EQ((*request)["displayText"], "DRY");
    EXPECT_EQ((*request)["address"], kWifi);
}

}  // namespace
}  // namespace tavlo
