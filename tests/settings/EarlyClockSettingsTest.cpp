#include "settings/EarlyClockSettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Ipv4.h"
#include "tests/support/ExpectBytes.h"

namespace tavlo::settings {
namespace {

using protocol::CommandFrame;
using Bytes = std::vector<std::uint8_t>;

platform::Ipv4 Address(const char* dotted) {
    return platform::ParseIpv4(dotted);
}

struct FieldCase {
    const char* name;
    std::function<void(const EarlyClockSettings&)> write;
    std::size_t offset;
    Bytes expected;
    std::function<bool(const ConstEarlyClockSettings&)> readsBack;
};

class EarlyClockSettingsField : public testing::TestWithParam<FieldCase> {};

TEST_P(EarlyClockSettingsField, IsWrittenAtItsOffsetAndReadBack) {
    const FieldCase& field = GetParam();
    CommandFrame frame{};
    field.write(EarlyClockSettings(frame));
    test::ExpectOnlyBytes(frame, field.offset, field.expected);
    EXPECT_TRUE(field.readsBack(ConstEarlyClockSettings(frame)));
}

const FieldCase kFieldCases[] = {
    {"dstStart",
     [](auto& s) {
         s.setDstStart({3, 0x67, 2});
     },
     2,
     {3, 0x67, 2},
     [](auto& s) {
         return s.dstStart() == DstBytes{3, 0x67, 2};
     }},
    {"dstEnd",
     [](auto& s) {
         s.setDstEnd({10, 0x67, 3});
     },
     5,
     {10, 0x67, 3},
     [](auto& s) {
         return s.dstEnd() == DstBytes{10, 0x67, 3};
     }},
    {"requestMarker",
     [](auto& s) { s.setRequestMarker(1); },
     12,
     {1},
     [](auto& s) { return s.requestMarker() == 1; }},
    {"commandCode",
     [](auto& s) { s.setCommandCode(2); },
     13,
     {2},
     [](auto& s) { return s.commandCode() == 2; }},
    {"timeZone",
     [](auto& s) {
         s.setTimeZone({-9, 30});
     },
     15,
     {0x89, 30},
     [](auto& s) {
         return s.timeZone() == TimeZoneOffset{-9, 30};
     }},
    {"timeFormat12",
     [](auto& s) { s.setTimeFormat(early::kTimeFormat12); },
     18,
     {12},
     [](auto& s) { return !s.twentyFourHourDisplay(); }},
    {"timeFormat24",
     [](auto& s) { s.setTimeFormat(early::kTimeFormat24); },
     18,
     {24},
     [](auto& s) { return s.twentyFourHourDisplay(); }},
    {"brightness",
     [](auto& s) { s.setBrightness(4); },
     19,
     {4},
     [](auto& s) { return s.brightness() == 4; }},
    {"energySavingStart",
     [](auto& s) { s.setEnergySavingStartHour(22); },
     20,
     {22},
     [](auto& s) { return s.energySavingStartHour() == 22; }},
    {"energySavingEnd",
     [](auto& s) { s.setEnergySavingEndHour(6); },
     21,
     {6},
     [](auto& s) { return s.energySavingEndHour() == 6; }},
    {"timeServerCount",
     [](auto& s) { s.setTimeServerCount(1); },
     22,
     {1},
     [](auto& s) { return s.timeServerCount() == 1; }},
    {"dynamicIp",
     [](auto& s) { s.setDynamicIp(true); },
     23,
     {1},
     [](auto& s) { return s.dynamicIp(); }},
    {"timeServer1",
     [](auto& s) { s.setTimeServerAddress(0, Address("10.0.0.1")); },
     28,
     {10, 0, 0, 1},
     [](auto& s) { return s.timeServerAddress(0) == Address("10.0.0.1"); }},
    {"timeServer5",
     [](auto& s) { s.setTimeServerAddress(4, Address("10.0.0.5")); },
     44,
     {10, 0, 0, 5},
     [](auto& s) { return s.timeServerAddress(4) == Address("10.0.0.5"); }},
    {"ipAddress",
     [](auto& s) { s.setIpAddress(Address("10.1.2.3")); },
     48,
     {10, 1, 2, 3},
     [](auto& s) { return s.ipAddress() == Address("10.1.2.3"); }},
    {"subnetMask",
     [](auto& s) { s.setSubnetMask(Address("255.255.0.0")); },
     52,
     {255, 255, 0, 0},
     [](auto& s) { return s.subnetMask() == Address("255.255.0.0"); }},
    {"gateway",
     [](auto& s) { s.setGateway(Address("10.1.0.1")); },
     56,
     {10, 1, 0, 1},
     [](auto& s) { return s.gateway() == Address("10.1.0.1"); }},
    {"dnsServer",
     [](auto& s) { s.setDnsServer(Address("10.1.0.2")); },
     60,
     {10, 1, 0, 2},
     [](auto& s) { return s.dnsServer() == Address("10.1.0.2"); }},
    {"timeServerInUse",
     [](auto& s) { s.setTimeServerInUse(Address("10.0.0.3")); },
     64,
     {10, 0, 0, 3},
     [](auto& s) { return s.timeServerInUse() == Address("10.0.0.3"); }},
    {"serialNumber",
     [](auto& s) { s.setSerialNumber("SN0042"); },
     68,
     {'S', 'N', '0', '0', '4', '2'},
     [](auto& s) { return s.serialNumber() == "SN0042"; }},
    {"checksum",
     [](auto& s) { s.setChecksum(0x5A); },
     94,
     {0x5A},
     [](auto& s) { return s.checksum() == 0x5A; }},
};

INSTANTIATE_TEST_SUITE_P(EveryField, EarlyClockSettingsField, testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EarlyClockSettings, SerialNumberKeepsItsTerminator) {
    const std::string thirty(30, 'S');
    CommandFrame frame{};
    frame.fill(0xEE);
    const EarlyClockSettings settings(frame);
    settings.setSerialNumber(thirty);
    for (std::size_t i = 68; i < 93; ++i) {
        EXPECT_EQ(frame[i], 'S') << i;
    }
    EXPECT_EQ(frame[93], 0);     // the 26th byte stays NUL
    EXPECT_EQ(frame[94], 0xEE);  // the checksum is not touched
    EXPECT_EQ(settings.serialNumber(), std::string(25, 'S'));
}

TEST(EarlyClockSettings, UnterminatedSerialNumberIsReadOnlyToTheFieldEnd) {
    CommandFrame frame{};
    frame.fill('Q');
    EXPECT_EQ(ConstEarlyClockSettings(frame).serialNumber(), std::string(26, 'Q'));
}

TEST(EarlyClockSettings, OnlyOneMeansDynamicAndOnlyTwelveMeansTwelveHours) {
    CommandFrame frame{};
    const EarlyClockSettings settings(frame);
    frame[early::kDynamicIpOffset] = 2;
    EXPECT_FALSE(settings.dynamicIp());
    frame[early::kTimeFormatOffset] = 0;
    EXPECT_TRUE(settings.twentyFourHourDisplay());
    settings.setDynamicIp(false);
    EXPECT_EQ(frame[early::kDynamicIpOffset], 0);
}

TEST(EarlyClockSettings, ServerIndexesPastTheTableAreIgnored) {
    CommandFrame frame{};
    const EarlyClockSettings settings(frame);
    settings.setTimeServerAddress(5, Address("10.0.0.6"));
    EXPECT_EQ(frame, CommandFrame{});
    frame.fill(0x77);
    EXPECT_EQ(settings.timeServerAddress(5), 0u);
}

TEST(EarlyDst, EnabledExactlyWhenTheStartMonthIsSet) {
    CommandFrame frame{};
    const EarlyClockSettings settings(frame);
    const DstRule rule{{3, 6, 7, 2}, {10, 6, 7, 3}};
    StoreEarlyDst(settings, rule);
    test::ExpectOnlyBytes(frame, early::kDstStartOffset, {3, 0x67, 2, 10, 0x67, 3});
    EXPECT_EQ(LoadEarlyDst(settings), rule);

    frame[early::kDstStartOffset] = 0;
    EXPECT_EQ(LoadEarlyDst(settings), std::nullopt);

    StoreEarlyDst(settings, std::nullopt);
    EXPECT_EQ(frame, CommandFrame{});
}

TEST(EarlyTimeServerInUse, MarksTheLastMatchingRow) {
    CommandFrame frame{};
    const EarlyClockSettings settings(frame);
    settings.setTimeServerAddress(1, Address("10.0.0.7"));
    settings.setTimeServerAddress(3, Address("10.0.0.7"));
    settings.setTimeServerAddress(4, Address("10.0.0.9"));
    settings.setTimeServerInUse(Address("10.0.0.7"));
    EXPECT_EQ(EarlyTimeServerInUseRow(settings), 3u);

    settings.setTimeServerInUse(Address("10.0.0.8"));
    EXPECT_EQ(EarlyTimeServerInUseRow(settings), std::nullopt);

    // No address reported: empty rows are not taken as the one in use.
    settings.setTimeServerInUse(0);
    EXPECT_EQ(EarlyTimeServerInUseRow(settings), std::nullopt);
}

}  // namespace
}  // namespace tavlo::settings
