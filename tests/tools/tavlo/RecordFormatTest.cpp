// A read reply printed field by field, in the forms the pages show.
#include "tools/tavlo/RecordFormat.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "platform/Ipv4.h"
#include "protocol/ProtocolState.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "wifi/WifiSettings.h"

namespace tavlo::cli {
namespace {

using platform::MakeIpv4;

std::map<std::string, std::string> AsMap(const std::vector<Field>& fields) {
    std::map<std::string, std::string> map;
    for (const Field& field : fields) {
        EXPECT_TRUE(map.emplace(field.name, field.value).second) << "twice: " << field.name;
    }
    return map;
}

protocol::SettingsFrame SampleFrame() {
    protocol::SettingsFrame frame{};
    const settings::ClockSettings s(frame);
    s.setVersion(329);
    s.setSerialNumber("SN0042");
    s.setFrameType(1);
    s.setTwentyFourHourDisplay(true);
    s.setTimeZoneBytes({0x89, 30});
    s.setIpAddress(MakeIpv4(192, 0, 2, 10));
    s.setSubnetMask(MakeIpv4(255, 255, 255, 0));
    s.setGateway(MakeIpv4(192, 0, 2, 1));
    s.setTimeServerInUse(2);
    s.setTimeServerRow(1, {MakeIpv4(192, 0, 2, 123), 123, 7, "secret"});
    s.setCountDownStart({23, 59, 45});
    s.setCountDownDuration({9, 30, 0});
    s.setEnergySavingStartHour(22);
    s.setEnergySavingEndHour(6);
    s.setEnergySavingMode(1);
    s.setBrightness(4);
    s.setDstStart({3, 0x67, 2});
    s.setDstEnd({10, 0x67, 3});
    s.setDisplayText("Hello");
    s.setTextDisplayMode(3);
    s.setHumitureUnitByte(1);
    s.setTemperature(21.5f);
    s.setHumidity(45.0f);
    s.setTimeDisplayDuration(5);
    s.setUserPassword("omber");
    s.setGlobalPassword("tarnfelk");
    s.setSensorState(1);
    const wifi::WifiSettings w(frame);
    w.setSsid("ClockNet");
    w.setCipherCode(1);
    w.setAuthenticationCode(5);
    w.setPassword("wifipass");
    return frame;
}

TEST(RecordFormat, CurrentClockInPageForms) {
    const protocol::SettingsFrame frame = SampleFrame();
    const auto f = AsMap(DescribeClockSettings(frame, {}));
    EXPECT_EQ(f.at("version"), "3.29");
    EXPECT_EQ(f.at("serialNumber"), "SN0042");
    EXPECT_EQ(f.at("timeFormat"), "24");
    EXPECT_EQ(f.at("timeZone"), "UTC -9:30");
    EXPECT_EQ(f.at("ipMode"), "Static IP");
    EXPECT_EQ(f.at("ipAddress"), "192.0.2.10");
    EXPECT_EQ(f.at("subnetMask"), "255.255.255.0");
    EXPECT_EQ(f.at("defaultGateway"), "192.0.2.1");
    EXPECT_EQ(f.at("dnsServer"), "0.0.0.0");
    EXPECT_EQ(f.at("timeServerMode"), "Time Server IP");
    EXPECT_EQ(f.at("timeServerInUse"), "2");
    EXPECT_EQ(f.at("timeServer2Address"), "192.0.2.123");
    EXPECT_EQ(f.at("timeServer2Port"), "123");
    EXPECT_EQ(f.at("timeServer2KeyId"), "7");
    EXPECT_EQ(f.at("timeServer1Address"), "0.0.0.0");
    EXPECT_EQ(f.at("countDownStart"), "23:59:45");
    EXPECT_EQ(f.at("countDownDuration"), "9:30:00");
    EXPECT_EQ(f.at("energySavingFrom"), "22");
    EXPECT_EQ(f.at("energySavingTo"), "6");
    EXPECT_EQ(f.at("energySavingMode"), "Display Close");
    EXPECT_EQ(f.at("brightness"), "Brilliant");
    EXPECT_EQ(f.at("daylightSaving"), "enabled");
    EXPECT_EQ(f.at("daylightSavingStart"), "2 O'clock on the Last Sun in Mar");
    EXPECT_EQ(f.at("daylightSavingEnd"), "3 O'clock on the Last Sun in Oct");
    EXPECT_EQ(f.at("displayText"), "Hello");
    EXPECT_EQ(f.at("textDisplay"), "Alternate(s): 3");
    EXPECT_EQ(f.at("humitureUnit"), "\u2103");
    EXPECT_EQ(f.at("temperature"), "21.5 \u2103");
    EXPECT_EQ(f.at("humidity"), "45.0%");
    EXPECT_EQ(f.at("timeDisplayDuration"), "5");
    EXPECT_EQ(f.at("wifiSsid"), "ClockNet");
    EXPECT_EQ(f.at("wifiCipher"), "AES");
    EXPECT_EQ(f.at("wifiAuth"), "WPA2PSK");
    EXPECT_EQ(f.at("sensorState"), "high");
    // Passwords stay hidden unless asked for.
    EXPECT_EQ(f.at("userPassword"), "");
    EXPECT_EQ(f.at("wifiPassword"), "");
    EXPECT_EQ(f.at("timeServer2Key"), "");
    const auto shown = AsMap(DescribeClockSettings(frame, {.withPasswords = true}));
    EXPECT_EQ(shown.at("userPassword"), "omber");
    EXPECT_EQ(shown.at("globalPassword"), "tarnfelk");
    EXPECT_EQ(shown.at("wifiPassword"), "wifipass");
    EXPECT_EQ(shown.at("timeServer2Key"), "secret");
}

TEST(RecordFormat, ValuesOutsideTheListsShowTheirCode) {
    protocol::SettingsFrame frame{};
    const settings::ClockSettings s(frame);
    s.setBrightness(6);
    s.setHumitureUnitByte(7);  // any value but 1 reads as Fahrenheit
    s.setTemperature(70.25f);
    s.setTimeZoneBytes({0x85, 0});
    wifi::WifiSettings(frame).setCipherCode(9);
    const auto f = AsMap(DescribeClockSettings(frame, {}));
    EXPECT_EQ(f.at("brightness"), "(code 6)");
    EXPECT_EQ(f.at("humitureUnit"), "\u2109");
    EXPECT_EQ(f.at("temperature"), "70.2\u2109");
    EXPECT_EQ(f.at("timeZone"), "UTC -5 ");
    EXPECT_EQ(f.at("wifiCipher"), "(code 9)");
    EXPECT_EQ(f.at("daylightSaving"), "disabled");
    EXPECT_EQ(f.at("version"), "0.00");
}

TEST(RecordFormat, EarlyClock) {
    protocol::CommandFrame frame{};
    const settings::EarlyClockSettings s(frame);
    s.setCommandCode(1);
    s.setSerialNumber("E-77");
    s.setTimeFormat(12);
    s.setTimeZoneBytes({0x01, 0});
    s.setDynamicIp(true);
    s.setIpAddress(MakeIpv4(192, 0, 2, 30));
    s.setTimeServerCount(2);
    s.setTimeServerAddress(0, MakeIpv4(192, 0, 2, 5));
    s.setTimeServerAddress(1, MakeIpv4(192, 0, 2, 6));
    s.setTimeServerInUse(MakeIpv4(192, 0, 2, 6));
    s.setBrightness(2);
    const auto f = AsMap(DescribeEarlyClockSettings(frame));
    EXPECT_EQ(f.at("serialNumber"), "E-77");
    EXPECT_EQ(f.at("timeFormat"), "12");
    EXPECT_EQ(f.at("timeZone"), "UTC +1 ");
    EXPECT_EQ(f.at("ipMode"), "Dynamic IP");
    EXPECT_EQ(f.at("ipAddress"), "192.0.2.30");
    EXPECT_EQ(f.at("timeServerCount"), "2");
    EXPECT_EQ(f.at("timeServer2Address"), "192.0.2.6");
    EXPECT_EQ(f.at("timeServerInUse"), "2");
    EXPECT_EQ(f.at("brightness"), "Normal");
    EXPECT_EQ(f.at("daylightSaving"), "disabled");
    EXPECT_EQ(f.count("version"), 0u);
}

TEST(RecordFormat, TextAndJsonOutput) {
    const std::vector<Field> fields{{"address", "192.0.2.10"}, {"serialNumber", "SN\"1"}};
    std::ostringstream text;
    PrintFieldsText(text, fields);
    EXPECT_EQ(text.str(), "address       192.0.2.10\nserialNumber  SN\"1\n");
    std::ostringstream json;
    PrintFieldsJson(json, fields);
    EXPECT_EQ(json.str(), "{\"address\":\"192.0.2.10\",\"serialNumber\":\"SN\\\"1\"}\n");
}

}  // namespace
}  // namespace tavlo::cli
