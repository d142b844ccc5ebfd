// `tavlo write`'s input on the page models: every key the read prints is known, each editable
// key's printed form goes through the page and its store back to the same printed form, and
// what the page cannot take is refused with one line naming the key.
#include "tools/tavlo/PageEdits.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/SimClock.h"
#include "tools/tavlo/RecordFormat.h"

namespace tavlo::cli {
namespace {

using clocksim::SimClock;
using workflow::ClockKind;
using workflow::WritePage;
using Values = std::vector<KeyValue>;

// A clock of `kind` read and shown on both pages, as `tavlo write` does before the input.
struct Shown {
    ClockKind kind = ClockKind::kWired;
    workflow::PageModels models;
    std::vector<FieldText> reported;
};

Shown Show(clocksim::ClockKind simKind, const std::function<void(SimClock&)>& tweak = {}) {
    SimClock clock = clocksim::MakeDefaultClock(simKind, platform::MakeIpv4(198, 18, 0, 10));
    if (tweak) {
        tweak(clock);
    }
    Shown shown;
    workflow::ReadResult read;
    read.answered = true;
    if (clocksim::IsEarly(simKind)) {
        shown.kind = ClockKind::kEarly;
        read.commandFrame = clocksim::EarlyReplyFrame(clock, 1, true);
    } else {
        shown.kind = simKind == clocksim::ClockKind::kWifi ? ClockKind::kWifi : ClockKind::kWired;
        read.settingsFrame = clocksim::ReplyFrame(clock, 1, true);
    }
    shown.reported = ReplyFields(read, shown.kind);
    workflow::ClearPagesForRead(shown.kind, shown.models);
    workflow::ShowRead(read, shown.kind, shown.models);
    return shown;
}

// The page stored into a write request, printed as `tavlo read` prints a reply.
std::map<std::string, std::string> Stored(const Shown& shown, WritePage page) {
    std::vector<FieldText> fields;
    if (shown.kind == ClockKind::kEarly) {
        protocol::CommandFrame request{};
        EXPECT_FALSE(settings::StoreEarlyClockSettings(shown.models.basic, request));
        fields = EarlyReplyFields(request);
    } else {
        protocol::SettingsFrame request{};
        if (page == WritePage::kWifi) {
            wifi::StoreWifiPage(shown.models.wifi, request);
        } else {
            EXPECT_FALSE(settings::StoreClockSettings(shown.models.basic, request));
        }
        fields = ClockReplyFields(request);
    }
    std::map<std::string, std::string> printed;
    for (const FieldText& field : fields) {
        printed[field.name] = field.value;
    }
    return printed;
}

EditResult Apply(Shown& shown, const Values& values, WritePage page = WritePage::kBasic) {
    return ApplyValues(values, shown.reported, shown.kind, page, shown.models);
}

json::Json Object(const Values& values) {
    json::Json object = json::Json::object();
    for (const auto& [key, value] : values) {
        object[key] = value;
    }
    return object;
}

TEST(PageEdits, EveryKeyTheReadPrintsIsTakenForItsKindOfClock) {
    for (const auto kind : {clocksim::ClockKind::kWired, clocksim::ClockKind::kEarly}) {
        Shown shown = Show(kind);
        Values all{{"address", "198.18.0.10"}};
        for (const FieldText& field : shown.reported) {
            all.emplace_back(field.name, field.value);
        }
        std::string error;
        const auto values = TakeValues(Object(all), shown.kind, error);
        ASSERT_TRUE(values) << error;
        // The read's own record writes back unchanged: nothing to refuse.
        const EditResult result = Apply(shown, *values);
        EXPECT_EQ(result.error, "");
        EXPECT_FALSE(result.ignored.empty());
    }
}

// Each key as the operator sets it: the stored request prints the value given.
TEST(PageEdits, EachEditableKeyReachesTheRequestInItsPrintedForm) {
    const auto byName = [](SimClock& c) {
        const settings::ClockSettings s(c.record);
        settings::TimeServerTable table = settings::LoadTimeServers(s);
        table.mode = settings::TimeServerMode::kByDomainName;
        table.domainNames[0] = "ntp.example";
        settings::StoreTimeServers(s, table);
    };
    const struct {
        clocksim::ClockKind kind;
        WritePage page;
        Values given;
        Values printed;                             // empty: as given
        std::function<void(SimClock&)> tweak = {};  // how the clock differs from the default
    } cases[] = {
        {clocksim::ClockKind::kWired, WritePage::kBasic, {{"timeZone", "UTC +5:30"}}, {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"timeZone", "UTC-9"}},
         {{"timeZone", "UTC -9 "}}},
        {clocksim::ClockKind::kWired, WritePage::kBasic, {{"timeFormat", "12"}}, {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"ipAddress", "198.18.0.77"},
          {"subnetMask", "255.255.0.0"},
          {"gateway", "198.18.0.254"},
          {"dnsServer", "0.0.0.0"}},
         {}},
        {clocksim::ClockKind::kWired, WritePage::kBasic, {{"ipMode", "Dynamic IP"}}, {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"timeServer3Address", "198.18.0.4"},
          {"timeServer3Port", "124"},
          {"timeServer3KeyId", "7"},
          {"timeServer3Key", "k3"}},
         {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"timeServer2KeyId", "0"}},
         {{"timeServer2KeyId", "0"}, {"timeServer2Key", ""}}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"domainName1", "pool.example"}, {"domainName2", "ntp2.example"}},
         {},
         byName},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"timeServerMode", "Time Server IP"}, {"timeServer1Address", "198.18.0.9"}},
         {},
         byName},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"countDownStart", "12:30:05"}, {"countDownDuration", "09:59:59"}},
         {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"energySavingMode", "Display Close"},
          {"energySavingStartHour", "7"},
          {"energySavingEndHour", "08"}},
         {{"energySavingEndHour", "8"}}},
        {clocksim::ClockKind::kWired, WritePage::kBasic, {{"brightness", "Brilliant"}}, {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"daylightSaving",
           "1 O'clock on the Second Sun in Apr to 23 O'clock on the First Mon in "
           "Sep"}},
         {}},
        {clocksim::ClockKind::kWired, WritePage::kBasic, {{"daylightSaving", "disabled"}}, {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"displayText", "Lobby"}, {"textDisplayMode", "Alternate(s): 4"}},
         {}},
        {clocksim::ClockKind::kWired,
         WritePage::kBasic,
         {{"humitureUnit", "\u2109"},
          {"timeDisplayDuration", "15"},
          {"temperatureDisplayDuration", "2"},
          {"humidityDisplayDuration", "9"}},
         {}},
        {clocksim::ClockKind::kWifi,
         WritePage::kWifi,
         {{"ssid", "Floor2"}, {"cipher", "TKIP"}, {"authentication", "WPA"}},
         {{"ssid", "Floor2"},
          {"cipher", "TKIP"},
          {"authentication", "WPA"},
          {"wifiPassword", "clocknet-2024"}}},  // kept when not given
        {clocksim::ClockKind::kWifi, WritePage::kWifi, {{"wifiPassword", "secret99"}}, {}},
        {clocksim::ClockKind::kEarly,
         WritePage::kBasic,
         {{"timeZone", "UTC -9:30"},
          {"brightness", "Dim"},
          {"timeFormat", "12"},
          {"ipMode", "Dynamic IP"},
          {"timeServer4Address", "198.18.0.5"},
          {"energySavingEndHour", "5"},
          {"daylightSaving", "disabled"}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given.front().first);
        Shown shown = Show(c.kind, c.tweak);
        const EditResult result = Apply(shown, c.given, c.page);
        ASSERT_EQ(result.error, "");
        const auto printed = Stored(shown, c.page);
        for (const auto& [key, value] : c.printed.empty() ? c.given : c.printed) {
            EXPECT_EQ(printed.at(key), value) << key;
        }
    }
}

TEST(PageEdits, WhatThePageCannotTakeIsRefusedWithTheKey) {
    const auto noSensor = [](SimClock& c) {
        settings::ClockSettings(c.record).setHumitureUnitByte(0);
    };
    const auto dynamic = [](SimClock& c) { settings::ClockSettings(c.record).setDynamicIp(true); };
    const struct {
        clocksim::ClockKind kind;
        std::function<void(SimClock&)> tweak;
        Values given;
        std::string error;
    } cases[] = {
        {clocksim::ClockKind::kWired,
         {},
         {{"timeZone", "UTC +99"}},
         "timeZone: \"UTC +99\" refused; the page takes a zone of its list, like \"UTC +5:30\" or "
         "\"UTC -9:30\""},
        {clocksim::ClockKind::kWired,
         {},
         {{"timeServer1Port", "70000"}},
         "timeServer1Port: \"70000\" refused; the page takes a number from 0 to 65535"},
        {clocksim::ClockKind::kWired,
         {},
         {{"countDownStart", "24:00:00"}},
         "countDownStart: \"24:00:00\" refused; the page takes a time from 00:00:00 to 23:59:59"},
        {clocksim::ClockKind::kWired,
         dynamic,
         {{"gateway", "198.18.0.2"}},
         "gateway: \"198.18.0.2\" refused; the page locks it while ipMode is \"Dynamic IP\""},
        {clocksim::ClockKind::kWifi,
         dynamic,
         {{"ipMode", "Static IP"}},
         "ipMode: \"Static IP\" refused; the page locks it for Wi-Fi clocks, which take "
         "\"Dynamic IP\" only"},
        {clocksim::ClockKind::kWired,
         {},
         {{"ssid", "Floor2"}},
         "ssid: \"Floor2\" is a setting of the WIFI page; write it with --page wifi"},
        {clocksim::ClockKind::kWired,
         {},
         {{"displayText", std::string(33, 'x')}},
         "displayText: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\" refused; the page takes a "
         "text of at most 32 bytes in code page 936 (a Chinese character takes two)"},
        // Leading zeros would read as octal to some readers: one address, one spelling.
        {clocksim::ClockKind::kWired,
         {},
         {{"subnetMask", "255.255.255.08"}},
         "subnetMask: \"255.255.255.08\" refused; the page takes an address of four numbers 0 "
         "to 255 without leading zeros, like 198.18.0.10 (0.0.0.0 for none)"},
        // Control characters, C0 to C1, are refused as what they are.
        {clocksim::ClockKind::kWired,
         {},
         {{"displayText", std::string("A\0B", 3)}},
         "displayText: \"A?B\" refused; it holds a control character, which the page does not "
         "take"},
        {clocksim::ClockKind::kWired, {}, {{"timeServer2Key", "ab\u0085"}}, "timeServer2Key"},
        {clocksim::ClockKind::kWired, noSensor, {{"humitureUnit", "\u2109"}}, "humitureUnit"},
        {clocksim::ClockKind::kWired, noSensor, {{"timeDisplayDuration", "7"}}, "timeDisplay"},
        {clocksim::ClockKind::kWired, {}, {{"timeDisplayDuration", "1"}}, "timeDisplayDuration"},
        {clocksim::ClockKind::kWired, {}, {{"brightness", "dim"}}, "brightness"},
        {clocksim::ClockKind::kWired, {}, {{"daylightSaving", "on"}}, "daylightSaving"},
        {clocksim::ClockKind::kWired,
         {},
         {{"daylightSaving",
           "24 O'clock on the Last Sun in Mar to 3 O'clock on the Last Sun in "
           "Oct"}},
         "daylightSaving"},
        {clocksim::ClockKind::kWired, {}, {{"textDisplayMode", "Alternate(s): 6"}}, "textDisplay"},
        {clocksim::ClockKind::kWired, {}, {{"timeServer4Address", "198.18.0"}}, "timeServer4"},
        {clocksim::ClockKind::kWired, {}, {{"domainName2", "pool.example"}}, "domainName2"},
        {clocksim::ClockKind::kWired, {}, {{"timeServerMode", "Domain"}}, "timeServerMode"},
        {clocksim::ClockKind::kEarly, {}, {{"timeZone", "UTC +13:45"}}, "timeZone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given.front().first);
        Shown shown = Show(c.kind, c.tweak);
        const EditResult result = Apply(shown, c.given);
        if (c.error.find(' ') == std::string::npos) {
            EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << result.error;
            EXPECT_NE(result.error.find(" refused; "), std::string::npos) << result.error;
        } else {
            EXPECT_EQ(result.error, c.error);
        }
    }
}

TEST(PageEdits, KeysThePageCannotEditAreIgnoredInTheInputsOrder) {
    Shown shown = Show(clocksim::ClockKind::kWired);
    const EditResult result = Apply(
        shown,
        {{"serialNumber", "SN9999"}, {"displayText", "Lobby"}, {"ssid", ""}, {"version", "9.99"}});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.ignored, (std::vector<std::string>{"serialNumber", "ssid", "version"}));
    EXPECT_EQ(Stored(shown, WritePage::kBasic).at("serialNumber"), "SN0010");
}

TEST(PageEdits, InputThatIsNotTheReadsKeysAndTextsIsRefused) {
    const struct {
        const char* input;
        ClockKind kind;
        const char* error;
    } cases[] = {
        {R"(["timeZone"])", ClockKind::kWired,
         "the input must be one JSON object of keys and texts, as 'tavlo read --json' prints it"},
        {R"({"timezone": "UTC +1 "})", ClockKind::kWired,
         "unknown key \"timezone\" (the keys are those 'tavlo read --json' prints)"},
        {R"({"brightness": null})", ClockKind::kWired,
         "brightness: give the value as a text, as 'tavlo read --json' prints it"},
        {R"({"displayText": "Lobby"})", ClockKind::kEarly,
         "displayText: early-version clocks have no such setting"},
        {R"({"checksum": "12"})", ClockKind::kWifi,
         "checksum: only early-version clocks have this setting"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto document = json::Read(c.input, error);
        ASSERT_TRUE(document) << error;
        EXPECT_FALSE(TakeValues(*document, c.kind, error));
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    const auto numbers =
        TakeValues(*json::Read(R"({"timeServer1Port": 123})", error), ClockKind::kWired, error);
    ASSERT_TRUE(numbers);
    EXPECT_EQ(*numbers, (Values{{"timeServer1Port", "123"}}));
}

}  // namespace
}  // namespace tavlo::cli
