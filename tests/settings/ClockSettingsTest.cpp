#include "settings/ClockSettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Ipv4.h"
#include "tests/support/ExpectBytes.h"

namespace tavlo::settings {
namespace {

using protocol::SettingsFrame;
using Bytes = std::vector<std::uint8_t>;

platform::Ipv4 Address(const char* dotted) {
    return platform::ParseIpv4(dotted);
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes Padded(std::string_view text, std::size_t width) {
    Bytes bytes = Text(text);
    bytes.resize(width, 0);
    return bytes;
}

struct FieldCase {
    const char* name;
    std::function<void(const ClockSettings&)> write;
    std::size_t offset;
    Bytes expected;
    std::function<bool(const ConstClockSettings&)> readsBack;
};

class ClockSettingsField : public testing::TestWithParam<FieldCase> {};

TEST_P(ClockSettingsField, IsWrittenAtItsOffsetAndReadBack) {
    const FieldCase& field = GetParam();
    SettingsFrame frame{};
    field.write(ClockSettings(frame));
    test::ExpectOnlyBytes(frame, field.offset, field.expected);
    EXPECT_TRUE(field.readsBack(ConstClockSettings(frame)));
}

const std::string k32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
const std::string k30 = "time.example-clocks.net.abcdef";
const std::string k20 = "SN0123456789ABCDEFGH";

const FieldCase kFieldCases[] = {
    {"version",
     [](auto& s) { s.setVersion(329); },
     2,
     {0x49, 0x01},
     [](auto& s) { return s.version() == 329; }},
    {"serialNumber", [](auto& s) { s.setSerialNumber("SN0042"); }, 4, Padded("SN0042", 20),
     [](auto& s) { return s.serialNumber() == "SN0042"; }},
    {"serialNumberFull", [](auto& s) { s.setSerialNumber(k20); }, 4, Text(k20),
     [](auto& s) { return s.serialNumber() == k20; }},
    {"ipAddress",
     [](auto& s) { s.setIpAddress(Address("10.1.2.3")); },
     24,
     {10, 1, 2, 3},
     [](auto& s) { return s.ipAddress() == Address("10.1.2.3"); }},
    {"subnetMask",
     [](auto& s) { s.setSubnetMask(Address("255.255.255.0")); },
     28,
     {255, 255, 255, 0},
     [](auto& s) { return s.subnetMask() == Address("255.255.255.0"); }},
    {"gateway",
     [](auto& s) { s.setGateway(Address("10.1.2.254")); },
     32,
     {10, 1, 2, 254},
     [](auto& s) { return s.gateway() == Address("10.1.2.254"); }},
    {"dnsServer",
     [](auto& s) { s.setDnsServer(Address("8.8.4.4")); },
     36,
     {8, 8, 4, 4},
     [](auto& s) { return s.dnsServer() == Address("8.8.4.4"); }},
    {"dstStart",
     [](auto& s) {
         s.setDstStart({3, 0x67, 2});
     },
     40,
     {3, 0x67, 2},
     [](auto& s) {
         return s.dstStart() == DstBytes{3, 0x67, 2};
     }},
    {"dstEnd",
     [](auto& s) {
         s.setDstEnd({10, 0x67, 3});
     },
     43,
     {10, 0x67, 3},
     [](auto& s) {
         return s.dstEnd() == DstBytes{10, 0x67, 3};
     }},
    {"requestBit",
     [](auto& s) { s.setRequestBit(true); },
     46,
     {0x01},
     [](auto& s) { return s.requestBit() && s.flags() == 0x01; }},
    {"twentyFourHour",
     [](auto& s) { s.setTwentyFourHourDisplay(true); },
     46,
     {0x04},
     [](auto& s) { return s.twentyFourHourDisplay() && !s.dynamicIp(); }},
    {"dynamicIp",
     [](auto& s) { s.setDynamicIp(true); },
     46,
     {0x08},
     [](auto& s) { return s.dynamicIp() && !s.batchBit(); }},
    {"batchBit",
     [](auto& s) { s.setBatchBit(true); },
     46,
     {0x10},
     [](auto& s) { return s.batchBit() && s.brightness() == 0; }},
    {"brightnessBrilliant",
     [](auto& s) { s.setBrightness(4); },
     46,
     {0x80},
     [](auto& s) { return s.brightness() == 4; }},
    {"brightnessDim",
     [](auto& s) { s.setBrightness(1); },
     46,
     {0x20},
     [](auto& s) { return s.brightness() == 1; }},
    {"frameType",
     [](auto& s) { s.setFrameType(2); },
     47,
     {2},
     [](auto& s) { return s.frameType() == 2; }},
    {"timeZoneWest",
     [](auto& s) {
         s.setTimeZone({-9, 30});
     },
     48,
     {0x89, 30},
     [](auto& s) {
         return s.timeZone() == TimeZoneOffset{-9, 30};
     }},
    {"timeZoneEast",
     [](auto& s) {
         s.setTimeZone({12, 45});
     },
     48,
     {0x0C, 45},
     [](auto& s) {
         return s.timeZone() == TimeZoneOffset{12, 45};
     }},
    {"energySavingStart",
     [](auto& s) { s.setEnergySavingStartHour(22); },
     50,
     {22},
     [](auto& s) { return s.energySavingStartHour() == 22; }},
    {"energySavingEnd",
     [](auto& s) { s.setEnergySavingEndHour(6); },
     51,
     {6},
     [](auto& s) { return s.energySavingEndHour() == 6; }},
    {"energySavingMode",
     [](auto& s) { s.setEnergySavingMode(1); },
     52,
     {1},
     [](auto& s) { return s.energySavingMode() == 1; }},
    {"timeServerInUse",
     [](auto& s) { s.setTimeServerInUse(3); },
     53,
     {0x30},
     [](auto& s) { return s.timeServerInUse() == 3; }},
    {"timeServerRow1",
     [](auto& s) {
         s.setTimeServerRow(0, {Address("10.0.0.5"), 123, 0x0102, "key1"});
     },
     54,
     {10, 0, 0, 5, 123, 0, 0x02, 0x01, 'k', 'e', 'y', '1', 0, 0, 0, 0},
     [](auto& s) {
         return s.timeServerRow(0) == TimeServerRow{Address("10.0.0.5"), 123, 0x0102, "key1"};
     }},
    {"timeServerRow5FullKey",
     [](auto& s) {
         s.setTimeServerRow(4, {Address("10.0.0.9"), 65535, 65535, "12345678"});
     },
     118,
     {10, 0, 0, 9, 0xFF, 0xFF, 0xFF, 0xFF, '1', '2', '3', '4', '5', '6', '7', '8'},
     [](auto& s) { return s.timeServerRow(4).key == "12345678"; }},
    {"humitureUnit",
     [](auto& s) { s.setHumitureUnitByte(1); },
     134,
     {1},
     [](auto& s) { return s.humitureUnit() == HumitureUnit::kCelsius; }},
    {"temperature",
     [](auto& s) { s.setTemperature(21.5f); },
     135,
     {0x00, 0x00, 0xAC, 0x41},
     [](auto& s) { return s.temperature() == 21.5f; }},
    {"humidity",
     [](auto& s) { s.setHumidity(-2.0f); },
     139,
     {0x00, 0x00, 0x00, 0xC0},
     [](auto& s) { return s.humidity() == -2.0f; }},
    {"timeDisplayDuration",
     [](auto& s) { s.setTimeDisplayDuration(15); },
     143,
     {15},
     [](auto& s) { return s.timeDisplayDuration() == 15; }},
    {"temperatureDisplayDuration",
     [](auto& s) { s.setTemperatureDisplayDuration(3); },
     144,
     {3},
     [](auto& s) { return s.temperatureDisplayDuration() == 3; }},
    {"humidityDisplayDuration",
     [](auto& s) { s.setHumidityDisplayDuration(4); },
     145,
     {4},
     [](auto& s) { return s.humidityDisplayDuration() == 4; }},
    {"countDownStart",
     [](auto& s) {
         s.setCountDownStart({23, 59, 45});
     },
     146,
     {23, 59, 45},
     [](auto& s) {
         return s.countDownStart() == ClockTime{23, 59, 45};
     }},
    {"countDownDuration",
     [](auto& s) {
         s.setCountDownDuration({9, 30, 0});
     },
     149,
     {9, 30, 0},
     [](auto& s) {
         return s.countDownDuration() == ClockTime{9, 30, 0};
     }},
    {"userPassword", [](auto& s) { s.setUserPassword(kDefaultUserPassword); }, 152,
     Padded("omber", 8), [](auto& s) { return s.userPassword() == "omber"; }},
    {"globalPassword", [](auto& s) { s.setGlobalPassword(kDefaultGlobalPassword); }, 160,
     Text("tarnfelk"), [](auto& s) { return s.globalPassword() == "tarnfelk"; }},
    {"displayTextFull", [](auto& s) { s.setDisplayText(k32); }, 168, Text(k32),
     [](auto& s) { return s.displayText() == k32; }},
    {"displayTextCut", [](auto& s) { s.setDisplayText(k32 + "xyz"); }, 168, Text(k32),
     [](auto& s) { return s.displayText() == k32; }},
    {"textDisplayMode",
     [](auto& s) { s.setTextDisplayMode(5); },
     200,
     {5},
     [](auto& s) { return s.textDisplayMode() == 5; }},
    {"timeServersByName",
     [](auto& s) { s.setTimeServersByNameByte(1); },
     201,
     {1},
     [](auto& s) { return s.timeServersByName(); }},
    {"domainName1Full", [](auto& s) { s.setDomainName(0, k30); }, 202, Text(k30),
     [](auto& s) { return s.domainName(0) == k30; }},
    {"domainName2", [](auto& s) { s.setDomainName(1, "pool.ntp.org"); }, 232,
     Padded("pool.ntp.org", 30), [](auto& s) { return s.domainName(1) == "pool.ntp.org"; }},
    {"mailSenderName", [](auto& s) { s.setMailSenderName("clock"); }, 347, Padded("clock", 21),
     [](auto& s) { return s.mailSenderName() == "clock"; }},
    {"mailSenderDomain", [](auto& s) { s.setMailSenderDomain("example.net"); }, 368,
     Padded("example.net", 21), [](auto& s) { return s.mailSenderDomain() == "example.net"; }},
    {"mailSendTo", [](auto& s) { s.setMailSendTo("ops@example.net"); }, 389,
     Padded("ops@example.net", 41), [](auto& s) { return s.mailSendTo() == "ops@example.net"; }},
    {"mailCopyTo", [](auto& s) { s.setMailCopyTo("cc@example.net"); }, 430,
     Padded("cc@example.net", 41), [](auto& s) { return s.mailCopyTo() == "cc@example.net"; }},
    {"sensorState",
     [](auto& s) { s.setSensorState(1); },
     471,
     {1},
     [](auto& s) { return s.sensorState() == 1; }},
};

INSTANTIATE_TEST_SUITE_P(EveryField, ClockSettingsField, testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClockSettings, FlagSettersKeepTheOtherBits) {
    SettingsFrame frame{};
    const ClockSettings settings(frame);
    settings.setFlags(0x1F);
    settings.setBrightness(3);
    EXPECT_EQ(frame[kFlagsOffset], 0x7F);
    settings.setBrightness(9);  // only three bits: 9 is cut to 1
    EXPECT_EQ(frame[kFlagsOffset], 0x3F);
    settings.setDynamicIp(false);
    settings.setRequestBit(false);
    EXPECT_EQ(frame[kFlagsOffset], 0x36);
    EXPECT_EQ(settings.brightness(), 1);
}

TEST(ClockSettings, TextReadersStopAtTheFieldEnd) {
    SettingsFrame frame{};
    frame.fill('Z');
    const ConstClockSettings settings(frame);
    EXPECT_EQ(settings.serialNumber(), std::string(20, 'Z'));
    EXPECT_EQ(settings.displayText(), std::string(32, 'Z'));
    EXPECT_EQ(settings.domainName(0), std::string(30, 'Z'));
    EXPECT_EQ(settings.domainName(1), std::string(30, 'Z'));
    EXPECT_EQ(settings.userPassword(), std::string(8, 'Z'));
    EXPECT_EQ(settings.timeServerRow(2).key, std::string(8, 'Z'));
    EXPECT_EQ(settings.mailCopyTo(), std::string(41, 'Z'));
}

TEST(ClockSettings, IndexesPastTheTablesAreIgnored) {
    SettingsFrame frame{};
    const ClockSettings settings(frame);
    settings.setTimeServerRow(5, {Address("10.0.0.1"), 1, 1, "k"});
    settings.setDomainName(2, "name");
    EXPECT_EQ(frame, SettingsFrame{});
    EXPECT_EQ(settings.timeServerRow(5), TimeServerRow{});
    EXPECT_EQ(settings.domainName(2), "");
}

TEST(ClockSettings, HumitureUnitReadsEveryOtherValueAsFahrenheit) {
    EXPECT_EQ(HumitureUnitFromByte(0), HumitureUnit::kNone);
    EXPECT_EQ(HumitureUnitFromByte(1), HumitureUnit::kCelsius);
    EXPECT_EQ(HumitureUnitFromByte(2), HumitureUnit::kFahrenheit);
    EXPECT_EQ(HumitureUnitFromByte(7), HumitureUnit::kFahrenheit);
    EXPECT_EQ(HumitureUnitFromByte(255), HumitureUnit::kFahrenheit);
}

TEST(ClockSettings, BrightnessNamesByCode) {
    EXPECT_EQ(BrightnessName(0), "OFF");
    EXPECT_EQ(BrightnessName(4), "Brilliant");
    EXPECT_EQ(BrightnessName(5), std::nullopt);
    EXPECT_EQ(BrightnessName(7), std::nullopt);
    EXPECT_EQ(BrightnessCode("Normal"), 2);
    EXPECT_EQ(BrightnessCode("normal"), std::nullopt);
    EXPECT_EQ(BrightnessCode(""), std::nullopt);
}

// --- Time servers ---

TimeServerTable ByAddress() {
    TimeServerTable table;
    table.mode = TimeServerMode::kByAddress;
    table.rows[0] = {Address("10.0.0.1"), 123, 7, "secret"};
    table.rows[1] = {Address("10.0.0.2"), 0, 0, "keyonly!"};
    table.rows[3] = {Address("10.0.0.4"), 1234, 0, ""};
    return table;
}

TEST(TimeServers, ByAddressWritesEveryRowAndOnlyGivenDetails) {
    SettingsFrame frame{};
    StoreTimeServers(ClockSettings(frame), ByAddress());
    const Bytes row1{10, 0, 0, 1, 123, 0, 7, 0, 's', 'e', 'c', 'r', 'e', 't', 0, 0};
    const Bytes row2{10, 0, 0, 2, 0, 0, 0, 0, 'k', 'e', 'y', 'o', 'n', 'l', 'y', '!'};
    const Bytes row4{10, 0, 0, 4, 0xD2, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes expected = row1;
    expected.insert(expected.end(), row2.begin(), row2.end());
    expected.insert(expected.end(), 16, 0);
    expected.insert(expected.end(), row4.begin(), row4.end());
    expected.insert(expected.end(), 16, 0);
    test::ExpectOnlyBytes(frame, kTimeServerTableOffset, expected);
    EXPECT_EQ(frame[kTimeServersByNameOffset], 0);
}

TEST(TimeServers, ByAddressRoundTrips) {
    SettingsFrame frame{};
    const TimeServerTable table = ByAddress();
    StoreTimeServers(ClockSettings(frame), table);
    EXPECT_EQ(LoadTimeServers(ConstClockSettings(frame)), table);
}

TEST(TimeServers, ByNameWritesTwoNamesAndNoAddresses) {
    SettingsFrame frame{};
    TimeServerTable table;
    table.mode = TimeServerMode::kByDomainName;
    table.rows[0] = {Address("10.9.9.9"), 123, 0, ""};  // the address is not used by name
    table.rows[1] = {0, 0, 5, "k"};
    table.rows[2] = {Address("10.0.0.3"), 3, 3, "row3"};  // only rows 1 and 2 belong to names
    table.domainNames = {"", k30};
    StoreTimeServers(ClockSettings(frame), table);

    const ConstClockSettings settings(frame);
    EXPECT_EQ(frame[kTimeServersByNameOffset], 1);
    for (std::size_t i = 0; i < kTimeServerRowCount; ++i) {
        EXPECT_EQ(settings.timeServerRow(i).address, 0u) << "row " << i + 1;
    }
    EXPECT_EQ(settings.timeServerRow(0), (TimeServerRow{0, 123, 0, ""}));
    EXPECT_EQ(settings.timeServerRow(1), (TimeServerRow{0, 0, 5, "k"}));
    EXPECT_EQ(settings.timeServerRow(2), TimeServerRow{});
    EXPECT_EQ(settings.domainName(0), "");
    // A 30-character name fills its field with no NUL; the next field starts right after.
    EXPECT_EQ(Bytes(frame.begin() + 232, frame.begin() + 262), Text(k30));
    EXPECT_EQ(frame[262], 0);

    const TimeServerTable loaded = LoadTimeServers(settings);
    EXPECT_EQ(loaded.mode, TimeServerMode::kByDomainName);
    EXPECT_EQ(loaded.domainNames, table.domainNames);
    EXPECT_EQ(loaded.rows[0], (TimeServerRow{0, 123, 0, ""}));
    EXPECT_EQ(loaded.rows[1], (TimeServerRow{0, 0, 5, "k"}));
    EXPECT_EQ(loaded.rows[2], TimeServerRow{});
}

TEST(TimeServers, LoadByNameIgnoresAddressesAndRowsThreeToFive) {
    SettingsFrame frame{};
    const ClockSettings settings(frame);
    settings.setTimeServerRow(0, {Address("10.0.0.1"), 123, 9, "12345678"});
    settings.setTimeServerRow(2, {Address("10.0.0.3"), 3, 3, "x"});
    settings.setTimeServersByNameByte(1);
    settings.setDomainName(0, "a.example");
    const TimeServerTable loaded = LoadTimeServers(settings);
    EXPECT_EQ(loaded.rows[0], (TimeServerRow{0, 123, 9, "12345678"}));
    EXPECT_EQ(loaded.rows[2], TimeServerRow{});
    EXPECT_EQ(loaded.domainNames[0], "a.example");
}

TEST(TimeServers, AnyOtherMarkerMeansByAddress) {
    for (const std::uint8_t marker : {0, 2, 255}) {
        SettingsFrame frame{};
        const ClockSettings settings(frame);
        settings.setTimeServersByNameByte(marker);
        settings.setTimeServerRow(4, {Address("10.0.0.5"), 1, 2, "k"});
        settings.setDomainName(0, "unused.example");
        const TimeServerTable loaded = LoadTimeServers(settings);
        EXPECT_EQ(loaded.mode, TimeServerMode::kByAddress) << int{marker};
        EXPECT_EQ(loaded.rows[4], (TimeServerRow{Address("10.0.0.5"), 1, 2, "k"}));
        EXPECT_EQ(loaded.domainNames[0], "");
    }
}

// --- Daylight saving ---

const DstRule kEurope{{3, 6, 7, 2}, {10, 6, 7, 3}};

TEST(Dst, LastSundayOfMarchAtTwo) {
    SettingsFrame frame{};
    StoreDst(ClockSettings(frame), kEurope);
    test::ExpectOnlyBytes(frame, kDstStartOffset, {3, 0x67, 2, 10, 0x67, 3});
    EXPECT_EQ(LoadDst(ConstClockSettings(frame)), kEurope);
}

TEST(Dst, DisabledRuleIsSixZeroBytes) {
    SettingsFrame frame{};
    frame.fill(0xEE);
    StoreDst(ClockSettings(frame), std::nullopt);
    for (std::size_t i = 40; i <= 45; ++i) {
        EXPECT_EQ(frame[i], 0) << i;
    }
    EXPECT_EQ(frame[39], 0xEE);
    EXPECT_EQ(frame[46], 0xEE);
    EXPECT_EQ(LoadDst(ConstClockSettings(frame)), std::nullopt);
}

TEST(Dst, EveryEnabledRuleRoundTripsWithNoZeroMonthOrWeekByte) {
    for (std::uint8_t month = 1; month <= 12; ++month) {
        for (std::uint8_t week = 1; week <= 6; ++week) {
            for (std::uint8_t weekday = 1; weekday <= 7; ++weekday) {
                for (const std::uint8_t hour : {0, 1, 23}) {
                    const DstRule rule{{month, week, weekday, hour},
                                       {static_cast<std::uint8_t>(13 - month), week, weekday, 0}};
                    SettingsFrame frame{};
                    StoreDst(ClockSettings(frame), rule);
                    EXPECT_NE(frame[40], 0);
                    EXPECT_NE(frame[41], 0);
                    EXPECT_NE(frame[43], 0);
                    EXPECT_NE(frame[44], 0);
                    EXPECT_EQ(frame[41], week * 16 + weekday);
                    ASSERT_EQ(LoadDst(ConstClockSettings(frame)), rule);
                }
            }
        }
    }
}

TEST(Dst, ChangesAtMidnightStayEnabled) {
    // A rule that changes at 0:00 both times is a real rule: reading it as disabled would lose
    // it on the next write.
    SettingsFrame frame{};
    const DstRule midnight{{3, 6, 7, 0}, {10, 6, 7, 0}};
    StoreDst(ClockSettings(frame), midnight);
    EXPECT_EQ(LoadDst(ConstClockSettings(frame)), midnight);
}

TEST(Dst, ZeroMonthsOrZeroWeekBytesReadAsDisabled) {
    const std::vector<std::array<std::uint8_t, 6>> disabled{
        {0, 0x67, 2, 0, 0x67, 3},
        {3, 0, 2, 10, 0, 3},
        {0, 0, 0, 0, 0, 0},
    };
    for (const auto& bytes : disabled) {
        SettingsFrame frame{};
        std::copy(bytes.begin(), bytes.end(), frame.begin() + kDstStartOffset);
        EXPECT_EQ(LoadDst(ConstClockSettings(frame)), std::nullopt);
    }
    // Only one side zero: enabled, with the zero passed on as it is.
    SettingsFrame frame{};
    const std::array<std::uint8_t, 6> oneSided{3, 0x67, 2, 0, 0x51, 3};
    std::copy(oneSided.begin(), oneSided.end(), frame.begin() + kDstStartOffset);
    const auto rule = LoadDst(ConstClockSettings(frame));
    ASSERT_TRUE(rule.has_value());
    EXPECT_EQ(rule->end, (DstTransition{0, 5, 1, 3}));
}

// --- Count-down ---

TEST(CountDown, ValidStartWritesStartAndDurationUnchecked) {
    SettingsFrame frame{};
    EXPECT_TRUE(StoreCountDown(ClockSettings(frame), {23, 59, 45}, {9, 99, 200}));
    test::ExpectOnlyBytes(frame, kCountDownStartOffset, {23, 59, 45, 9, 99, 200});
}

TEST(CountDown, StartThatIsNoTimeOfDayWritesNothing) {
    const std::vector<ClockTime> refused{{24, 0, 0}, {0, 60, 0}, {0, 0, 60}, {255, 255, 255}};
    for (const ClockTime& start : refused) {
        SettingsFrame frame{};
        EXPECT_FALSE(StoreCountDown(ClockSettings(frame), start, {1, 2, 3}));
        EXPECT_EQ(frame, SettingsFrame{});
    }
    SettingsFrame frame{};
    EXPECT_TRUE(StoreCountDown(ClockSettings(frame), {0, 0, 0}, {0, 0, 0}));
}

// --- Serial number ---

TEST(SerialNumber, AtMostTwentyCharactersAndNothingBeyond) {
    SettingsFrame frame{};
    StoreSerialNumber(ClockSettings(frame), k20 + "-TOO-LONG");
    test::ExpectOnlyBytes(frame, kSerialNumberOffset, Text(k20));

    SettingsFrame shorter{};
    StoreSerialNumber(ClockSettings(shorter), "SN7");
    test::ExpectOnlyBytes(shorter, kSerialNumberOffset, Padded("SN7", 20));

    SettingsFrame empty{};
    StoreSerialNumber(ClockSettings(empty), "");
    EXPECT_EQ(empty, SettingsFrame{});
}

}  // namespace
}  // namespace tavlo::settings
