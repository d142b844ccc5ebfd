#include <gtest/gtest.h>

#include "platform/Ipv4.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tools/clocksim/Config.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

using platform::MakeIpv4;

std::optional<std::string> NoFile(const std::string& path, std::string& error) {
    error = "cannot read " + path;
    return std::nullopt;
}

std::optional<SimConfig> Parse(std::vector<std::string> args, std::string& error) {
    return ParseCommandLine(args, error, NoFile);
}

TEST(CommandLineTest, ClocksOfEveryKindWithFaultsForAll) {
    std::string error;
    auto config = Parse({"--wired",      "198.18.0.10-11",
                         "--wifi",       "198.18.0.12",
                         "--early",      "198.18.0.13",
                         "--early-wifi", "198.18.0.14",
                         "--drop",       "0.5",
                         "--delay",      "20",
                         "--no-ack",     "--faults-on",
                         "read,write",   "--drop-acks",
                         "0.25",         "--flood",
                         "1000",         "--log",
                         "/tmp/x.log",   "--seed",
                         "42",           "--move-on-write",
                         "old"},
                        error);
    ASSERT_TRUE(config) << error;
    ASSERT_EQ(config->clocks.size(), 5u);
    EXPECT_EQ(config->clocks[0].kind, ClockKind::kWired);
    EXPECT_EQ(config->clocks[2].kind, ClockKind::kWifi);
    EXPECT_EQ(config->clocks[3].kind, ClockKind::kEarly);
    EXPECT_EQ(config->clocks[4].kind, ClockKind::kEarlyWifi);
    for (const auto& clock : config->clocks) {
        EXPECT_EQ(clock.faults.drop, 0.5);
        EXPECT_EQ(clock.faults.delayMs, 20);
        EXPECT_TRUE(clock.faults.noAck);
        EXPECT_EQ(clock.faults.appliesTo, kReadRequests | kWriteRequests);
        EXPECT_EQ(clock.faults.dropAcks, 0.25);
        EXPECT_EQ(clock.faults.floodPerSecond, 1000);
        EXPECT_EQ(clock.faults.moveOnWrite, MoveOnWrite::kAnswerFromOld);
    }
    EXPECT_EQ(config->logPath, "/tmp/x.log");
    EXPECT_EQ(config->seed, 42u);
    EXPECT_EQ(config->clocks[1].SerialNumber(), "SN0011");
    EXPECT_EQ(FormatMac(config->clocks[1].mac), "02:54:56:00:00:0b");
}

TEST(CommandLineTest, BadUsageSaysWhat) {
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "no clocks"},
        {{"--wired"}, "--wired"},
        {{"--wired", "198.18.0.10", "--bogus"}, "unknown option"},
        {{"--wired", "198.18.0.10", "--drop", "1.5"}, "share from 0 to 1"},
        {{"--wired", "198.18.0.10", "--drop", "x"}, "share"},
        {{"--wired", "198.18.0.10", "--delay", "-1"}, "whole number"},
        {{"--wired", "198.18.0.10", "--flood", "100001"}, "whole number"},
        {{"--wired", "198.18.0.10", "--faults-on", "reads"}, "probe, read and write"},
        {{"--wired", "198.18.0.10", "--move-on-write", "far"}, "\"new\" or \"old\""},
        {{"--wired", "198.18.0.10", "--wifi", "198.18.0.10"}, "two clocks at 198.18.0.10"},
        {{"--wired", "198.18.0.300"}, "--wired"},
        {{"--clocks", "/nonexistent.json"}, "cannot read"},
        {{"--wired", "198.18.0.10", "--buffer", "10"}, "whole number"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    std::string error;
    auto help = Parse({"--help", "--bogus"}, error);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->help);
}

std::optional<std::string> TwoClockFile(const std::string&, std::string&) {
    return std::string(
        R"({"clocks": [{"kind": "wifi", "addresses": "198.18.0.20-21", "faults": {"junk": true}}]})");
}

TEST(CommandLineTest, ClockFileBesideRanges) {
    std::string error;
    auto config = ParseCommandLine({"--wired", "198.18.0.10", "--clocks", "x.json", "--silent"},
                                   error, TwoClockFile);
    ASSERT_TRUE(config) << error;
    ASSERT_EQ(config->clocks.size(), 3u);
    EXPECT_EQ(config->clocks[2].kind, ClockKind::kWifi);
    EXPECT_TRUE(config->clocks[2].faults.junk);
    EXPECT_TRUE(config->clocks[2].faults.silent) << "command-line faults under the file's";
    EXPECT_FALSE(config->clocks[0].faults.junk);
    EXPECT_FALSE(
        ParseCommandLine({"--wifi", "198.18.0.21", "--clocks", "x.json"}, error, TwoClockFile));
    EXPECT_NE(error.find("two clocks at 198.18.0.21"), std::string::npos) << error;
}

TEST(ClockFileTest, EveryMemberReachesTheRecord) {
    const char* file = R"({
      "faults": {"drop": 0.1},
      "clocks": [
        {"kind": "wired", "address": "198.18.0.10", "serial": "SN0042", "version": 330,
         "mac": "02:00:00:00:00:42", "user_password": "secret", "global_password": "g",
         "ip": "198.18.0.10", "mask": "255.255.0.0", "gateway": "198.18.0.254", "dns": "198.18.0.53",
         "dst": false, "time_zone": {"hours": -9, "minutes": 30}, "twenty_four_hour": false,
         "dynamic_ip": true, "brightness": 4,
         "energy_saving": {"start": 22, "end": 7, "mode": 1},
         "time_servers": [{"address": "198.18.0.2", "port": 123, "key_id": 7, "key": "k"}],
         "time_server_in_use": 1, "domain_names": ["ntp.example.net"],
         "humiture_unit": 2, "temperature": 70.5, "humidity": 30, "durations": [2, 3, 4],
         "count_down": {"start": [1, 2, 3], "duration": [4, 5, 6]},
         "text": "LOBBY\u00a1\u00e6", "text_mode": 3,
         "wifi": {"ssid": "Floor2", "cipher": 3, "auth": 1, "password": "pw"},
         "mail": {"sender_name": "c", "sender_domain": "d", "send_to": "e", "copy_to": "f",
                  "sensor_state": 1},
         "faults": {"silent": true, "on": ["write"], "drop_acks": 0.5, "flood": 20}},
        {"kind": "early-wifi", "addresses": "198.18.0.20-21", "serial": "OLD",
         "time_servers": ["198.18.0.2", "0.0.0.0", "198.18.0.4"], "dynamic_ip": true,
         "time_server_in_use": "198.18.0.4", "time_zone": {"hours": 5}, "twenty_four_hour": false}
      ]})";
    std::string error;
    Faults base;
    base.delayMs = 5;
    auto clocks = LoadClockFile(file, base, error);
    ASSERT_TRUE(clocks) << error;
    ASSERT_EQ(clocks->size(), 3u);

    const SimClock& wired = (*clocks)[0];
    const settings::ConstClockSettings r(wired.record);
    EXPECT_EQ(r.serialNumber(), "SN0042");
    EXPECT_EQ(r.version(), 330);
    EXPECT_EQ(FormatMac(wired.mac), "02:00:00:00:00:42");
    EXPECT_EQ(r.userPassword(), "secret");
    EXPECT_EQ(r.globalPassword(), "g");
    EXPECT_EQ(r.subnetMask(), MakeIpv4(255, 255, 0, 0));
    EXPECT_EQ(r.gateway(), MakeIpv4(198, 18, 0, 254));
    EXPECT_EQ(r.dstStart(), settings::DstBytes{});
    EXPECT_EQ(r.timeZoneBytes(), (settings::TimeZoneBytes{0x89, 30}));
    EXPECT_FALSE(r.twentyFourHourDisplay());
    EXPECT_TRUE(r.dynamicIp());
    EXPECT_EQ(r.brightness(), 4);
    EXPECT_EQ(r.energySavingMode(), 1);
    EXPECT_EQ(r.timeServerRow(0).keyId, 7);
    EXPECT_EQ(r.timeServerRow(0).key, "k");
    EXPECT_EQ(r.timeServerRow(1).address, 0u) << "rows not given are emptied";
    EXPECT_TRUE(r.timeServersByName());
    EXPECT_EQ(r.domainName(0), "ntp.example.net");
    EXPECT_EQ(r.humitureUnitByte(), 2);
    EXPECT_FLOAT_EQ(r.temperature(), 70.5F);
    EXPECT_EQ(r.countDownDuration(), (settings::ClockTime{4, 5, 6}));
    EXPECT_EQ(r.displayText(), "LOBBY\xa1\xe6");
    EXPECT_EQ(r.textDisplayMode(), 3);
    EXPECT_EQ(wifi::ConstWifiSettings(wired.record).ssid(), "Floor2");
    EXPECT_EQ(wifi::ConstWifiSettings(wired.record).cipherCode(), 3);
    EXPECT_EQ(r.mailCopyTo(), "f");
    EXPECT_EQ(r.sensorState(), 1);
    EXPECT_TRUE(wired.faults.silent);
    EXPECT_EQ(wired.faults.appliesTo, kWriteRequests);
    EXPECT_EQ(wired.faults.dropAcks, 0.5);
    EXPECT_EQ(wired.faults.floodPerSecond, 20);
    EXPECT_EQ(wired.faults.drop, 0.1) << "file faults over the command line's";
    EXPECT_EQ(wired.faults.delayMs, 5);

    for (std::size_t i = 1; i < 3; ++i) {
        const settings::ConstEarlyClockSettings e((*clocks)[i].earlyRecord);
        EXPECT_EQ((*clocks)[i].kind, ClockKind::kEarlyWifi);
        EXPECT_EQ(e.serialNumber(), "OLD");
        EXPECT_EQ(e.timeServerCount(), 2);
        EXPECT_EQ(e.timeServerAddress(2), MakeIpv4(198, 18, 0, 4));
        EXPECT_EQ(e.timeServerInUse(), MakeIpv4(198, 18, 0, 4));
        EXPECT_EQ(e.timeFormat(), 12);
        EXPECT_TRUE(e.dynamicIp());
        EXPECT_EQ(e.timeZoneBytes(), (settings::TimeZoneBytes{5, 0}));
    }
    EXPECT_EQ(settings::ConstEarlyClockSettings((*clocks)[2].earlyRecord).ipAddress(),
              MakeIpv4(198, 18, 0, 21));
}

TEST(ClockFileTest, MistakesAreNamedByTheirPlace) {
    const struct {
        const char* file;
        const char* says;
    } cases[] = {
        {R"([])", "\"clocks\""},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "colour": 1}]})",
         "clocks[0].colour: unknown member"},
        {R"({"clocks": [{"kind": "analog", "address": "198.18.0.10"}]})", "clocks[0].kind"},
        {R"({"clocks": [{"kind": "wired"}]})", "either \"address\" or \"addresses\""},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10-11"}]})", "one address"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "serial": "123456789012345678901"}]})",
         "longer than 20"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "time_zone": {"hours": 15}}]})",
         "time_zone"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "text": "\u4e2d"}]})",
         "U+00FF"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "record_hex": "00"}]})",
         "1544 hex digits"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "faults": {"drop": 2}}]})",
         "clocks[0].faults.drop"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10",
             "time_servers": [{"address": "x"}]}]})",
         "time_servers[0].address"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10",
             "energy_saving": {"start": 24}}]})",
         "energy_saving.start"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10",
             "dst": {"start": [3, 7, 7, 2], "end": [10, 6, 7, 3]}}]})",
         "dst"},
        {R"({"clocks": [{"kind": "wired", "addresses": "198.18.0.10-11", "mac": "02:00:00:00:00:01"}]})",
         "only for a single clock"},
        {R"({"clocks": [{"kind": "wired", "address": "198.18.0.10", "mac": "02:00:00:00:00"}]})",
         "six hex pairs"},
        {R"({"clocks": [1]})", "clocks[0]: expected an object"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(LoadClockFile(c.file, Faults{}, error)) << c.file;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.file << " -> " << error;
    }
}

TEST(ClockFileTest, WholeRecordFromHex) {
    std::string hex(2 * protocol::kSettingsFrameSize, '0');
    hex.replace(8, 4, "4142");  // serial number "AB"
    std::string file = R"({"clocks": [{"kind": "wifi", "address": "198.18.0.10", "record_hex": ")" +
                       hex + R"(", "text": "T"}]})";
    std::string error;
    auto clocks = LoadClockFile(file, Faults{}, error);
    ASSERT_TRUE(clocks) << error;
    const settings::ConstClockSettings r((*clocks)[0].record);
    EXPECT_EQ(r.serialNumber(), "AB");
    EXPECT_EQ(r.displayText(), "T") << "members apply after the hex";
    EXPECT_EQ(r.version(), 0);
}

}  // namespace
}  // namespace tavlo::clocksim
