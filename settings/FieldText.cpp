#include "settings/FieldText.h"

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"
#include "settings/ValueText.h"

namespace tavlo::settings {

namespace {

constexpr std::string_view kNone = "none";
constexpr std::string_view kNotUsed = "not used ";
constexpr int kReadingDecimals = 1;
constexpr unsigned kTwoDigits = 10;

template <std::size_t N>
std::string NameOr(const std::array<std::string_view, N>& names, unsigned number,
                   std::string_view what) {
    if (number >= 1 && number <= names.size()) {
        return std::string(names[number - 1]);
    }
    return std::string(what) + " " + std::to_string(number);
}

std::string TwoDigits(unsigned value) {
    return (value < kTwoDigits ? "0" : "") + std::to_string(value);
}

std::string Number(unsigned value) {
    return std::to_string(value);
}

std::string Text(const std::string& cp936) {
    return platform::Cp936ToUtf8(cp936);
}

std::string Address(platform::Ipv4 address) {
    return platform::FormatIpv4(address);
}

std::string BrightnessText(std::uint8_t code) {
    if (const auto name = BrightnessName(code)) {
        return std::string(*name);
    }
    return std::string(kNotUsed) + "(" + Number(code) + ")";
}

std::string HumitureUnitText(std::uint8_t value) {
    switch (HumitureUnitFromByte(value)) {
        case HumitureUnit::kNone:
            return std::string(kNone);
        case HumitureUnit::kCelsius:
            return std::string(kDegreeCelsius);
        case HumitureUnit::kFahrenheit:
            break;
    }
    return std::string(kDegreeFahrenheit);
}

std::string TextDisplayModeText(std::uint8_t mode) {
    if (mode == kTextDisplayRoll) {
        return std::string(kRollText);
    }
    return std::string(kAlternateText) + Number(mode);
}

void AddRow(std::vector<FieldText>& fields, std::size_t index, const TimeServerRow& row,
            std::size_t offset) {
    const std::string prefix = "timeServer" + Number(static_cast<unsigned>(index + 1));
    fields.push_back({prefix + "Address", offset + kRowAddressOffset, Address(row.address)});
    fields.push_back({prefix + "Port", offset + kRowPortOffset, Number(row.port)});
    fields.push_back({prefix + "KeyId", offset + kRowKeyIdOffset, Number(row.keyId)});
    fields.push_back({prefix + "Key", offset + kRowKeyOffset, Text(row.key), true});
}

}  // namespace

std::string DstTransitionText(const DstTransition& transition) {
    return Number(transition.hour) + std::string(kDstHourWords) +
           NameOr(kDstWeekNames, transition.week, "week") + " " +
           NameOr(kDstWeekdayNames, transition.weekday, "weekday") + std::string(kDstMonthWord) +
           NameOr(kDstMonthNames, transition.month, "month");
}

std::string DstRuleText(const std::optional<DstRule>& rule) {
    if (!rule) {
        return std::string(kDstDisabledText);
    }
    return DstTransitionText(rule->start) + std::string(kDstRuleWord) +
           DstTransitionText(rule->end);
}

std::string ClockTimeText(const ClockTime& time) {
    return TwoDigits(time.hours) + ":" + TwoDigits(time.minutes) + ":" + TwoDigits(time.seconds);
}

std::vector<FieldText> DescribeClockSettings(ConstClockSettings s) {
    std::vector<FieldText> f;
    f.push_back({"version", kVersionOffset, VersionText(s.version())});
    f.push_back({"serialNumber", kSerialNumberOffset, Text(s.serialNumber())});
    f.push_back({"ipAddress", kIpAddressOffset, Address(s.ipAddress())});
    f.push_back({"subnetMask", kSubnetMaskOffset, Address(s.subnetMask())});
    f.push_back({"gateway", kGatewayOffset, Address(s.gateway())});
    f.push_back({"dnsServer", kDnsServerOffset, Address(s.dnsServer())});
    f.push_back({"daylightSaving", kDstStartOffset, DstRuleText(LoadDst(s))});
    f.push_back({"requestBit", kFlagsOffset, Number(s.requestBit() ? 1 : 0)});
    f.push_back({"timeFormat", kFlagsOffset,
                 std::string(s.twentyFourHourDisplay() ? kTwentyFourHoursText : kTwelveHoursText)});
    f.push_back(
        {"ipMode", kFlagsOffset, std::string(s.dynamicIp() ? kDynamicIpText : kStaticIpText)});
    f.push_back({"batchBit", kFlagsOffset, Number(s.batchBit() ? 1 : 0)});
    f.push_back({"brightness", kFlagsOffset, BrightnessText(s.brightness())});
    f.push_back({"frameType", kFrameTypeOffset, Number(s.frameType())});
    f.push_back({"timeZone", kTimeZoneHoursOffset, TimeZoneLabel(s.timeZone())});
    f.push_back(
        {"energySavingStartHour", kEnergySavingStartOffset, Number(s.energySavingStartHour())});
    f.push_back({"energySavingEndHour", kEnergySavingEndOffset, Number(s.energySavingEndHour())});
    f.push_back({"energySavingMode", kEnergySavingModeOffset,
                 std::string(kEnergySavingModeNames[s.energySavingMode() == 0 ? 0 : 1])});
    const std::uint8_t inUse = s.timeServerInUse();
    f.push_back({"timeServerInUse", kTimeServerInUseOffset,
                 inUse == 0 ? std::string(kNone) : Number(inUse)});
    for (std::size_t i = 0; i < kTimeServerRowCount; ++i) {
        AddRow(f, i, s.timeServerRow(i), kTimeServerTableOffset + i * kTimeServerRowSize);
    }
    f.push_back({"humitureUnit", kHumitureUnitOffset, HumitureUnitText(s.humitureUnitByte())});
    f.push_back(
        {"temperature", kTemperatureOffset, FormatFixed(s.temperature(), kReadingDecimals)});
    f.push_back({"humidity", kHumidityOffset, FormatFixed(s.humidity(), kReadingDecimals)});
    f.push_back(
        {"timeDisplayDuration", kTimeDisplayDurationOffset, Number(s.timeDisplayDuration())});
    f.push_back({"temperatureDisplayDuration", kTemperatureDisplayDurationOffset,
                 Number(s.temperatureDisplayDuration())});
    f.push_back({"humidityDisplayDuration", kHumidityDisplayDurationOffset,
                 Number(s.humidityDisplayDuration())});
    f.push_back({"countDownStart", kCountDownStartOffset, ClockTimeText(s.countDownStart())});
    f.push_back(
        {"countDownDuration", kCountDownDurationOffset, ClockTimeText(s.countDownDuration())});
    f.push_back({"userPassword", kUserPasswordOffset, Text(s.userPassword()), true});
    f.push_back({"globalPassword", kGlobalPasswordOffset, Text(s.globalPassword()), true});
    f.push_back({"displayText", kDisplayTextOffset, Text(s.displayText())});
    f.push_back(
        {"textDisplayMode", kTextDisplayModeOffset, TextDisplayModeText(s.textDisplayMode())});
    f.push_back({"timeServerMode", kTimeServersByNameOffset,
                 std::string(s.timeServersByName() ? kByNameText : kByAddressText)});
    for (std::size_t i = 0; i < kDomainNameRowCount; ++i) {
        f.push_back({"domainName" + Number(static_cast<unsigned>(i + 1)), kDomainNameOffsets[i],
                     Text(s.domainName(i))});
    }
    f.push_back({"mailSenderName", kMailSenderNameOffset, Text(s.mailSenderName())});
    f.push_back({"mailSenderDomain", kMailSenderDomainOffset, Text(s.mailSenderDomain())});
    f.push_back({"mailSendTo", kMailSendToOffset, Text(s.mailSendTo())});
    f.push_back({"mailCopyTo", kMailCopyToOffset, Text(s.mailCopyTo())});
    f.push_back({"sensorState", kSensorStateOffset, Number(s.sensorState())});
    return f;
}

std::vector<FieldText> DescribeEarlyClockSettings(ConstEarlyClockSettings s) {
    std::vector<FieldText> f;
    f.push_back({"daylightSaving", early::kDstStartOffset, DstRuleText(LoadEarlyDst(s))});
    f.push_back({"requestMarker", early::kRequestMarkerOffset, Number(s.requestMarker())});
    f.push_back({"commandCode", early::kCommandCodeOffset, Number(s.commandCode())});
    f.push_back({"timeZone", early::kTimeZoneHoursOffset, EarlyTimeZoneLabel(s.timeZoneBytes())});
    f.push_back({"timeFormat", early::kTimeFormatOffset,
                 std::string(s.twentyFourHourDisplay() ? kTwentyFourHoursText : kTwelveHoursText)});
    f.push_back({"brightness", early::kBrightnessOffset, BrightnessText(s.brightness())});
    f.push_back({"energySavingStartHour", early::kEnergySavingStartOffset,
                 Number(s.energySavingStartHour())});
    f.push_back(
        {"energySavingEndHour", early::kEnergySavingEndOffset, Number(s.energySavingEndHour())});
    f.push_back({"timeServerCount", early::kTimeServerCountOffset, Number(s.timeServerCount())});
    f.push_back({"ipMode", early::kDynamicIpOffset,
                 std::string(s.dynamicIp() ? kDynamicIpText : kStaticIpText)});
    for (std::size_t i = 0; i < early::kTimeServerCount; ++i) {
        f.push_back({"timeServer" + Number(static_cast<unsigned>(i + 1)) + "Address",
                     early::kTimeServerAddressesOffset + i * early::kAddressSize,
                     Address(s.timeServerAddress(i))});
    }
    f.push_back({"ipAddress", early::kIpAddressOffset, Address(s.ipAddress())});
    f.push_back({"subnetMask", early::kSubnetMaskOffset, Address(s.subnetMask())});
    f.push_back({"gateway", early::kGatewayOffset, Address(s.gateway())});
    f.push_back({"dnsServer", early::kDnsServerOffset, Address(s.dnsServer())});
    f.push_back({"timeServerInUse", early::kTimeServerInUseOffset, Address(s.timeServerInUse())});
    f.push_back({"serialNumber", early::kSerialNumberOffset, Text(s.serialNumber())});
    f.push_back({"checksum", early::kChecksumOffset, Number(s.checksum())});
    return f;
}

}  // namespace tavlo::settings
