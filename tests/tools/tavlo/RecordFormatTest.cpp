// Printing a read reply: which fields, secrets left out unless asked for, text and JSON forms.
#include "tools/tavlo/RecordFormat.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/Ipv4.h"
#include "protocol/ProtocolState.h"
#include "settings/ClockSettings.h"
#include "wifi/WifiSettings.h"

namespace tavlo::cli {
namespace {

bool Has(const std::vector<FieldText>& fields, const std::string& name, const std::string& value) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const FieldText& f) { return f.name == name && f.value == value; });
}

TEST(RecordFormat, CurrentClockReplyCarriesTheRecordAndTheWifiFields) {
    protocol::SettingsFrame frame{};
    const settings::ClockSettings s(frame);
    s.setVersion(329);
    s.setSerialNumber("SN0042");
    s.setIpAddress(platform::MakeIpv4(192, 0, 2, 10));
    s.setUserPassword("omber");
    const wifi::WifiSettings w(frame);
    w.setSsid("ClockNet");
    w.setPassword("wifipass");
    const auto fields = ClockReplyFields(frame);
    EXPECT_TRUE(Has(fields, "version", "3.29"));
    EXPECT_TRUE(Has(fields, "serialNumber", "SN0042"));
    EXPECT_TRUE(Has(fields, "ipAddress", "192.0.2.10"));
    EXPECT_TRUE(Has(fields, "ssid", "ClockNet"));

    std::ostringstream hidden;
    PrintFieldsJson(hidden, fields, false);
    EXPECT_EQ(hidden.str().find("omber"), std::string::npos);
    EXPECT_EQ(hidden.str().find("wifipass"), std::string::npos);
    EXPECT_NE(hidden.str().find("\"ssid\":\"ClockNet\""), std::string::npos);
    std::ostringstream shown;
    PrintFieldsJson(shown, fields, true);
    EXPECT_NE(shown.str().find("\"userPassword\":\"omber\""), std::string::npos);
    EXPECT_NE(shown.str().find("\"wifiPassword\":\"wifipass\""), std::string::npos);
}

TEST(RecordFormat, TextAndJsonForms) {
    const std::vector<FieldText> fields{{"address", 0, "192.0.2.10"},
                                        {"serialNumber", 4, "SN\"1\x1b"},
                                        {"userPassword", 152, "omber", true}};
    std::ostringstream text;
    PrintFieldsText(text, fields, false);
    EXPECT_EQ(text.str(), "address       192.0.2.10\nserialNumber  SN\"1?\n");
    std::ostringstream json;
    PrintFieldsJson(json, fields, false);
    EXPECT_EQ(json.str(), "{\"address\":\"192.0.2.10\",\"serialNumber\":\"SN\\\"1\\u001b\"}\n");
    std::ostringstream all;
    PrintFieldsText(all, fields, true);
    EXPECT_EQ(all.str(), "address       192.0.2.10\nserialNumber  SN\"1?\nuserPassword  omber\n");
}

TEST(RecordFormat, EarlyClockReply) {
    protocol::CommandFrame frame{};
    const settings::EarlyClockSettings s(frame);
    s.setSerialNumber("E-77");
    s.setTimeFormat(12);
    const auto fields = EarlyReplyFields(frame);
    EXPECT_TRUE(Has(fields, "serialNumber", "E-77"));
    EXPECT_TRUE(Has(fields, "timeFormat", "12"));
}

}  // namespace
}  // namespace tavlo::cli
