#include "wifi/WifiPageModel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/ExpectBytes.h"

namespace tavlo::wifi {
namespace {

using protocol::SettingsFrame;

// "钟" (clock) in code page 936 and in UTF-8.
constexpr std::string_view kClockCp936 = "\xD6\xD3";
constexpr std::string_view kClockUtf8 = "\xE9\x92\x9F";

SettingsFrame Reply(std::string_view ssid, std::uint8_t cipher, std::uint8_t auth) {
    SettingsFrame frame{};
    settings::ClockSettings(frame).setFrameType(
        protocol::ToByte(protocol::FrameType::kReadSettings));
    const WifiSettings wifi(frame);
    wifi.setSsid(ssid);
    wifi.setCipherCode(cipher);
    wifi.setAuthenticationCode(auth);
    wifi.setPassword("clockpass");
    return frame;
}

WifiPageModel Shown(const SettingsFrame& frame) {
    WifiPageModel m;
    ResetWifiPage(m);
    ShowWifiPage(m, frame);
    return m;
}

std::string Selected(const pagemodel::ListControl& list) {
    return list.selection() ? std::string(list.items()[*list.selection()]) : "(none)";
}

TEST(ResetWifiPage, EmptiesAndLocksThePage) {
    WifiPageModel m = Shown(Reply("clocks", 1, 3));
    ClickWifiPattern(m);
    m.password.text = "secret";
    m.scanCells[5][5] = "x";
    m.wifiPattern.enabled = false;
    ResetWifiPage(m);
    EXPECT_EQ(m, WifiPageModel{});
}

TEST(ShowWifiPage, SelectsCipherAndAuthenticationByTheirEntries) {
    const struct {
        std::uint8_t cipher;
        std::uint8_t auth;
        const char* cipherEntry;
        const char* authEntry;
    } cases[] = {
        {0, 0, "OPEN", "NONE"}, {1, 3, "AES", "WPA2"},      {2, 5, "TKIP", "WPA2PSK"},
        {3, 1, "WEP", "WEP"},   {4, 6, "(none)", "(none)"}, {255, 2, "(none)", "WPA"},
    };
    for (const auto& c : cases) {
        const WifiPageModel m = Shown(Reply("clocks", c.cipher, c.auth));
        EXPECT_EQ(Selected(m.cipher), c.cipherEntry) << int(c.cipher);
        EXPECT_EQ(Selected(m.auth), c.authEntry) << int(c.auth);
        EXPECT_FALSE(m.cipher.enabled() || m.auth.enabled() || m.ssid.enabled);
        EXPECT_EQ(m.ssid.text, "clocks");
        EXPECT_EQ(m.password.text, "");  // never shown
    }
}

TEST(ShowWifiPage, ShowsAFullSsidAndIgnoresOtherFrames) {
    const std::string ssid = std::string(kClockCp936) + std::string(30, 's');
    EXPECT_EQ(Shown(Reply(ssid, 0, 0)).ssid.text, std::string(kClockUtf8) + std::string(30, 's'));

    SettingsFrame discovery = Reply("clocks", 1, 1);
    settings::ClockSettings(discovery).setFrameType(
        protocol::ToByte(protocol::FrameType::kDiscovery));
    WifiPageModel m;
    ClickWifiPattern(m);
    m.ssid.text = "typed";
    const WifiPageModel before = m;
    ShowWifiPage(m, discovery);
    EXPECT_EQ(m, before);
}

TEST(OnWifiPattern, UnlocksTheAssociationAndLocksTheScanArea) {
    WifiPageModel m = Shown(Reply("clocks", 1, 3));
    m.rowButtons[2] = {true, true};  // as if a scan row had been chosen
    EXPECT_TRUE(ClickWifiPattern(m));
    EXPECT_TRUE(m.wifiPattern.checked);
    EXPECT_TRUE(m.ssid.enabled && m.cipher.enabled() && m.auth.enabled());
    EXPECT_EQ(m.wiredPattern, (pagemodel::ButtonControl{false, false}));
    for (const pagemodel::ButtonControl& button : m.rowButtons) {
        EXPECT_EQ(button, (pagemodel::ButtonControl{false, false}));
    }
    EXPECT_EQ(Selected(m.cipher), "AES");  // the shown association stays

    m.wifiPattern = {false, false};
    EXPECT_FALSE(ClickWifiPattern(m));
    EXPECT_FALSE(m.wifiPattern.checked);
}

// What the operator leaves alone goes back to the clock as its read reply carried it: without
// "Wifi_Pattern" the SSID, its length byte and both codes (one outside the lists too), with an
// empty password box the password and its length byte, and so does a box still holding the
// clock's own text. A page that shows no clock sends what it holds.
TEST(StoreWifiPage, KeepsTheClockValuesTheOperatorLeftAlone) {
    SettingsFrame reply = Reply("clocks", 9, 3);
    WifiSettings(reply).setSsidLength(7);  // the length bytes as the clock keeps them
    WifiSettings(reply).setPasswordLength(10);
    const struct {
        const char* name;
        std::function<void(WifiPageModel&)> edit;
        std::string ssid;
        std::uint8_t ssidLength;
        std::uint8_t cipher;
        std::uint8_t auth;
        std::string password;
        std::uint8_t passwordLength;
    } cases[] = {
        {"nothing set", [](WifiPageModel&) {}, "clocks", 7, 9, 3, "clockpass", 10},
        {"password only", [](WifiPageModel& m) { m.password.text = "pa55"; }, "clocks", 7, 9, 3,
         "pa55", 4},
        {"Wifi_Pattern and SSID",
         [](WifiPageModel& m) {
             ClickWifiPattern(m);
             m.ssid.text = "hall";
         },
         "hall", 4, 9, 3, "clockpass", 10},
        {"Wifi_Pattern, cipher, the SSID and password as the clock has them",
         [](WifiPageModel& m) {
             ClickWifiPattern(m);
             m.cipher.selectExact("TKIP");
             m.password.text = "clockpass";
         },
         "clocks", 7, 2, 3, "clockpass", 10},
        {"everything",
         [](WifiPageModel& m) {
             ClickWifiPattern(m);
             m.ssid.text = "hall";
             m.cipher.selectExact("TKIP");
             m.auth.selectExact("NONE");
             m.password.text = "x";
         },
         "hall", 4, 2, 0, "x", 1},
        {"no clock shown",
         [](WifiPageModel& m) {
             ResetWifiPage(m);
             m.password.text = "pa55";
         },
         "", 0, 0, 0, "pa55", 4},
    };
    for (const auto& c : cases) {
        WifiPageModel m = Shown(reply);
        c.edit(m);
        SettingsFrame frame{};
        StoreWifiPage(m, frame);
        const ConstWifiSettings wifi(frame);
        EXPECT_EQ(frame[settings::kFrameTypeOffset], kWifiWriteFrameType) << c.name;
        EXPECT_EQ(wifi.ssid(), c.ssid) << c.name;
        EXPECT_EQ(wifi.ssidLength(), c.ssidLength) << c.name;
        EXPECT_EQ(wifi.cipherCode(), c.cipher) << c.name;
        EXPECT_EQ(wifi.authenticationCode(), c.auth) << c.name;
        EXPECT_EQ(wifi.password(), c.password) << c.name;
        EXPECT_EQ(wifi.passwordLength(), c.passwordLength) << c.name;
    }
}

TEST(NamesNetworkForEveryClock, NeedsWifiPatternAnSsidAndAPasswordUnlessOpen) {
    const struct {
        bool pattern;
        const char* ssid;
        const char* auth;
        const char* password;
        bool names;
    } cases[] = {
        {false, "hall", "WPA2", "pw", false}, {true, "hall", "WPA2", "pw", true},
        {true, "", "WPA2", "pw", false},      {true, "hall", "WPA2", "", false},
        {true, "hall", "NONE", "", true},
    };
    for (const auto& c : cases) {
        WifiPageModel m = Shown(Reply("clocks", 1, 3));
        if (c.pattern) {
            ClickWifiPattern(m);
        }
        m.ssid.text = c.ssid;
        m.auth.selectExact(c.auth);
        m.password.text = c.password;
        EXPECT_EQ(NamesNetworkForEveryClock(m), c.names) << c.ssid << c.auth << c.password;
    }
}

TEST(StoreWifiPage, SendsTheEditedAssociationByEntryText) {
    WifiPageModel m = Shown(Reply("clocks", 1, 3));
    ClickWifiPattern(m);
    m.ssid.text = std::string(kClockUtf8) + std::string(31, 'x');  // 33 bytes: the clock is cut
    m.cipher.selectExact("TKIP");
    m.password.text = std::string(20, 'p');
    SettingsFrame frame{};
    StoreWifiPage(m, frame);
    const ConstWifiSettings wifi(frame);
    EXPECT_EQ(wifi.ssid(), std::string(kClockCp936) + std::string(30, 'x'));
    EXPECT_EQ(wifi.ssidLength(), 32);
    EXPECT_EQ(wifi.cipherCode(), 2);
    EXPECT_EQ(wifi.authenticationCode(), 3);  // "WPA2", not the fourth entry's position
    EXPECT_EQ(wifi.password(), std::string(20, 'p'));
    EXPECT_EQ(wifi.passwordLength(), 20);

    // A list without selection leaves its byte as the caller left it when no clock is shown.
    m.auth.clearSelection();
    m.read.reset();
    frame.fill(0);
    frame[kAuthenticationCodeOffset] = 9;
    StoreWifiPage(m, frame);
    EXPECT_EQ(frame[kAuthenticationCodeOffset], 9);
}

}  // namespace
}  // namespace tavlo::wifi
