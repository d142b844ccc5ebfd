#include "settings/FieldText.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Ipv4.h"

namespace tavlo::settings {
namespace {

std::map<std::string, FieldText> ByName(const std::vector<FieldText>& fields) {
    std::map<std::string, FieldText> map;
    for (const FieldText& field : fields) {
        EXPECT_TRUE(map.emplace(field.name, field).second) << "duplicate " << field.name;
    }
    return map;
}

void ExpectFrameOrder(const std::vector<FieldText>& fields) {
    for (std::size_t i = 1; i < fields.size(); ++i) {
        EXPECT_LE(fields[i - 1].offset, fields[i].offset) << fields[i].name;
    }
}

TEST(FieldText, CurrentClockInThePagesForms) {
    protocol::SettingsFrame frame{};
    const ClockSettings s(frame);
    s.setVersion(329);
    s.setSerialNumber("SN0042");
    s.setIpAddress(platform::ParseIpv4("10.1.2.3"));
    StoreDst(s, DstRule{{3, 6, 7, 2}, {10, 6, 7, 3}});
    s.setTwentyFourHourDisplay(true);
    s.setDynamicIp(true);
    s.setBrightness(6);
    s.setTimeZone({-9, 30});
    s.setEnergySavingMode(7);
    s.setTimeServerInUse(3);
    s.setTimeServerRow(0, {platform::ParseIpv4("10.0.0.5"), 123, 7, "k"});
    s.setHumitureUnitByte(1);
    s.setTemperature(21.25f);
    s.setHumidity(45.0f);
    s.setCountDownStart({23, 59, 5});
    s.setUserPassword("omber");
    s.setDisplayText("\xCA\xB1\xD6\xD3");  // code page 936
    s.setTextDisplayMode(3);

    const auto fields = DescribeClockSettings(s);
    ExpectFrameOrder(fields);
    const auto f = ByName(fields);
    EXPECT_EQ(f.at("version").value, "3.29");
    EXPECT_EQ(f.at("serialNumber").value, "SN0042");
    EXPECT_EQ(f.at("ipAddress").value, "10.1.2.3");
    EXPECT_EQ(f.at("dnsServer").value, "0.0.0.0");
    EXPECT_EQ(f.at("daylightSaving").value,
              "2 O'clock on the Last Sun in Mar to 3 O'clock on the Last Sun in Oct");
    EXPECT_EQ(f.at("timeFormat").value, "24");
    EXPECT_EQ(f.at("ipMode").value, "Dynamic IP");
    EXPECT_EQ(f.at("brightness").value, "not used (6)");
    EXPECT_EQ(f.at("timeZone").value, "UTC -9:30");
    EXPECT_EQ(f.at("energySavingMode").value, "Display Close");
    EXPECT_EQ(f.at("timeServerInUse").value, "3");
    EXPECT_EQ(f.at("timeServerMode").value, "Time Server IP");
    EXPECT_EQ(f.at("timeServer1Address").value, "10.0.0.5");
    EXPECT_EQ(f.at("timeServer1Port").value, "123");
    EXPECT_EQ(f.at("timeServer1Key").value, "k");
    EXPECT_TRUE(f.at("timeServer1Key").secret);
    EXPECT_EQ(f.at("humitureUnit").value, "\xE2\x84\x83");
    EXPECT_EQ(f.at("temperature").value, "21.2");
    EXPECT_EQ(f.at("humidity").value, "45.0");
    EXPECT_EQ(f.at("countDownStart").value, "23:59:05");
    EXPECT_EQ(f.at("userPassword").value, "omber");
    EXPECT_TRUE(f.at("userPassword").secret);
    EXPECT_TRUE(f.at("globalPassword").secret);
    EXPECT_EQ(f.at("displayText").value, "\xE6\x97\xB6\xE9\x92\x9F");
    EXPECT_EQ(f.at("textDisplayMode").value, "Alternate(s): 3");
    EXPECT_EQ(f.at("sensorState").value, "0");
}

TEST(FieldText, EmptyFrameReadsAsDefaults) {
    const protocol::SettingsFrame frame{};
    const auto f = ByName(DescribeClockSettings(frame));
    EXPECT_EQ(f.at("daylightSaving").value, "disabled");
    EXPECT_EQ(f.at("timeZone").value, "UTC  0");
    EXPECT_EQ(f.at("brightness").value, "OFF");
    EXPECT_EQ(f.at("timeServerInUse").value, "none");
    EXPECT_EQ(f.at("humitureUnit").value, "none");
    EXPECT_EQ(f.at("textDisplayMode").value, "Roll");
    EXPECT_EQ(f.at("timeFormat").value, "12");
}

TEST(FieldText, OutOfRangeDstNamesFallBackToNumbers) {
    EXPECT_EQ(DstTransitionText({13, 0, 9, 25}), "25 O'clock on the week 0 weekday 9 in month 13");
}

TEST(FieldText, EarlyClockInThePagesForms) {
    protocol::CommandFrame frame{};
    const EarlyClockSettings s(frame);
    s.setTimeZoneBytes({0x80, 0});
    s.setTimeFormat(12);
    s.setTimeServerAddress(4, platform::ParseIpv4("10.0.0.9"));
    s.setSerialNumber("EARLY-7");
    const auto fields = DescribeEarlyClockSettings(s);
    ExpectFrameOrder(fields);
    const auto f = ByName(fields);
    EXPECT_EQ(f.at("timeZone").value, "UTC -0 ");
    EXPECT_EQ(f.at("timeFormat").value, "12");
    EXPECT_EQ(f.at("timeServer5Address").value, "10.0.0.9");
    EXPECT_EQ(f.at("serialNumber").value, "EARLY-7");
    EXPECT_EQ(f.at("daylightSaving").value, "disabled");
}

}  // namespace
}  // namespace tavlo::settings
