// `tavlo write` against tavlo-clocksim in the namespace test network: what `tavlo read --json`
// prints, edited and written back, is what the next read prints, for every kind of clock; each
// refusal ends with its exit status and no write request reaches a clock (the simulator's
// request log shows what arrived). Then clocks that move to the address a write gives them,
// and clocks that repeat their replies a thousand times a second.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "tests/network/write/TavloNetworkTest.h"
#include "tools/common/Json.h"

namespace tavlo {
namespace {

constexpr const char* kWired = "198.18.0.10";
constexpr const char* kWifi = "198.18.0.11";
constexpr const char* kEarly = "198.18.0.12";
constexpr const char* kLocked = "198.18.0.13";        // Wi-Fi, user password "secret"
constexpr const char* kDeafToWrites = "198.18.0.14";  // Wi-Fi, never answers a write
constexpr const char* kNobody = "198.18.0.15";        // no clock at all

class WriteNetworkTest : public TavloNetworkTest<WriteNetworkTest> {
  protected:
    static void SetUpTestSuite() {
        StartSuite(6, {"--wired", kWired, "--wifi", kWifi, "--early", kEarly}, R"({"clocks": [
            {"kind": "wifi", "address": "198.18.0.13", "user_password": "secret"},
            {"kind": "wifi", "address": "198.18.0.14", "faults": {"silent": true, "on": ["write"]}}
        ]})");
    }
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
        // .11 and .13 answer, listed by address; .14 hears the broadcast but never answers a
        // write.
        {{"write", "--batch", kWifi, "--wifi", "-"},
         R"({"displayText": "ALL"})",
         "198.18.0.11\n198.18.0.13\n2 clock have been setting successfully!\n"},
        {{"write", "--batch", kEarly, "--early", "-"},
         R"({"ipMode": "Dynamic IP"})",
         "198.18.0.12\n1 clock have been setting successfully!\n"},
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
        {"an address part with a leading zero",
         {"write", kWired, "--wired", "-"},
         R"({"ipAddress": "198.18.0.010"})",
         2,
         "tavlo write: ipAddress: \"198.18.0.010\" refused; the page takes an address of four "
         "numbers 0 to 255 without leading zeros, like 198.18.0.10 (0.0.0.0 for none)\n",
         false},
        {"control characters",
         {"write", kWired, "--wired", "-"},
         R"({"displayText": "\u001b[2J\u0007\r\n"})",
         2,
         "tavlo write: displayText: \"?[2J???\" refused; it holds a control character, which "
         "the page does not take\n",
         false},
        {"an SSID with a newline and ESC",
         {"write", kWifi, "--wifi", "--page", "wifi", "-"},
         R"({"ssid": "Lobby\nNet\u001b"})",
         2,
         "tavlo write: ssid: \"Lobby?Net?\" refused; it holds a control character, which the "
         "page does not take\n",
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
         "tavlo write: No answer from 198.18.0.14\n",
         false},
        {"no answer to the read",
         {"write", kNobody, "--wifi", "-"},
         "{}",
         1,
         "tavlo write: No answer from 198.18.0.15\n",
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

// Clocks that take the address a write gives them (tavlo-clocksim --move-on-write): the first
// acknowledges from its new address, the second from its old one. .12 and .13 are spare.
class MovingClockNetworkTest : public TavloNetworkTest<MovingClockNetworkTest> {
  protected:
    static void SetUpTestSuite() {
        StartSuite(4, {}, R"({"clocks": [
            {"kind": "wired", "address": "198.18.0.10", "faults": {"move_on_write": "new"}},
            {"kind": "wired", "address": "198.18.0.11", "faults": {"move_on_write": "old"}}
        ]})");
    }
};

// A write that moves the clock is acknowledged from its new address, from its old one, or
// after a switch to dynamic IP from an address nobody knew (by its serial number); each is
// "Setting Successful!", and the clock answers at its new address.
TEST_F(MovingClockNetworkTest, AWriteThatMovesTheClockIsReportedAsTaken) {
    const struct {
        const char* address;
        const char* input;
        const char* answersAt;  // afterwards; nothing to check for a switch to dynamic IP
    } cases[] = {
        {"198.18.0.10", R"({"ipAddress": "198.18.0.12"})", "198.18.0.12"},
        {"198.18.0.11", R"({"ipAddress": "198.18.0.13"})", "198.18.0.13"},
        {"198.18.0.12", R"({"ipMode": "Dynamic IP"})", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const Ran write = Tavlo({"write", c.address, "--wired", "-"}, c.input);
        EXPECT_EQ(write.status, 0) << write.err;
        EXPECT_EQ(write.out, "Setting Successful!\n");
        if (c.answersAt != nullptr) {
            EXPECT_EQ(Read(c.answersAt, "--wired")["ipAddress"], c.answersAt);
        }
    }
    EXPECT_EQ(Tavlo({"read", "198.18.0.11", "--wired"}).status, 1) << "the clock has moved";
}

// Clocks that repeat their last reply to their asker a thousand times a second: a read ends
// once its reply is in and a write once it is acknowledged (they took 91 s, 30 s and 152 s
// when every exchange listened until the line was quiet).
class FloodingClockNetworkTest : public TavloNetworkTest<FloodingClockNetworkTest> {
  protected:
    static void SetUpTestSuite() {
        StartSuite(2, {"--wired", kWired, "--wifi", kWifi, "--flood", "1000"});
    }
};

TEST_F(FloodingClockNetworkTest, ReadsAndWritesEndOnTheirReply) {
    constexpr auto kBudget = std::chrono::seconds(8);
    const struct {
        std::vector<std::string> args;
        const char* input;
    } cases[] = {
        {{"read", kWired, "--wired"}, ""},
        {{"read", kWifi, "--wifi"}, ""},
        {{"write", kWired, "--wired", "-"}, R"({"displayText": "FLOOD"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        const auto began = std::chrono::steady_clock::now();
        const Ran run = Tavlo(c.args, c.input);
        const auto took = std::chrono::steady_clock::now() - began;
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_LT(took, kBudget)
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    }
}

}  // namespace
}  // namespace tavlo
