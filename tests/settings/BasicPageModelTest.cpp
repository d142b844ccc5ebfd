#include "settings/BasicPageModel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/Ipv4.h"

namespace tavlo::settings {
namespace {

using protocol::ClockFamily;
using protocol::CommandFrame;
using protocol::SettingsFrame;

platform::Ipv4 Address(std::string_view dotted) {
    return platform::ParseIpv4(dotted);
}

// "钟" (clock) in code page 936 and in UTF-8.
constexpr std::string_view kClockCp936 = "\xD6\xD3";
constexpr std::string_view kClockUtf8 = "\xE9\x92\x9F";

// A wired clock's read reply with a little of everything, changed by `edit`.
SettingsFrame Reply(const std::function<void(const ClockSettings&)>& edit = {}) {
    SettingsFrame frame{};
    const ClockSettings s(frame);
    s.setFrameType(protocol::ToByte(protocol::FrameType::kReadSettings));
    s.setSerialNumber("SN0042");
    s.setVersion(329);
    s.setIpAddress(Address("198.18.0.10"));
    s.setSubnetMask(Address("255.255.255.0"));
    s.setGateway(Address("198.18.0.1"));
    s.setDnsServer(Address("198.18.0.2"));
    s.setTwentyFourHourDisplay(true);
    s.setBrightness(static_cast<std::uint8_t>(Brightness::kBright));
    s.setTimeZoneBytes({0x05, 30});
    s.setTimeServerRow(0, {Address("198.18.0.3"), 123, 7, "key1"});
    s.setCountDownStart({23, 59, 45});
    s.setCountDownDuration({9, 30, 0});
    s.setEnergySavingStartHour(22);
    s.setEnergySavingEndHour(6);
    s.setEnergySavingMode(1);
    s.setDisplayText("Lobby");
    s.setTextDisplayMode(3);
    s.setUserPassword("secret1");
    s.setGlobalPassword("secret2");
    if (edit) {
        edit(s);
    }
    return frame;
}

// The page after a read, as the window does it: cleared, then shown.
BasicPageModel Shown(SettingsFrame frame, ClockFamily family = ClockFamily::kWired) {
    BasicPageModel m;
    ClearBasicPage(m);
    ShowClockSettings(m, frame, family);
    return m;
}

BasicPageModel Shown(const std::function<void(const ClockSettings&)>& edit) {
    return Shown(Reply(edit));
}

std::string Selected(const ListControl& list) {
    return list.selection() ? std::string(list.items()[*list.selection()]) : "(none)";
}

// A page that stores as it is: a static address, one time server.
BasicPageModel Storable() {
    return Shown(Reply());
}

// --- Controls ---

TEST(ListControl, SelectsByPrefixIgnoringCaseByExactTextAndByIndex) {
    ListControl zones(kTimeZoneLabels);
    EXPECT_TRUE(zones.selectByPrefix("utc +10"));
    EXPECT_EQ(zones.text(), "UTC +10");
    EXPECT_FALSE(zones.selectByPrefix("UTC -0:30"));
    EXPECT_FALSE(zones.selection());
    EXPECT_TRUE(zones.selectExact("UTC +5:30"));
    EXPECT_FALSE(zones.selectExact("UTC +5:3"));  // no prefix, and the selection stays
    EXPECT_EQ(zones.text(), "UTC +5:30");
    EXPECT_FALSE(zones.selectIndex(37));
    EXPECT_EQ(zones.text(), "");

    ListControl seconds(NumberItems(2, 5), true);
    EXPECT_TRUE(seconds.setEditText("4"));
    EXPECT_EQ(seconds.selection(), 2u);
    EXPECT_TRUE(seconds.setEditText("7"));
    EXPECT_FALSE(seconds.selection());
    EXPECT_EQ(seconds.text(), "7");
    EXPECT_FALSE(zones.setEditText("UTC  0"));  // not editable
}

TEST(TextControl, AcceptsWhatTheOperatorCouldType) {
    const BasicPageModel m;
    const TimeServerRowModel& row = m.servers[0];
    EXPECT_TRUE(m.displayText.accepts(std::string(32, 'x')));
    EXPECT_FALSE(m.displayText.accepts(std::string(33, 'x')));
    std::string sixteenClocks;
    for (int i = 0; i < 16; ++i) {
        sixteenClocks += kClockUtf8;
    }
    EXPECT_TRUE(m.displayText.accepts(sixteenClocks));  // 32 bytes in code page 936
    EXPECT_FALSE(m.displayText.accepts(sixteenClocks + "x"));
    EXPECT_FALSE(m.displayText.accepts("\xF0\x9F\x98\x80"));  // not in the code page
    // A NUL would end the text at the clock: "A" would arrive, with a length byte of 3.
    EXPECT_FALSE(m.userPassword.accepts(std::string("A\0B", 3)));
    EXPECT_TRUE(row.port.accepts("70000"));  // refused by the store, not the box
    EXPECT_FALSE(row.port.accepts("123456"));
    EXPECT_FALSE(row.keyId.accepts("12a"));
    EXPECT_TRUE(row.address.accepts(""));
    EXPECT_TRUE(row.address.accepts("198.18.0.255"));
    EXPECT_FALSE(row.address.accepts("198.18.0.256"));
    EXPECT_FALSE(row.address.accepts("198.18.0"));
    EXPECT_FALSE(row.address.accepts("198.18.0.1.2"));
    EXPECT_FALSE(m.version.accepts("3.29"));
}

TEST(IsHostAddress, TakesOnlyAddressesAClockCanHave) {
    for (const char* bad :
         {"127.0.0.1", "224.0.0.1", "10.0.0.0", "0.1.2.3", "0.0.0.0", "255.255.255.255"}) {
        EXPECT_FALSE(IsHostAddress(Address(bad))) << bad;
    }
    for (const char* good : {"10.0.0.1", "223.255.255.254", "198.18.0.255"}) {
        EXPECT_TRUE(IsHostAddress(Address(good))) << good;
    }
}

// --- ClearBasicPage ---

TEST(ClearBasicPage, EmptiesEveryGroupButTheDisplayDurations) {
    BasicPageModel m = Shown(Reply([](const ClockSettings& s) {
        s.setHumitureUnitByte(1);
        s.setTimeDisplayDuration(5);
        s.setDstStart({3, 0x67, 2});
        s.setDstEnd({10, 0x67, 3});
        s.setTimeServerInUse(1);
    }));
    ClearBasicPage(m);

    BasicPageModel expected;  // as created, then what the clear changes
    expected.ipAddress.enabled = expected.subnetMask.enabled = false;
    expected.gateway.enabled = expected.dnsServer.enabled = false;
    expected.timeServerIp.checked = true;
    expected.energySavingFrom.setEnabled(false);
    expected.energySavingTo.setEnabled(false);
    expected.timeDuration = m.timeDuration;
    expected.humidityDuration = m.humidityDuration;
    expected.temperatureDuration = m.temperatureDuration;
    EXPECT_EQ(m, expected);
    EXPECT_EQ(Selected(m.timeDuration), "5");
    EXPECT_TRUE(m.timeDuration.enabled());
}

// --- ShowClockSettings ---

TEST(ShowClockSettings, OnlyReadRepliesChangeThePage) {
    for (const auto type : {protocol::FrameType::kDiscovery, protocol::FrameType::kWriteBasic}) {
        SettingsFrame frame = Reply([&](const ClockSettings& s) { s.setFrameType(ToByte(type)); });
        BasicPageModel m;
        ClearBasicPage(m);
        const BasicPageModel before = m;
        ShowClockSettings(m, frame, ClockFamily::kWired);
        EXPECT_EQ(m, before);
    }
}

TEST(ShowClockSettings, FamilyDecidesWhetherStaticIpCanBeUsed) {
    const SettingsFrame dynamic = Reply([](const ClockSettings& s) { s.setDynamicIp(true); });
    EXPECT_EQ(Shown(dynamic, ClockFamily::kWifi).staticIp, (ButtonControl{false, false}));
    BasicPageModel m = Shown(dynamic, ClockFamily::kWifi);
    SettingsFrame again = dynamic;
    ShowClockSettings(m, again, ClockFamily::kNone);  // left alone
    EXPECT_FALSE(m.staticIp.enabled);
    ShowClockSettings(m, again, ClockFamily::kWired);
    EXPECT_EQ(m.staticIp, (ButtonControl{false, true}));
    // A static reply checks it all the same, enabled or not.
    EXPECT_EQ(Shown(Reply(), ClockFamily::kWifi).staticIp, (ButtonControl{true, false}));
}

TEST(ShowClockSettings, ShowsVersionSerialNumberAndTimeFormat) {
    const BasicPageModel m = Shown(Reply());
    EXPECT_EQ(m.version.text, "3.29");
    EXPECT_EQ(m.serialNumber.text, "SN0042");
    EXPECT_TRUE(m.format24.checked);
    EXPECT_FALSE(m.format12.checked);

    const BasicPageModel other = Shown([](const ClockSettings& s) {
        s.setVersion(5);
        s.setSerialNumber(std::string(kClockCp936) + "0123456789ABCDEFGH");  // fills the field
        s.setTwentyFourHourDisplay(false);
    });
    EXPECT_EQ(other.version.text, "0.05");
    EXPECT_EQ(other.serialNumber.text, std::string(kClockUtf8) + "0123456789ABCDEFGH");
    EXPECT_TRUE(other.format12.checked);
    EXPECT_FALSE(other.format24.checked);
}

TEST(ShowClockSettings, SelectsTheTimeZoneByItsLabel) {
    const struct {
        TimeZoneBytes bytes;
        const char* selected;
    } cases[] = {
        {{0x85, 0}, "UTC -5 "}, {{0x89, 30}, "UTC -9:30"}, {{0x0C, 45}, "UTC +12:45"},
        {{0x0A, 0}, "UTC +10"}, {{0x00, 0}, "UTC  0"},     {{0x80, 0}, "UTC  0"},
        {{0x00, 30}, "(none)"}, {{0x0F, 0}, "(none)"},     {{0x05, 20}, "(none)"},
    };
    for (const auto& c : cases) {
        const BasicPageModel m =
            Shown([&](const ClockSettings& s) { s.setTimeZoneBytes(c.bytes); });
        EXPECT_EQ(Selected(m.timeZone), c.selected)
            << int(c.bytes.hours) << " " << int(c.bytes.minutes);
    }
}

TEST(ShowClockSettings, ShowsTheClockAddressesLockedForDynamicIp) {
    const BasicPageModel fixed = Shown(Reply([](const ClockSettings& s) { s.setDnsServer(0); }));
    EXPECT_TRUE(fixed.staticIp.checked);
    EXPECT_FALSE(fixed.dynamicIp.checked);
    EXPECT_EQ(fixed.ipAddress, (TextControl{"198.18.0.10", true, TextKind::kAddress}));
    EXPECT_EQ(fixed.subnetMask.text, "255.255.255.0");
    EXPECT_EQ(fixed.gateway.text, "198.18.0.1");
    EXPECT_EQ(fixed.dnsServer, (TextControl{"0.0.0.0", true, TextKind::kAddress}));

    const BasicPageModel dynamic = Shown([](const ClockSettings& s) { s.setDynamicIp(true); });
    EXPECT_TRUE(dynamic.dynamicIp.checked);
    EXPECT_FALSE(dynamic.staticIp.checked);
    EXPECT_EQ(dynamic.ipAddress, (TextControl{"198.18.0.10", false, TextKind::kAddress}));
    EXPECT_FALSE(dynamic.dnsServer.enabled);
}

TEST(ShowClockSettings, MarksTheServerInUse) {
    const auto markers = [](const BasicPageModel& m) {
        std::string shown;
        for (const TimeServerRowModel& row : m.servers) {
            shown += row.marker.text.empty() ? "." : row.marker.text;
        }
        return shown;
    };
    const auto marked = [&](std::uint8_t byte53) {
        BasicPageModel m;
        for (TimeServerRowModel& row : m.servers) {
            row.marker.text = "*";  // what an earlier clock left
        }
        SettingsFrame frame = Reply(
            [&](const ClockSettings& s) { s.mutableBytes()[kTimeServerInUseOffset] = byte53; });
        ShowClockSettings(m, frame, ClockFamily::kWired);
        return markers(m);
    };
    EXPECT_EQ(markers(Shown([](const ClockSettings& s) { s.setTimeServerInUse(3); })), "..*..");
    EXPECT_EQ(marked(0x00), ".....");
    EXPECT_EQ(marked(0x0F), ".....");  // the low four bits mean nothing
    EXPECT_EQ(marked(0x60), "*****");  // no such row: the markers stay as they were
}

TEST(ShowClockSettings, ShowsTimeServersByAddress) {
    const BasicPageModel m = Shown([](const ClockSettings& s) {
        s.setTimeServerRow(2, {Address("198.18.0.4"), 0, 0, "unused"});
        s.setTimeServerRow(4, {0, 999, 9, "ignored"});  // no address: nothing shown
    });
    EXPECT_TRUE(m.timeServerIp.checked);
    EXPECT_FALSE(m.domain.checked);
    const TimeServerRowModel& first = m.servers[0];
    EXPECT_EQ(first.address.text, "198.18.0.3");
    EXPECT_EQ(first.port.text, "123");
    EXPECT_EQ(first.keyId.text, "7");
    EXPECT_EQ(first.key.text, "key1");
    EXPECT_EQ(m.servers[2].address.text, "198.18.0.4");
    EXPECT_EQ(m.servers[2].port.text, "0");
    EXPECT_EQ(m.servers[2].keyId.text, "");  // key ID 0: no key shown
    EXPECT_EQ(m.servers[2].key.text, "");
    for (const TimeServerRowModel& row : {m.servers[1], m.servers[4]}) {
        EXPECT_EQ(row.address.text, "");
        EXPECT_EQ(row.port.text, "");
        EXPECT_EQ(row.keyId.text, "");
    }
    for (const TimeServerRowModel& row : m.servers) {
        EXPECT_TRUE(row.address.enabled && row.port.enabled && row.keyId.enabled &&
                    row.key.enabled);
        EXPECT_FALSE(row.domain.enabled);
    }
}

TEST(ShowClockSettings, ShowsTimeServersByName) {
    const BasicPageModel m = Shown([](const ClockSettings& s) {
        s.setTimeServerRow(0, {0, 0, 0, ""});
        s.setTimeServersByNameByte(kTimeServersByNameMarker);
        s.setDomainName(1, "ntp.example");
        s.setTimeServerRow(1, {Address("198.18.0.5"), 123, 0, "k"});
    });
    EXPECT_FALSE(m.timeServerIp.checked);
    EXPECT_TRUE(m.domain.checked);
    const TimeServerRowModel& first = m.servers[0];
    EXPECT_EQ(first.domain.text, "");
    EXPECT_TRUE(first.domain.enabled && first.port.enabled && first.keyId.enabled &&
                first.key.enabled);
    const TimeServerRowModel& second = m.servers[1];
    EXPECT_EQ(second.domain.text, "ntp.example");
    EXPECT_EQ(second.port.text, "123");
    EXPECT_EQ(second.keyId.text, "0");  // shown also when 0
    EXPECT_EQ(second.key.text, "k");
    EXPECT_EQ(second.address.text, "");  // addresses are not used by name
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        EXPECT_FALSE(m.servers[i].address.enabled);
        EXPECT_EQ(m.servers[i].domain.enabled, i < kDomainRows);
        EXPECT_EQ(m.servers[i].port.enabled, i < kDomainRows);
    }
}

TEST(ShowClockSettings, SelectsCountDownAndEnergySavingByText) {
    const BasicPageModel m = Shown(Reply());
    EXPECT_EQ(Selected(m.countDownStartHour), "23");
    EXPECT_EQ(Selected(m.countDownStartMinute), "59");
    EXPECT_EQ(Selected(m.countDownStartSecond), "45");
    EXPECT_EQ(Selected(m.countDownDurationHours), "9");
    EXPECT_EQ(Selected(m.countDownDurationMinutes), "30");
    EXPECT_EQ(Selected(m.countDownDurationSeconds), "0");
    EXPECT_EQ(Selected(m.energySavingFrom), "22");
    EXPECT_EQ(Selected(m.energySavingTo), "6");
    EXPECT_TRUE(m.displayClose.checked);
    EXPECT_FALSE(m.displayDim.checked);
    EXPECT_TRUE(m.countDownStartHour.enabled() && m.energySavingTo.enabled());
    EXPECT_TRUE(m.displayDim.enabled && m.displayClose.enabled);

    const BasicPageModel odd = Shown([](const ClockSettings& s) {
        s.setCountDownStart({24, 60, 5});
        s.setCountDownDuration({10, 0, 59});
        s.setEnergySavingStartHour(24);
        s.setEnergySavingMode(0);
    });
    EXPECT_EQ(Selected(odd.countDownStartHour), "(none)");
    EXPECT_EQ(Selected(odd.countDownStartMinute), "(none)");
    EXPECT_EQ(Selected(odd.countDownStartSecond), "5");
    EXPECT_EQ(Selected(odd.countDownDurationHours), "(none)");
    EXPECT_EQ(Selected(odd.countDownDurationSeconds), "59");
    EXPECT_EQ(Selected(odd.energySavingFrom), "(none)");
    EXPECT_TRUE(odd.countDownStartHour.enabled());
    EXPECT_TRUE(odd.displayDim.checked);
}

TEST(ShowClockSettings, SelectsBrightnessByNameAndKeepsTheCode) {
    const char* const names[] = {"OFF",       "Dim",    "Normal", "Bright",
                                 "Brilliant", "(none)", "(none)", "(none)"};
    for (std::uint8_t code = 0; code < 8; ++code) {
        const BasicPageModel m = Shown([&](const ClockSettings& s) { s.setBrightness(code); });
        EXPECT_EQ(Selected(m.brightness), names[code]) << int(code);
        EXPECT_EQ(m.reportedBrightness, code);
    }
}

TEST(ShowClockSettings, ShowsTheDaylightSavingRuleByPosition) {
    const BasicPageModel m = Shown([](const ClockSettings& s) {
        s.setDstStart({3, 0x67, 2});
        s.setDstEnd({10, 0x58, 0});  // weekday 8: no such day
    });
    EXPECT_TRUE(m.dstEnable.checked);
    EXPECT_EQ(Selected(m.dstStart.hour), "2");
    EXPECT_EQ(Selected(m.dstStart.week), "Last");
    EXPECT_EQ(Selected(m.dstStart.weekday), "Sun");
    EXPECT_EQ(Selected(m.dstStart.month), "Mar");
    EXPECT_EQ(Selected(m.dstEnd.hour), "0");
    EXPECT_EQ(Selected(m.dstEnd.week), "Fifth");
    EXPECT_EQ(Selected(m.dstEnd.weekday), "(none)");
    EXPECT_EQ(Selected(m.dstEnd.month), "Oct");
    for (const ListControl* list : m.dstLists()) {
        EXPECT_TRUE(list->enabled());
    }

    const BasicPageModel off = Shown(Reply());
    EXPECT_FALSE(off.dstEnable.checked);
    for (const ListControl* list : off.dstLists()) {
        EXPECT_FALSE(list->enabled());
    }
}

TEST(ShowClockSettings, ShowsTheTextDisplayAndMendsItsMode) {
    const struct {
        std::uint8_t mode;
        bool roll;
        const char* seconds;
        std::uint8_t modeAfter;
    } cases[] = {{0, true, "(none)", 0},
                 {3, false, "3", 3},
                 {5, false, "5", 5},
                 {9, false, "2", 2},
                 {1, false, "2", 2}};
    for (const auto& c : cases) {
        SettingsFrame frame = Reply([&](const ClockSettings& s) { s.setTextDisplayMode(c.mode); });
        BasicPageModel m;
        ShowClockSettings(m, frame, ClockFamily::kWired);
        EXPECT_EQ(m.roll.checked, c.roll) << int(c.mode);
        EXPECT_NE(m.alternate.checked, c.roll);
        EXPECT_TRUE(m.roll.enabled && m.alternate.enabled && m.displayText.enabled);
        EXPECT_EQ(Selected(m.alternateSeconds), c.seconds);
        EXPECT_EQ(m.alternateSeconds.enabled(), !c.roll);
        EXPECT_EQ(frame[kTextDisplayModeOffset], c.modeAfter);
    }
    const std::string text(32, 'T');
    EXPECT_EQ(Shown([&](const ClockSettings& s) { s.setDisplayText(text); }).displayText.text,
              text);
}

TEST(ShowClockSettings, ShowsHumitureInTheReportedUnit) {
    const auto humiture = [](std::uint8_t unit) {
        return Shown([=](const ClockSettings& s) {
            s.setHumitureUnitByte(unit);
            s.setTemperature(21.5F);
            s.setHumidity(45.0F);
            s.setTimeDisplayDuration(0);
            s.setTemperatureDisplayDuration(2);
            s.setHumidityDisplayDuration(15);
        });
    };
    const BasicPageModel none = humiture(0);
    EXPECT_EQ(none.temperature.text, "");
    EXPECT_FALSE(none.celsius.enabled || none.timeDuration.enabled());

    const BasicPageModel celsius = humiture(1);
    EXPECT_EQ(celsius.temperature.text, "  21.5 \u2103");
    EXPECT_EQ(celsius.humidity.text, "  45.0%");
    EXPECT_TRUE(celsius.celsius.checked && celsius.celsius.enabled && celsius.fahrenheit.enabled);
    EXPECT_FALSE(celsius.fahrenheit.checked);
    EXPECT_EQ(Selected(celsius.timeDuration), "(none)");
    EXPECT_EQ(Selected(celsius.temperatureDuration), "2");
    EXPECT_EQ(Selected(celsius.humidityDuration), "15");
    EXPECT_TRUE(celsius.timeDuration.enabled());

    for (std::uint8_t unit : {2, 7}) {
        const BasicPageModel f = humiture(unit);
        EXPECT_EQ(f.temperature.text, "21.5\u2109");
        EXPECT_TRUE(f.fahrenheit.checked);
        EXPECT_FALSE(f.celsius.checked);
    }
    EXPECT_EQ(Selected(Shown([](const ClockSettings& s) {
                           s.setHumitureUnitByte(1);
                           s.setTimeDisplayDuration(16);
                       }).timeDuration),
              "(none)");
}

TEST(ShowClockSettings, NeverShowsThePasswords) {
    const BasicPageModel m = Shown(Reply());
    EXPECT_EQ(m.userPassword, (TextControl{"", false, TextKind::kText, kPasswordMaxBytes}));
    EXPECT_EQ(m.globalPassword.text, "");
}

// --- ShowEarlyClockSettings ---

CommandFrame EarlyReply(const std::function<void(const EarlyClockSettings&)>& edit = {}) {
    CommandFrame frame{};
    const EarlyClockSettings s(frame);
    s.setCommandCode(protocol::ToByte(protocol::CommandCode::kRead));
    s.setSerialNumber("EARLY-7");
    s.setTimeFormat(12);
    s.setTimeZoneBytes({0x85, 0});
    s.setBrightness(1);
    s.setEnergySavingStartHour(23);
    s.setEnergySavingEndHour(5);
    s.setIpAddress(Address("198.18.0.20"));
    s.setSubnetMask(Address("255.255.0.0"));
    s.setGateway(Address("198.18.0.1"));
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        s.setTimeServerAddress(i, i < 2 ? Address("198.18.0.3") : 0);
    }
    s.setTimeServerInUse(Address("198.18.0.3"));
    if (edit) {
        edit(s);
    }
    return frame;
}

BasicPageModel EarlyShown(const CommandFrame& frame) {
    BasicPageModel m = Shown(Reply());  // an earlier clock's settings on the page
    ShowEarlyClockSettings(m, frame);
    return m;
}

TEST(ShowEarlyClockSettings, ClearsThePageFirstAndShowsOnlyReadReplies) {
    BasicPageModel cleared = Shown(Reply());
    ClearBasicPage(cleared);
    EXPECT_EQ(EarlyShown(EarlyReply([](const EarlyClockSettings& s) { s.setCommandCode(2); })),
              cleared);
}

TEST(ShowEarlyClockSettings, ShowsTheEarlyLayout) {
    const BasicPageModel m = EarlyShown(EarlyReply());
    EXPECT_EQ(m.serialNumber.text, "EARLY-7");
    EXPECT_EQ(m.version.text, "");
    EXPECT_TRUE(m.format12.checked && !m.format24.checked);
    EXPECT_EQ(Selected(m.timeZone), "UTC -5 ");
    EXPECT_TRUE(m.staticIp.checked && !m.dynamicIp.checked);
    EXPECT_EQ(m.ipAddress, (TextControl{"198.18.0.20", true, TextKind::kAddress}));
    EXPECT_EQ(m.dnsServer.text, "0.0.0.0");
    EXPECT_TRUE(m.timeServerIp.checked && !m.domain.checked);
    EXPECT_EQ(m.servers[2].address.text, "0.0.0.0");
    EXPECT_EQ(m.servers[1].marker.text, "*");  // the later of two rows holding the address
    EXPECT_EQ(m.servers[0].marker.text, "");
    for (const TimeServerRowModel& row : m.servers) {
        EXPECT_TRUE(row.address.enabled);
        EXPECT_FALSE(row.port.enabled || row.domain.enabled);
    }
    EXPECT_EQ(Selected(m.energySavingFrom), "23");
    EXPECT_EQ(Selected(m.energySavingTo), "5");
    EXPECT_TRUE(m.energySavingFrom.enabled());
    EXPECT_FALSE(m.displayDim.checked || m.displayClose.checked || m.displayDim.enabled);
    EXPECT_EQ(Selected(m.brightness), "Dim");
    EXPECT_FALSE(m.dstEnable.checked);
    // Count-down, text display, humiture and passwords stay as cleared.
    EXPECT_FALSE(m.countDownStartHour.selection() || m.countDownStartHour.enabled());
    EXPECT_FALSE(m.displayText.enabled || m.roll.enabled);
    EXPECT_EQ(m.temperature.text, "");
}

TEST(ShowEarlyClockSettings, EdgeValues) {
    const BasicPageModel m = EarlyShown(EarlyReply([](const EarlyClockSettings& s) {
        s.setTimeFormat(0);             // anything but 12 is 24
        s.setTimeZoneBytes({0x15, 0});  // only the low four bits are hours
        s.setDynamicIp(true);
        s.setTimeServerInUse(Address("198.18.0.9"));
        s.setEnergySavingStartHour(200);  // -56 as a signed byte
        s.setBrightness(9);
        s.setDstStart({3, 0x67, 2});
        s.setDstEnd({10, 0x67, 3});
    }));
    EXPECT_TRUE(m.format24.checked);
    EXPECT_EQ(Selected(m.timeZone), "UTC +5 ");
    EXPECT_TRUE(m.dynamicIp.checked);
    EXPECT_FALSE(m.ipAddress.enabled);
    for (const TimeServerRowModel& row : m.servers) {
        EXPECT_EQ(row.marker.text, "");
    }
    EXPECT_EQ(Selected(m.energySavingFrom), "(none)");
    EXPECT_EQ(Selected(m.brightness), "(none)");
    EXPECT_EQ(m.reportedBrightness, 9);
    EXPECT_TRUE(m.dstEnable.checked);
    EXPECT_EQ(Selected(m.dstStart.week), "Last");
    EXPECT_EQ(Selected(m.dstEnd.month), "Oct");
    EXPECT_EQ(Selected(m.dstEnd.hour), "3");

    EXPECT_EQ(Selected(EarlyShown(EarlyReply([](const EarlyClockSettings& s) {
                           s.setTimeZoneBytes({0x80, 0});
                       })).timeZone),
              "(none)");
}

// --- StoreClockSettings ---

struct Stored {
    SettingsFrame frame{};
    StoreResult result;
};

Stored Store(const BasicPageModel& m) {
    Stored out;
    out.result = StoreClockSettings(m, out.frame);
    return out;
}

TEST(StoreClockSettings, WritesBackWhatTheClockReported) {
    SettingsFrame reply = Reply([](const ClockSettings& s) {
        s.setTimeServerRow(3, {Address("198.18.0.6"), 4123, 0, ""});
        s.setDstStart({3, 0x67, 2});
        s.setDstEnd({10, 0x57, 3});
        s.setHumitureUnitByte(2);
        s.setTemperature(70.5F);
        s.setTimeDisplayDuration(4);
        s.setTemperatureDisplayDuration(5);
        s.setHumidityDisplayDuration(6);
        s.setDisplayText(std::string(kClockCp936) + "Lobby");
    });
    const Stored stored = Store(Shown(reply));
    ASSERT_FALSE(stored.result);

    // The request is the reply with type 2, the request bit, the default passwords, and
    // without the readings and the server-in-use report.
    const ClockSettings expected(reply);
    expected.setFrameType(protocol::ToByte(protocol::FrameType::kWriteBasic));
    expected.setRequestBit(true);
    expected.setUserPassword(kDefaultUserPassword);
    expected.setGlobalPassword(kDefaultGlobalPassword);
    expected.setTemperature(0);
    EXPECT_EQ(stored.frame, reply);
}

TEST(StoreClockSettings, ReadsTheTimeZoneLabel) {
    const struct {
        const char* label;
        TimeZoneBytes bytes;
    } cases[] = {{"UTC -9:30", {0x89, 30}},
                 {"UTC +5 ", {5, 0}},
                 {"UTC  0", {0, 0}},
                 {"UTC -12", {0x8C, 0}},
                 {"UTC +14", {14, 0}},
                 {"UTC +12:45", {12, 45}},
                 {"", {0, 0}}};
    for (const auto& c : cases) {
        BasicPageModel m = Storable();
        if (*c.label == '\0') {
            m.timeZone.clearSelection();
        } else {
            ASSERT_TRUE(m.timeZone.selectExact(c.label));
        }
        EXPECT_EQ(ConstClockSettings(Store(m).frame).timeZoneBytes(), c.bytes) << c.label;
    }
}

TEST(StoreClockSettings, RefusesTheFirstBadEntryInThePagesOrder) {
    using Edit = std::function<void(BasicPageModel&)>;
    const struct {
        const char* name;
        Edit edit;
        std::string_view message;
        BasicFocus focus;
    } cases[] = {
        {"IP address blank with Dynamic IP",
         [](auto& m) {
             Click(m, BasicButton::kDynamicIp);
             m.ipAddress.text = "0.0.0.0";
             m.gateway.text = "";  // later entries are not looked at
         },
         kInvalidIpMessage,
         {BasicField::kIpAddress}},
        {"IP address loopback",
         [](auto& m) { m.ipAddress.text = "127.0.0.1"; },
         kInvalidIpMessage,
         {BasicField::kIpAddress}},
        {"gateway network address",
         [](auto& m) { m.gateway.text = "10.0.0.0"; },
         kInvalidGatewayMessage,
         {BasicField::kGateway}},
        {"DNS multicast",
         [](auto& m) { m.dnsServer.text = "224.0.0.1"; },
         kInvalidDnsMessage,
         {BasicField::kDnsServer}},
        {"server row 3 malformed",
         [](auto& m) {
             m.servers[2].address.text = "0.1.2.3";
             m.servers[3].address.text = "127.0.0.1";
         },
         kInvalidTimeServerMessage,
         {BasicField::kServerAddress, 2}},
        {"no server",
         [](auto& m) { m.servers[0].address.text = ""; },
         kNoTimeServerMessage,
         {BasicField::kServerAddress, 0}},
        {"port above 65535",
         [](auto& m) {
             m.servers[0].port.text = "65536";
             m.servers[1].address.text = "0.1.2.3";  // a later row
         },
         kPortRangeMessage,
         {BasicField::kPort, 0}},
        {"key ID above 65535 in row 2",
         [](auto& m) {
             m.servers[1].address.text = "198.18.0.7";
             m.servers[1].keyId.text = "99999";
         },
         kKeyIdRangeMessage,
         {BasicField::kKeyId, 1}},
        {"no domain name",
         [](auto& m) {
             m.domain = {true, true};
             m.timeServerIp.checked = false;
         },
         kNoTimeServerNameMessage,
         {BasicField::kDomainName, 0}},
        {"port above 65535 by name",
         [](auto& m) {
             m.domain = {true, true};
             m.timeServerIp.checked = false;
             m.servers[1].domain.text = "ntp.example";
             m.servers[1].port.text = "70000";
         },
         kPortRangeMessage,
         {BasicField::kPort, 1}},
        {"daylight saving without start hour",
         [](auto& m) {
             Click(m, BasicButton::kDstEnable);
             for (ListControl* list : m.dstLists()) {
                 list->selectIndex(1);
             }
             m.dstStart.hour.clearSelection();
         },
         kDstIncompleteMessage,
         {BasicField::kUnchanged}},
    };
    for (const auto& c : cases) {
        BasicPageModel m = Storable();
        c.edit(m);
        const Stored stored = Store(m);
        ASSERT_TRUE(stored.result) << c.name;
        EXPECT_EQ(stored.result->message, c.message) << c.name;
        EXPECT_EQ(stored.result->focus, c.focus) << c.name;
    }
}

TEST(StoreClockSettings, TakesAddressesAndServersThatAreGiven) {
    BasicPageModel m = Storable();
    m.dnsServer.text = "";  // a blank DNS server is no DNS server
    m.servers[0].address.text = "0.0.0.0";
    m.servers[4].address.text = "198.18.0.8";
    m.servers[4].port.text = "65535";
    m.servers[4].keyId.text = "0";
    m.servers[4].key.text = "ignored";
    m.servers[3].port.text = "99999";  // an empty row's boxes are not read
    const Stored stored = Store(m);
    ASSERT_FALSE(stored.result);
    const ConstClockSettings s(stored.frame);
    EXPECT_EQ(s.dnsServer(), 0u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.timeServerRow(i), TimeServerRow{}) << i;
    }
    EXPECT_EQ(s.timeServerRow(4), (TimeServerRow{Address("198.18.0.8"), 65535, 0, ""}));
    EXPECT_FALSE(s.timeServersByName());
}

TEST(StoreClockSettings, StoresServersByName) {
    BasicPageModel m = Storable();
    m.domain = {true, true};
    Click(m, BasicButton::kDomain);
    m.servers[1].domain.text = std::string(30, 'n');
    m.servers[1].port.text = "123";
    m.servers[1].keyId.text = "5";
    m.servers[1].key.text = std::string(kClockUtf8) + "1234567";  // 9 bytes: the last is cut
    const Stored stored = Store(m);
    ASSERT_FALSE(stored.result);
    const ConstClockSettings s(stored.frame);
    EXPECT_TRUE(s.timeServersByName());
    EXPECT_EQ(s.domainName(0), "");
    EXPECT_EQ(s.domainName(1), std::string(30, 'n'));
    EXPECT_EQ(s.timeServerRow(1), (TimeServerRow{0, 123, 5, std::string(kClockCp936) + "123456"}));
    EXPECT_EQ(s.timeServerRow(0), TimeServerRow{});  // row 1 by address is not sent
}

TEST(StoreClockSettings, TextDisplayModes) {
    const struct {
        const char* text;
        BasicButton mode;
        const char* seconds;  // typed into the seconds list
        std::uint8_t byte200;
    } cases[] = {{"Hi", BasicButton::kRoll, "", 0},
                 {"Hi", BasicButton::kAlternate, "4", 4},
                 {"Hi", BasicButton::kAlternate, "7", 1},
                 {"", BasicButton::kAlternate, "5", 0}};
    for (const auto& c : cases) {
        BasicPageModel m = Storable();
        m.displayText.text = c.text;
        Click(m, c.mode);
        if (*c.seconds != '\0') {
            m.alternateSeconds.setEditText(c.seconds);
        }
        const Stored stored = Store(m);
        const ConstClockSettings s(stored.frame);
        EXPECT_EQ(s.textDisplayMode(), c.byte200) << c.text << " " << c.seconds;
        EXPECT_EQ(s.displayText(), c.text);
    }
    BasicPageModel full = Storable();
    std::string seventeenClocks;
    for (int i = 0; i < 17; ++i) {
        seventeenClocks += kClockUtf8;
    }
    full.displayText.text = seventeenClocks;  // 34 bytes: only whole characters that fit
    const SettingsFrame frame = Store(full).frame;
    std::string sixteen;
    for (int i = 0; i < 16; ++i) {
        sixteen += kClockCp936;
    }
    EXPECT_EQ(ConstClockSettings(frame).displayText(), sixteen);
    EXPECT_EQ(frame[kTextDisplayModeOffset], 3);
}

TEST(StoreClockSettings, HumitureOnlyWithASensor) {
    BasicPageModel m = Storable();
    for (ListControl* list : m.durationLists()) {
        list->selectIndex(3);
    }
    m.celsius.checked = true;
    const Stored withoutSensor = Store(m);
    const ConstClockSettings none(withoutSensor.frame);
    EXPECT_EQ(none.humitureUnitByte(), 0);
    EXPECT_EQ(none.timeDisplayDuration(), 0);

    m.temperature.text = "  21.5 \u2103";
    m.humidityDuration.clearSelection();
    m.timeDuration.setEditText("16");  // typed, no such item
    const Stored withSensor = Store(m);
    const ConstClockSettings celsius(withSensor.frame);
    EXPECT_EQ(celsius.humitureUnitByte(), 1);
    EXPECT_EQ(celsius.timeDisplayDuration(), 0);
    EXPECT_EQ(celsius.temperatureDisplayDuration(), 5);
    EXPECT_EQ(celsius.humidityDisplayDuration(), 0);
    EXPECT_EQ(celsius.temperature(), 0.0F);

    m.celsius.checked = false;
    m.fahrenheit.checked = true;
    EXPECT_EQ(ConstClockSettings(Store(m).frame).humitureUnitByte(), 2);
}

TEST(StoreClockSettings, BrightnessWithoutSelection) {
    BasicPageModel m = Shown([](const ClockSettings& s) { s.setBrightness(6); });
    EXPECT_EQ(ConstClockSettings(Store(m).frame).brightness(), 6);
    m.brightness.selectExact("OFF");
    EXPECT_EQ(ConstClockSettings(Store(m).frame).brightness(), 0);

    BasicPageModel unread;  // no clock shown: the page as created, filled in by hand
    unread.ipAddress.text = "198.18.0.10";
    unread.gateway.text = "198.18.0.1";
    Click(unread, BasicButton::kTimeServerIp);
    unread.servers[0].address.text = "198.18.0.3";
    const Stored stored = Store(unread);
    ASSERT_FALSE(stored.result);
    EXPECT_EQ(ConstClockSettings(stored.frame).brightness(),
              static_cast<std::uint8_t>(Brightness::kNormal));
}

TEST(StoreClockSettings, AlwaysSendsTheDefaultPasswordsAndTheRequestFlags) {
    BasicPageModel m = Storable();
    m.userPassword.text = "mine";
    m.globalPassword.text = "ours";
    m.format12.checked = true;
    m.format24.checked = false;
    Stored stored;
    stored.frame.fill(0);
    ClockSettings(stored.frame).setBatchBit(true);  // set by the caller for Batch Modify
    ASSERT_FALSE(StoreClockSettings(m, stored.frame));
    const ConstClockSettings s(stored.frame);
    EXPECT_EQ(s.userPassword(), "omber");
    EXPECT_EQ(s.globalPassword(), "tarnfelk");
    EXPECT_TRUE(s.requestBit() && s.batchBit());
    EXPECT_FALSE(s.twentyFourHourDisplay());
    EXPECT_EQ(s.frameType(), 2);
}

// --- StoreEarlyClockSettings ---

struct EarlyStored {
    CommandFrame frame{};
    StoreResult result;
};

EarlyStored StoreEarly(const BasicPageModel& m) {
    EarlyStored out;
    out.frame.fill(0xEE);  // whatever the last exchange left
    out.result = StoreEarlyClockSettings(m, out.frame);
    return out;
}

TEST(StoreEarlyClockSettings, WritesBackWhatTheClockReported) {
    CommandFrame reply = EarlyReply([](const EarlyClockSettings& s) {
        s.setDstStart({3, 0x67, 2});
        s.setDstEnd({10, 0x57, 3});
        s.setTimeZoneBytes({0x89, 30});
        s.setDnsServer(Address("198.18.0.2"));
    });
    const EarlyStored stored = StoreEarly(EarlyShown(reply));
    ASSERT_FALSE(stored.result);
    // The request is the reply without the read's command code and in-use report, with the
    // number of servers given.
    const EarlyClockSettings expected(reply);
    expected.setCommandCode(0);
    expected.setTimeServerInUse(0);
    expected.setTimeServerCount(2);
    EXPECT_EQ(stored.frame, reply);
}

TEST(StoreEarlyClockSettings, DynamicIpSendsOnlyGoodAddressesAndNeverRefuses) {
    BasicPageModel m = EarlyShown(EarlyReply());
    Click(m, BasicButton::kDynamicIp);
    m.ipAddress.text = "0.0.0.0";
    m.gateway.text = "127.0.0.1";
    m.dnsServer.text = "224.0.0.1";
    EarlyStored stored = StoreEarly(m);
    ASSERT_FALSE(stored.result);
    ConstEarlyClockSettings s(stored.frame);
    EXPECT_TRUE(s.dynamicIp());
    EXPECT_EQ(s.ipAddress(), 0u);
    EXPECT_EQ(s.subnetMask(), 0u);
    EXPECT_EQ(s.gateway(), 0u);
    EXPECT_EQ(s.dnsServer(), 0u);

    m.gateway.text = "198.18.0.1";
    m.dnsServer.text = "198.18.0.2";
    stored = StoreEarly(m);
    EXPECT_EQ(ConstEarlyClockSettings(stored.frame).gateway(), Address("198.18.0.1"));
    EXPECT_EQ(ConstEarlyClockSettings(stored.frame).dnsServer(), Address("198.18.0.2"));

    Click(m, BasicButton::kStaticIp);
    stored = StoreEarly(m);
    ASSERT_TRUE(stored.result);
    EXPECT_EQ(stored.result->message, kInvalidIpMessage);
}

TEST(StoreEarlyClockSettings, TimeServersAlwaysByAddressAndCounted) {
    BasicPageModel m = EarlyShown(EarlyReply());
    for (std::size_t i = 0; i < 4; ++i) {
        m.servers[i].address.text = "";
    }
    m.servers[4].address.text = "198.18.0.9";
    m.timeServerIp.checked = false;  // ignored
    m.domain.checked = true;
    const EarlyStored stored = StoreEarly(m);
    ASSERT_FALSE(stored.result);
    const ConstEarlyClockSettings s(stored.frame);
    EXPECT_EQ(s.timeServerCount(), 1);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.timeServerAddress(i), 0u);
    }
    EXPECT_EQ(s.timeServerAddress(4), Address("198.18.0.9"));

    m.servers[4].address.text = "";
    EXPECT_EQ(StoreEarly(m).result,
              (Refusal{std::string(kNoTimeServerMessage), {BasicField::kServerAddress, 0}}));
    m.servers[3].address.text = "224.1.1.1";
    EXPECT_EQ(StoreEarly(m).result,
              (Refusal{std::string(kInvalidTimeServerMessage), {BasicField::kServerAddress, 3}}));
}

TEST(StoreEarlyClockSettings, BrightnessFormatAndDaylightSaving) {
    BasicPageModel m = EarlyShown(EarlyReply([](const EarlyClockSettings& s) {
        s.setBrightness(7);
        s.setTimeFormat(24);
    }));
    EarlyStored stored = StoreEarly(m);
    EXPECT_EQ(ConstEarlyClockSettings(stored.frame).brightness(), 7);
    EXPECT_EQ(ConstEarlyClockSettings(stored.frame).timeFormat(), 24);

    Click(m, BasicButton::kDstEnable);
    for (ListControl* list : m.dstLists()) {
        list->selectIndex(0);
    }
    m.dstEnd.month.clearSelection();
    EXPECT_EQ(StoreEarly(m).result, (Refusal{std::string(kDstIncompleteMessage), {}}));
    m.dstEnd.month.selectExact("Dec");
    stored = StoreEarly(m);
    ASSERT_FALSE(stored.result);
    EXPECT_EQ(ConstEarlyClockSettings(stored.frame).dstStart(), (DstBytes{1, 0x11, 0}));
    EXPECT_EQ(ConstEarlyClockSettings(stored.frame).dstEnd(), (DstBytes{12, 0x11, 0}));
}

// --- Handlers ---

TEST(Handlers, IpModeLocksOrUnlocksTheAddresses) {
    BasicPageModel m = Shown(Reply());
    EXPECT_TRUE(Click(m, BasicButton::kDynamicIp));
    EXPECT_TRUE(m.dynamicIp.checked && !m.staticIp.checked);
    for (TextControl* field : m.clockAddresses()) {
        EXPECT_FALSE(field->enabled);
    }
    EXPECT_TRUE(Click(m, BasicButton::kStaticIp));
    EXPECT_TRUE(m.staticIp.checked && !m.dynamicIp.checked);
    for (TextControl* field : m.clockAddresses()) {
        EXPECT_TRUE(field->enabled);
    }
    m.staticIp.checked = false;  // a handler acts only for its checked button
    m.dynamicIp.checked = true;
    OnStaticIp(m);
    EXPECT_TRUE(m.ipAddress.enabled);
}

TEST(Handlers, ServerModeSwapsAddressesAndNamesButNotTheOtherBoxes) {
    BasicPageModel m = Shown(Reply());
    EXPECT_FALSE(Click(m, BasicButton::kDomain));  // the page never enables it
    EXPECT_TRUE(m.timeServerIp.checked);
    m.domain.enabled = true;
    EXPECT_TRUE(Click(m, BasicButton::kDomain));
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        EXPECT_FALSE(m.servers[i].address.enabled);
        EXPECT_EQ(m.servers[i].domain.enabled, i < kDomainRows);
        EXPECT_TRUE(m.servers[i].port.enabled);
    }
    EXPECT_TRUE(Click(m, BasicButton::kTimeServerIp));
    EXPECT_FALSE(m.domain.checked);
    for (const TimeServerRowModel& row : m.servers) {
        EXPECT_TRUE(row.address.enabled && row.port.enabled);
        EXPECT_FALSE(row.domain.enabled);
    }
}

TEST(Handlers, DaylightSavingKeepsSelectionsWhenCheckedAndClearsThemWhenUnchecked) {
    BasicPageModel m = Shown(Reply());
    m.dstStart.month.selectIndex(2);  // chosen while locked
    EXPECT_TRUE(Click(m, BasicButton::kDstEnable));
    EXPECT_TRUE(m.dstEnable.checked);
    for (const ListControl* list : m.dstLists()) {
        EXPECT_TRUE(list->enabled());
    }
    EXPECT_EQ(Selected(m.dstStart.month), "Mar");
    EXPECT_TRUE(Click(m, BasicButton::kDstEnable));
    EXPECT_FALSE(m.dstEnable.checked);
    for (const ListControl* list : m.dstLists()) {
        EXPECT_FALSE(list->enabled() || list->selection());
    }
}

TEST(Handlers, RollAndAlternate) {
    BasicPageModel m = Shown(Reply());  // alternating every 3 s
    EXPECT_TRUE(Click(m, BasicButton::kRoll));
    EXPECT_TRUE(m.roll.checked && !m.alternate.checked);
    EXPECT_FALSE(m.alternateSeconds.enabled() || m.alternateSeconds.selection());
    EXPECT_TRUE(Click(m, BasicButton::kAlternate));
    EXPECT_EQ(Selected(m.alternateSeconds), "2");
    EXPECT_TRUE(m.alternateSeconds.enabled() && !m.roll.checked);

    ClearBasicPage(m);
    EXPECT_FALSE(Click(m, BasicButton::kAlternate));  // locked without a clock
    EXPECT_FALSE(m.alternate.checked);
}

TEST(Handlers, PlainRadioPairsSwapAndCheckBoxesToggle) {
    BasicPageModel m = Shown(Reply());
    EXPECT_TRUE(Click(m, BasicButton::kFormat12));
    EXPECT_TRUE(m.format12.checked && !m.format24.checked);
    EXPECT_TRUE(Click(m, BasicButton::kDisplayDim));
    EXPECT_TRUE(m.displayDim.checked && !m.displayClose.checked);
    EXPECT_FALSE(Click(m, BasicButton::kCelsius));  // no sensor reported: locked
}

}  // namespace
}  // namespace tavlo::settings
