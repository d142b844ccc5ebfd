// `tavlo read`, `write`, `backup` and `restore` with many clocks at once against
// tavlo-clocksim: every record comes from its own clock, a silent clock, a clock refusing the
// password and a clock whose page refuses an entry fail alone, and the exit status says so; a
// restore brings back what a backup saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/network/write/TavloNetworkTest.h"
#include "tools/common/Json.h"

namespace tavlo {
namespace {

constexpr const char* kSilent = "198.18.0.14";   // answers nothing
constexpr const char* kLocked = "198.18.0.15";   // user password "secret"
constexpr const char* kDynamic = "198.18.0.16";  // dynamic IP: its address boxes are locked
const std::vector<std::string> kAnswering = {"198.18.0.10", "198.18.0.11", "198.18.0.12",
                                             "198.18.0.13"};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class ManyClocksNetworkTest : public TavloNetworkTest<ManyClocksNetworkTest> {
  protected:
    static void SetUpTestSuite() {
        StartSuite(9, {"--wired", "198.18.0.10-13"}, R"({"clocks": [
            {"kind": "wired", "address": "198.18.0.14", "faults": {"silent": true}},
            {"kind": "wired", "address": "198.18.0.15", "user_password": "secret"},
            {"kind": "wired", "address": "198.18.0.16", "dynamic_ip": true},
            {"kind": "wired", "addresses": "198.18.0.17-18", "serial": "../A B"}
        ]})");
    }
};

TEST_F(ManyClocksNetworkTest, EachRecordComesFromItsOwnClockInTheOrderGiven) {
    std::vector<std::string> args = {"read", "--wired", "--json", "--parallel", "8"};
    // The silent clock sits among the others; the records keep the order given.
    std::vector<std::string> order = {kAnswering[2], kAnswering[0], kSilent, kAnswering[3],
                                      kAnswering[1], kLocked,       kDynamic};
    args.insert(args.end(), order.begin(), order.end());
    const Ran run = Tavlo(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavlo read: No answer from " + std::string(kSilent) + "\n");
    order.erase(std::find(order.begin(), order.end(), kSilent));
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), order.size()) << run.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string error;
        const auto record = json::Read(lines[i], error);
        ASSERT_TRUE(record) << error;
        const std::string address = (*record)["address"];
        EXPECT_EQ(address, order[i]);
        // The simulator names each clock after its address: SN0010 for 198.18.0.10.
        EXPECT_EQ((*record)["serialNumber"], "SN00" + address.substr(address.rfind('.') + 1));
    }

    const Ran csv = Tavlo({"read", "--wired", "--csv", kAnswering[0], kAnswering[1]});
    EXPECT_EQ(csv.status, 0) << csv.err;
    const std::vector<std::string> rows = Lines(csv.out);
    ASSERT_EQ(rows.size(), 3u) << csv.out;
    for (const std::string& row : rows) {
        EXPECT_TRUE(!row.empty() && row.back() == '\r') << row;
    }
    EXPECT_EQ(rows[0].rfind("address,", 0), 0u) << rows[0];
    EXPECT_EQ(rows[2].rfind(kAnswering[1] + std::string(","), 0), 0u) << rows[2];
}

TEST_F(ManyClocksNetworkTest, AClockThatFailsFailsAloneAndIsNamedOnItsLine) {
    const std::string edits = R"({"displayText": "Hall", "gateway": "198.18.0.254"})";
    const std::size_t before = LogLines().size();
    const Ran run = Tavlo({"write", "--wired", kAnswering[0], kSilent, kLocked, kDynamic,
                           kAnswering[1], "-", "--parallel", "3"},
                          edits);
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    EXPECT_EQ(lines[0], kAnswering[0] + std::string(": Setting Successful!"));
    EXPECT_EQ(lines[1], kSilent + std::string(": No answer"));
    EXPECT_EQ(lines[2], kLocked + std::string(": Please enter the correct User Password!"));
    EXPECT_EQ(lines[3].rfind(kDynamic + std::string(": gateway"), 0), 0u) << lines[3];
    EXPECT_EQ(lines[4], kAnswering[1] + std::string(": Setting Successful!"));
    EXPECT_EQ(lines[5], "2 of 5 clocks written");
    EXPECT_EQ(WritesSince(before), 2);
    for (const std::string& address : {kAnswering[0], kAnswering[1]}) {
        EXPECT_EQ(Read(address, "--wired")["displayText"], "Hall");
    }

    // Nothing written: the status says why (an address twice, one address for every clock, a
    // refused entry beside a refused password).
    const std::size_t later = LogLines().size();
    EXPECT_EQ(Tavlo({"write", "--wired", kLocked, kLocked, "-"}).status, 2);
    EXPECT_EQ(
        Tavlo({"write", "--wired", kLocked, kAnswering[2], "-"}, R"({"ipAddress": "198.18.0.50"})")
            .status,
        2);
    EXPECT_EQ(Tavlo({"write", "--wired", kLocked, kDynamic, "-"}, edits).status, 2);
    EXPECT_EQ(WritesSince(later), 0);
}

// Ctrl-C: the clock under way (the silent one, five requests) ends at its next step, no further
// clock is asked, every clock has its line, and nothing was written.
TEST_F(ManyClocksNetworkTest, CtrlCStopsTheRunAndEveryClockSaysHowItEnded) {
    const std::size_t before = LogLines().size();
    std::ofstream(files_->File("stop.json")) << R"({"displayText": "Never"})";
    std::string error;
    auto run = network_->Start(testnet::Side::kPc,
                               {TAVLO_CLI_PATH, "write", "--wired", kSilent, kAnswering[3],
                                "--parallel", "1", files_->File("stop.json")},
                               error);
    ASSERT_TRUE(run) << error;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(run->Stop(SIGINT, std::chrono::seconds(5)), 1);
    EXPECT_EQ(run->ReadAll(std::chrono::seconds(1)), kSilent + std::string(": Stopped\n") +
                                                         kAnswering[3] +
                                                         ": Stopped\n0 of 2 clocks written\n");
    EXPECT_EQ(WritesSince(before), 0);
}

// A backup, a change, and a restore that brings the change back; a serial number is made a
// safe file name, and a second clock with the same one gets a file of its own.
TEST_F(ManyClocksNetworkTest, RestoreAfterAChangeBringsTheBackupBack) {
    const std::string dir = files_->File("backup");
    const Ran backup = Tavlo({"backup", dir, "--parallel", "4"});
    EXPECT_EQ(backup.status, 0) << backup.out << backup.err;
    EXPECT_NE(backup.out.find("8 of 8 clocks saved"), std::string::npos) << backup.out;
    for (const char* name : {"SN0012.json", "_._A_B.json", "_._A_B-2.json"}) {
        const std::filesystem::path path = std::filesystem::path(dir) / name;
        ASSERT_TRUE(std::filesystem::exists(path)) << name << "\n" << backup.out;
        EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    const std::string saved = testnet::ReadLines(dir + "/SN0012.json").at(0);
    for (const char* secret : {"\"userPassword\"", "\"wifiPassword\"", "\"timeServer1Key\""}) {
        EXPECT_EQ(saved.find(secret), std::string::npos) << saved;
    }
    const std::string original = Read(kAnswering[2], "--wired")["displayText"];

    ASSERT_EQ(
        Tavlo({"write", "--wired", kAnswering[2], "-"}, R"({"displayText": "Changed"})").status, 0);
    const std::size_t before = LogLines().size();
    const Ran dryRun = Tavlo({"restore", dir, "--dry-run"});
    EXPECT_EQ(dryRun.status, 0) << dryRun.out << dryRun.err;
    EXPECT_NE(dryRun.out.find("  displayText: Changed -> " + original), std::string::npos)
        << dryRun.out;
    EXPECT_EQ(WritesSince(before), 0);

    const Ran restore = Tavlo({"restore", dir});
    EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
    EXPECT_EQ(WritesSince(before), 1) << restore.out;
    EXPECT_EQ(Read(kAnswering[2], "--wired")["displayText"], original);
}

}  // namespace
}  // namespace tavlo
