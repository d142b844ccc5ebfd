#include "wifi/WifiSettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "pagemodel/PageControls.h"
#include "tests/support/ExpectBytes.h"

namespace tavlo::wifi {
namespace {

using protocol::SettingsFrame;
using Bytes = std::vector<std::uint8_t>;

// Bytes expected at their offsets; every other byte of the frame must still be zero.
using Expected = std::vector<test::ByteRun>;

Bytes Padded(std::string_view text, std::size_t width) {
    Bytes bytes(text.begin(), text.end());
    bytes.resize(width, 0);
    return bytes;
}

const std::string k32 = "Clock-Network-Floor-3-East-Wing!";
const std::string k20 = "pa55word-0123456789!";

struct FieldCase {
    const char* name;
    std::function<void(const WifiSettings&)> write;
    Expected expected;
    std::function<bool(const ConstWifiSettings&)> readsBack;
};

class WifiField : public testing::TestWithParam<FieldCase> {};

TEST_P(WifiField, IsWrittenAtItsOffsetAndReadBack) {
    const FieldCase& field = GetParam();
    SettingsFrame frame{};
    field.write(WifiSettings(frame));
    test::ExpectOnlyBytes(frame, field.expected);
    EXPECT_TRUE(field.readsBack(ConstWifiSettings(frame)));
}

const FieldCase kFieldCases[] = {
    {"ssid",
     [](auto& w) { w.setSsid("office"); },
     {{288, Padded("office", 32)}, {321, {6}}},
     [](auto& w) { return w.ssid() == "office" && w.ssidLength() == 6; }},
    {"ssidFull",
     [](auto& w) { w.setSsid(k32); },
     {{288, Padded(k32, 32)}, {321, {32}}},
     [](auto& w) { return w.ssid() == k32 && w.ssidLength() == 32; }},
    {"ssidCut",
     [](auto& w) { w.setSsid(k32 + "tail"); },
     {{288, Padded(k32, 32)}, {321, {32}}},
     [](auto& w) { return w.ssid() == k32; }},
    {"cipher",
     [](auto& w) { w.setCipherCode(1); },
     {{324, {1}}},
     [](auto& w) { return w.cipherCode() == 1; }},
    {"authentication",
     [](auto& w) { w.setAuthenticationCode(5); },
     {{325, {5}}},
     [](auto& w) { return w.authenticationCode() == 5; }},
    {"password",
     [](auto& w) { w.setPassword("hunter2"); },
     {{326, Padded("hunter2", 20)}, {346, {7}}},
     [](auto& w) { return w.password() == "hunter2" && w.passwordLength() == 7; }},
    {"passwordFull",
     [](auto& w) { w.setPassword(k20 + "xyz"); },
     {{326, Padded(k20, 20)}, {346, {20}}},
     [](auto& w) { return w.password() == k20 && w.passwordLength() == 20; }},
    {"passwordEmpty",
     [](auto& w) { w.setPassword(""); },
     {},
     [](auto& w) { return w.password().empty() && w.passwordLength() == 0; }},
};

INSTANTIATE_TEST_SUITE_P(EveryField, WifiField, testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WifiSettings, ReadersIgnoreTheLengthBytesAndStayInTheirFields) {
    SettingsFrame frame{};
    frame.fill('W');
    frame[kSsidLengthOffset] = 255;
    frame[kPasswordLengthOffset] = 255;
    const ConstWifiSettings wifi(frame);
    EXPECT_EQ(wifi.ssid(), std::string(32, 'W'));
    EXPECT_EQ(wifi.password(), std::string(20, 'W'));
}

TEST(WifiCodes, CipherCodesDoNotFollowTheListOrder) {
    EXPECT_EQ(CipherEntry(0), "OPEN");
    EXPECT_EQ(CipherEntry(1), "AES");
    EXPECT_EQ(CipherEntry(2), "TKIP");
    EXPECT_EQ(CipherEntry(3), "WEP");
    EXPECT_EQ(CipherEntry(4), std::nullopt);
    EXPECT_EQ(CipherEntry(255), std::nullopt);
    // Code 1 selects "AES", the last list entry, not the list's second entry "WEP".
    EXPECT_EQ(pagemodel::FindItemByPrefix(kCipherEntries, *CipherEntry(1)), 3u);
}

TEST(WifiCodes, AuthenticationCodesFollowTheListOrder) {
    for (std::uint8_t code = 0; code < kAuthenticationEntries.size(); ++code) {
        EXPECT_EQ(AuthenticationEntry(code), kAuthenticationEntries[code]);
        EXPECT_EQ(pagemodel::FindItemByPrefix(kAuthenticationEntries, *AuthenticationEntry(code)),
                  code);
    }
    EXPECT_EQ(AuthenticationEntry(6), std::nullopt);
}

TEST(WifiCodes, EntriesToCodesAreExact) {
    for (const auto& [code, entry] : kCipherCodes) {
        EXPECT_EQ(CipherCode(entry), code);
    }
    for (const auto& [code, entry] : kAuthenticationCodes) {
        EXPECT_EQ(AuthenticationCode(entry), code);
    }
    EXPECT_EQ(CipherCode("aes"), std::nullopt);
    EXPECT_EQ(CipherCode("AES "), std::nullopt);
    EXPECT_EQ(CipherCode(""), std::nullopt);
    EXPECT_EQ(AuthenticationCode("WPA2P"), std::nullopt);
    // Every list entry has a code.
    for (const auto entry : kCipherEntries) {
        EXPECT_TRUE(CipherCode(entry).has_value()) << entry;
    }
}

TEST(WifiRequest, WithoutTheAssociationOnlyThePasswordIsSent) {
    SettingsFrame frame{};
    WifiRequest request;
    request.password = "hunter2";
    request.ssid = "not sent";
    request.cipherEntry = "AES";
    request.authenticationEntry = "WPA2PSK";
    StoreWifiRequest(frame, request);
    test::ExpectOnlyBytes(frame, {{46, {0x01, 40}}, {326, Padded("hunter2", 20)}, {346, {7}}});
}

TEST(WifiRequest, EmptyPasswordSendsZeros) {
    SettingsFrame frame{};
    StoreWifiRequest(frame, {});
    test::ExpectOnlyBytes(frame, {{46, {0x01, 40}}});
}

TEST(WifiRequest, EditedAssociationSendsNameAndCodes) {
    SettingsFrame frame{};
    WifiRequest request;
    request.password = k20;
    request.associationEdited = true;
    request.ssid = k32;
    request.cipherEntry = "TKIP";
    request.authenticationEntry = "WPA2";
    StoreWifiRequest(frame, request);
    test::ExpectOnlyBytes(frame, {{46, {0x01, 40}},
                                  {288, Padded(k32, 32)},
                                  {321, {32}},
                                  {324, {2, 3}},
                                  {326, Padded(k20, 20)},
                                  {346, {20}}});
}

TEST(WifiRequest, NoSelectionKeepsTheCodeBytes) {
    SettingsFrame frame{};
    frame[kCipherCodeOffset] = 9;
    frame[kAuthenticationCodeOffset] = 8;
    WifiRequest request;
    request.associationEdited = true;
    request.ssid = "x";
    StoreWifiRequest(frame, request);
    EXPECT_EQ(frame[kCipherCodeOffset], 9);
    EXPECT_EQ(frame[kAuthenticationCodeOffset], 8);
    EXPECT_EQ(frame[kSsidLengthOffset], 1);
}

TEST(WifiRequest, KeepsTheOtherFlagBits) {
    SettingsFrame frame{};
    frame[settings::kFlagsOffset] = 0x10;  // the batch bit, set by the caller
    StoreWifiRequest(frame, {});
    EXPECT_EQ(frame[settings::kFlagsOffset], 0x11);
}

}  // namespace
}  // namespace tavlo::wifi

namespace tavlo::wifi {
namespace {

TEST(WifiFieldText, CodesAsEntriesAndThePasswordSecret) {
    SettingsFrame frame{};
    const WifiSettings wifi(frame);
    wifi.setSsid("office");
    wifi.setCipherCode(1);
    wifi.setAuthenticationCode(9);
    wifi.setPassword("hunter2");
    const auto fields = DescribeWifiSettings(wifi);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], (settings::FieldText{"ssid", 288, "office"}));
    EXPECT_EQ(fields[1], (settings::FieldText{"ssidLength", 321, "6"}));
    EXPECT_EQ(fields[2], (settings::FieldText{"cipher", 324, "AES"}));
    EXPECT_EQ(fields[3], (settings::FieldText{"authentication", 325, "unknown (9)"}));
    EXPECT_EQ(fields[4], (settings::FieldText{"wifiPassword", 326, "hunter2", true}));
    EXPECT_EQ(fields[5], (settings::FieldText{"wifiPasswordLength", 346, "7"}));
}

}  // namespace
}  // namespace tavlo::wifi
