#include "tools/tavlo/RecordFormat.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"
#include "settings/TimeZone.h"
#include "settings/ValueText.h"
#include "tools/tavlo/Cli.h"
#include "wifi/WifiSettings.h"

namespace tavlo::cli {
namespace {

using settings::DstRule;
using settings::DstTransition;

constexpr const char* kNoValue = "";
constexpr const char* kTimeFormat12 = "12";
constexpr const char* kTimeFormat24 = "24";
constexpr const char* kDynamicIp = "Dynamic IP";
constexpr const char* kStaticIp = "Static IP";
constexpr const char* kByAddress = "Time Server IP";
constexpr const char* kByDomain = "Domain";
constexpr const char* kRoll = "Roll";
constexpr const char* kAlternate = "Alternate(s):";
constexpr const char* kEnabled = "enabled";
constexpr const char* kDisabled = "disabled";
constexpr const char* kSensorHigh = "high";
constexpr const char* kSensorLow = "low";
constexpr const char* kNoSensor = "none";

std::string Text(const std::string& cp936) {
    return platform::Cp936ToUtf8(cp936);
}

std::string Number(unsigned value) {
    return std::to_string(value);
}

// A value the page's list does not hold: its raw code, so nothing is hidden.
std::string Unlisted(unsigned code) {
    return "(code " + std::to_string(code) + ")";
}

std::string NameAt(std::span<const std::string_view> names, unsigned oneBased) {
    if (oneBased >= 1 && oneBased <= names.size()) {
        return std::string(names[oneBased - 1]);
    }
    return Unlisted(oneBased);
}

// "h:mm:ss", the three lists of the count-down.
std::string TimeText(const settings::ClockTime& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(time.hours),
                  static_cast<unsigned>(time.minutes), static_cast<unsigned>(time.seconds));
    return text;
}

// The page's daylight-saving lists read as one sentence: "2 O'clock on the Last Sun in Mar".
std::string TransitionText(const DstTransition& t) {
    return Number(t.hour) + " O'clock on the " + NameAt(settings::kDstWeekNames, t.week) + " " +
           NameAt(settings::kDstWeekdayNames, t.weekday) + " in " +
           NameAt(settings::kDstMonthNames, t.month);
}

void AddDst(std::vector<Field>& fields, const std::optional<DstRule>& rule) {
    fields.push_back({"daylightSaving", rule ? kEnabled : kDisabled});
    fields.push_back({"daylightSavingStart", rule ? TransitionText(rule->start) : kNoValue});
    fields.push_back({"daylightSavingEnd", rule ? TransitionText(rule->end) : kNoValue});
}

// The label the "Time Zone:" list selects for `built`; the built label itself when the list
// has no such item.
std::string TimeZoneText(const std::string& built) {
    const auto index = settings::FindItemByPrefix(settings::kTimeZoneLabels, built);
    return index ? std::string(settings::kTimeZoneLabels[*index]) : built;
}

std::string BrightnessText(std::uint8_t code) {
    const auto name = settings::BrightnessName(code);
    return name ? std::string(*name) : Unlisted(code);
}

std::string Address(platform::Ipv4 address) {
    return platform::FormatIpv4(address);
}

// Leading blanks of the page's reading texts ("  21.5 ℃") carry no meaning here.
std::string Trimmed(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    return text;
}

std::string CodeEntry(std::optional<std::string_view> entry, std::uint8_t code) {
    return entry ? std::string(*entry) : Unlisted(code);
}

}  // namespace

std::vector<Field> DescribeClockSettings(settings::ConstSettingsBytes frame,
                                         const RecordOptions& options) {
    const settings::ConstClockSettings s(frame);
    std::vector<Field> f;
    f.push_back({"version", settings::VersionText(s.version())});
    f.push_back({"serialNumber", Text(s.serialNumber())});
    f.push_back({"timeFormat", s.twentyFourHourDisplay() ? kTimeFormat24 : kTimeFormat12});
    f.push_back({"timeZone", TimeZoneText(settings::TimeZoneLabel(s.timeZone()))});
    f.push_back({"ipMode", s.dynamicIp() ? kDynamicIp : kStaticIp});
    f.push_back({"ipAddress", Address(s.ipAddress())});
    f.push_back({"subnetMask", Address(s.subnetMask())});
    f.push_back({"defaultGateway", Address(s.gateway())});
    f.push_back({"dnsServer", Address(s.dnsServer())});

    f.push_back({"timeServerMode", s.timeServersByName() ? kByDomain : kByAddress});
    const unsigned inUse = s.timeServerInUse();
    f.push_back({"timeServerInUse", inUse == 0 ? kNoValue : Number(inUse)});
    for (std::size_t i = 0; i < settings::kTimeServerRowCount; ++i) {
        const settings::TimeServerRow row = s.timeServerRow(i);
        const std::string prefix = "timeServer" + Number(static_cast<unsigned>(i + 1));
        f.push_back({prefix + "Address", Address(row.address)});
        f.push_back({prefix + "Port", Number(row.port)});
        f.push_back({prefix + "KeyId", Number(row.keyId)});
        f.push_back({prefix + "Key", options.withPasswords ? Text(row.key) : kNoValue});
        if (i < settings::kDomainNameRowCount) {
            f.push_back({prefix + "DomainName", Text(s.domainName(i))});
        }
    }

    f.push_back({"countDownStart", TimeText(s.countDownStart())});
    f.push_back({"countDownDuration", TimeText(s.countDownDuration())});
    f.push_back({"energySavingFrom", Number(s.energySavingStartHour())});
    f.push_back({"energySavingTo", Number(s.energySavingEndHour())});
    const std::uint8_t mode = s.energySavingMode();
    f.push_back(
        {"energySavingMode", std::string(settings::kEnergySavingModeNames[mode == 0 ? 0 : 1])});
    f.push_back({"brightness", BrightnessText(s.brightness())});
    AddDst(f, settings::LoadDst(s));

    f.push_back({"displayText", Text(s.displayText())});
    const std::uint8_t textMode = s.textDisplayMode();
    f.push_back({"textDisplay", textMode == settings::kTextDisplayRoll
                                    ? std::string(kRoll)
                                    : std::string(kAlternate) + " " + Number(textMode)});

    const settings::HumitureUnit unit = s.humitureUnit();
    const bool sensor = unit != settings::HumitureUnit::kNone;
    f.push_back({"humitureUnit", !sensor ? kNoSensor
                                 : unit == settings::HumitureUnit::kCelsius
                                     ? std::string(settings::kDegreeCelsius)
                                     : std::string(settings::kDegreeFahrenheit)});
    f.push_back({"temperature",
                 sensor ? Trimmed(settings::TemperatureText(s.temperature(), unit)) : kNoValue});
    f.push_back({"humidity", sensor ? Trimmed(settings::HumidityText(s.humidity())) : kNoValue});
    f.push_back({"timeDisplayDuration", Number(s.timeDisplayDuration())});
    f.push_back({"temperatureDisplayDuration", Number(s.temperatureDisplayDuration())});
    f.push_back({"humidityDisplayDuration", Number(s.humidityDisplayDuration())});

    const wifi::ConstWifiSettings w(frame);
    f.push_back({"wifiSsid", Text(w.ssid())});
    f.push_back({"wifiCipher", CodeEntry(wifi::CipherEntry(w.cipherCode()), w.cipherCode())});
    f.push_back({"wifiAuth", CodeEntry(wifi::AuthenticationEntry(w.authenticationCode()),
                                       w.authenticationCode())});
    f.push_back({"wifiPassword", options.withPasswords ? Text(w.password()) : kNoValue});

    f.push_back({"userPassword", options.withPasswords ? Text(s.userPassword()) : kNoValue});
    f.push_back({"globalPassword", options.withPasswords ? Text(s.globalPassword()) : kNoValue});

    f.push_back({"mailSenderName", Text(s.mailSenderName())});
    f.push_back({"mailSenderDomain", Text(s.mailSenderDomain())});
    f.push_back({"mailSendTo", Text(s.mailSendTo())});
    f.push_back({"mailCopyTo", Text(s.mailCopyTo())});
    f.push_back({"sensorState", s.sensorState() != 0 ? kSensorHigh : kSensorLow});
    return f;
}

std::vector<Field> DescribeEarlyClockSettings(settings::ConstCommandBytes frame) {
    const settings::ConstEarlyClockSettings s(frame);
    std::vector<Field> f;
    f.push_back({"serialNumber", Text(s.serialNumber())});
    f.push_back({"timeFormat",
                 s.timeFormat() == settings::early::kTimeFormat12 ? kTimeFormat12 : kTimeFormat24});
    f.push_back({"timeZone", TimeZoneText(settings::EarlyTimeZoneLabel(s.timeZoneBytes()))});
    f.push_back({"ipMode", s.dynamicIp() ? kDynamicIp : kStaticIp});
    f.push_back({"ipAddress", Address(s.ipAddress())});
    f.push_back({"subnetMask", Address(s.subnetMask())});
    f.push_back({"defaultGateway", Address(s.gateway())});
    f.push_back({"dnsServer", Address(s.dnsServer())});
    const auto inUseRow = settings::EarlyTimeServerInUseRow(s);
    f.push_back(
        {"timeServerInUse", inUseRow ? Number(static_cast<unsigned>(*inUseRow + 1)) : kNoValue});
    f.push_back({"timeServerInUseAddress", Address(s.timeServerInUse())});
    f.push_back({"timeServerCount", Number(s.timeServerCount())});
    for (std::size_t i = 0; i < settings::early::kTimeServerCount; ++i) {
        f.push_back({"timeServer" + Number(static_cast<unsigned>(i + 1)) + "Address",
                     Address(s.timeServerAddress(i))});
    }
    f.push_back({"energySavingFrom", Number(s.energySavingStartHour())});
    f.push_back({"energySavingTo", Number(s.energySavingEndHour())});
    f.push_back({"brightness", BrightnessText(s.brightness())});
    AddDst(f, settings::LoadEarlyDst(s));
    return f;
}

void PrintFieldsText(std::ostream& out, const std::vector<Field>& fields) {
    std::size_t width = 0;
    for (const Field& field : fields) {
        width = std::max(width, field.name.size());
    }
    for (const Field& field : fields) {
        out << field.name << std::string(width + 2 - field.name.size(), ' ')
            << Printable(field.value) << '\n';
    }
}

void PrintFieldsJson(std::ostream& out, const std::vector<Field>& fields) {
    out << '{';
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out << (i == 0 ? "" : ",") << JsonString(fields[i].name) << ':'
            << JsonString(fields[i].value);
    }
    out << "}\n";
}

}  // namespace tavlo::cli
