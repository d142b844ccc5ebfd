#include "settings/ClockSettings.h"

#include <algorithm>

#include "settings/ByteFields.h"

namespace tavlo::settings {

namespace {

constexpr std::size_t kMonthIndex = 0;
constexpr std::size_t kWeekAndWeekdayIndex = 1;
constexpr std::size_t kHourIndex = 2;
constexpr std::size_t kHoursIndex = 0;
constexpr std::size_t kMinutesIndex = 1;
constexpr std::size_t kSecondsIndex = 2;

constexpr std::size_t RowOffset(std::size_t index) {
    return kTimeServerTableOffset + index * kTimeServerRowSize;
}

ClockTime ReadClockTime(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return {ReadU8(bytes, offset + kHoursIndex), ReadU8(bytes, offset + kMinutesIndex),
            ReadU8(bytes, offset + kSecondsIndex)};
}

void WriteClockTime(std::span<std::uint8_t> bytes, std::size_t offset, const ClockTime& time) {
    WriteU8(bytes, offset + kHoursIndex, time.hours);
    WriteU8(bytes, offset + kMinutesIndex, time.minutes);
    WriteU8(bytes, offset + kSecondsIndex, time.seconds);
}

bool IsTimeOfDay(const ClockTime& time) {
    return time.hours <= kMaxHour && time.minutes <= kMaxMinute && time.seconds <= kMaxSecond;
}

std::uint8_t WithBit(std::uint8_t value, std::uint8_t bit, bool on) {
    return static_cast<std::uint8_t>(on ? (value | bit) : (value & ~bit));
}

// Writes the parts of a row that are given: the port and key ID when not 0, the key when not
// empty. The address is written by the caller, depending on the mode.
void StoreRowDetails(ClockSettings settings, std::size_t index, const TimeServerRow& row) {
    const auto bytes = settings.mutableBytes();
    const std::size_t offset = RowOffset(index);
    if (row.port != 0) {
        WriteU16Le(bytes, offset + kRowPortOffset, row.port);
    }
    if (row.keyId != 0) {
        WriteU16Le(bytes, offset + kRowKeyIdOffset, row.keyId);
    }
    if (!row.key.empty()) {
        WriteText(bytes, offset + kRowKeyOffset, kRowKeySize, row.key);
    }
}

}  // namespace

std::optional<std::string_view> BrightnessName(std::uint8_t code) {
    if (code >= kBrightnessNames.size()) {
        return std::nullopt;
    }
    return kBrightnessNames[code];
}

std::optional<std::uint8_t> BrightnessCode(std::string_view name) {
    const auto found = std::find(kBrightnessNames.begin(), kBrightnessNames.end(), name);
    if (found == kBrightnessNames.end()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(found - kBrightnessNames.begin());
}

HumitureUnit HumitureUnitFromByte(std::uint8_t value) {
    switch (value) {
        case static_cast<std::uint8_t>(HumitureUnit::kNone):
            return HumitureUnit::kNone;
        case static_cast<std::uint8_t>(HumitureUnit::kCelsius):
            return HumitureUnit::kCelsius;
        default:
            return HumitureUnit::kFahrenheit;
    }
}

DstBytes PackDstTransition(const DstTransition& transition) {
    const auto weekAndWeekday = static_cast<std::uint8_t>(
        ((transition.week & kNibbleMask) << kWeekShift) | (transition.weekday & kNibbleMask));
    return {transition.month, weekAndWeekday, transition.hour};
}

DstTransition UnpackDstTransition(const DstBytes& bytes) {
    return {bytes.month, static_cast<std::uint8_t>(bytes.weekAndWeekday >> kWeekShift),
            static_cast<std::uint8_t>(bytes.weekAndWeekday & kNibbleMask), bytes.hour};
}

DstBytes ReadDstBytes(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return {ReadU8(bytes, offset + kMonthIndex), ReadU8(bytes, offset + kWeekAndWeekdayIndex),
            ReadU8(bytes, offset + kHourIndex)};
}

void WriteDstBytes(std::span<std::uint8_t> bytes, std::size_t offset, const DstBytes& value) {
    WriteU8(bytes, offset + kMonthIndex, value.month);
    WriteU8(bytes, offset + kWeekAndWeekdayIndex, value.weekAndWeekday);
    WriteU8(bytes, offset + kHourIndex, value.hour);
}

void WriteDstRule(std::span<std::uint8_t> bytes, std::size_t startOffset, std::size_t endOffset,
                  const std::optional<DstRule>& rule) {
    if (!rule) {
        WriteDstBytes(bytes, startOffset, {});
        WriteDstBytes(bytes, endOffset, {});
        return;
    }
    WriteDstBytes(bytes, startOffset, PackDstTransition(rule->start));
    WriteDstBytes(bytes, endOffset, PackDstTransition(rule->end));
}

// --- ConstClockSettings ---

std::uint16_t ConstClockSettings::version() const {
    return ReadU16Le(bytes_, kVersionOffset);
}
std::string ConstClockSettings::serialNumber() const {
    return ReadText(bytes_, kSerialNumberOffset, kSerialNumberSize);
}
platform::Ipv4 ConstClockSettings::ipAddress() const {
    return ReadIpv4(bytes_, kIpAddressOffset);
}
platform::Ipv4 ConstClockSettings::subnetMask() const {
    return ReadIpv4(bytes_, kSubnetMaskOffset);
}
platform::Ipv4 ConstClockSettings::gateway() const {
    return ReadIpv4(bytes_, kGatewayOffset);
}
platform::Ipv4 ConstClockSettings::dnsServer() const {
    return ReadIpv4(bytes_, kDnsServerOffset);
}
DstBytes ConstClockSettings::dstStart() const {
    return ReadDstBytes(bytes_, kDstStartOffset);
}
DstBytes ConstClockSettings::dstEnd() const {
    return ReadDstBytes(bytes_, kDstEndOffset);
}

std::uint8_t ConstClockSettings::flags() const {
    return ReadU8(bytes_, kFlagsOffset);
}
bool ConstClockSettings::requestBit() const {
    return (flags() & kRequestBit) != 0;
}
bool ConstClockSettings::twentyFourHourDisplay() const {
    return (flags() & kTwentyFourHourBit) != 0;
}
bool ConstClockSettings::dynamicIp() const {
    return (flags() & kDynamicIpBit) != 0;
}
bool ConstClockSettings::batchBit() const {
    return (flags() & kBatchBit) != 0;
}
std::uint8_t ConstClockSettings::brightness() const {
    return static_cast<std::uint8_t>((flags() & kBrightnessMask) >> kBrightnessShift);
}
std::uint8_t ConstClockSettings::frameType() const {
    return ReadU8(bytes_, kFrameTypeOffset);
}

TimeZoneBytes ConstClockSettings::timeZoneBytes() const {
    return {ReadU8(bytes_, kTimeZoneHoursOffset), ReadU8(bytes_, kTimeZoneMinutesOffset)};
}
TimeZoneOffset ConstClockSettings::timeZone() const {
    return DecodeTimeZone(timeZoneBytes());
}

std::uint8_t ConstClockSettings::energySavingStartHour() const {
    return ReadU8(bytes_, kEnergySavingStartOffset);
}
std::uint8_t ConstClockSettings::energySavingEndHour() const {
    return ReadU8(bytes_, kEnergySavingEndOffset);
}
std::uint8_t ConstClockSettings::energySavingMode() const {
    return ReadU8(bytes_, kEnergySavingModeOffset);
}

std::uint8_t ConstClockSettings::timeServerInUse() const {
    return static_cast<std::uint8_t>(ReadU8(bytes_, kTimeServerInUseOffset) >>
                                     kTimeServerInUseShift);
}

TimeServerRow ConstClockSettings::timeServerRow(std::size_t index) const {
    if (index >= kTimeServerRowCount) {
        return {};
    }
    const std::size_t offset = RowOffset(index);
    return {ReadIpv4(bytes_, offset + kRowAddressOffset),
            ReadU16Le(bytes_, offset + kRowPortOffset), ReadU16Le(bytes_, offset + kRowKeyIdOffset),
            ReadText(bytes_, offset + kRowKeyOffset, kRowKeySize)};
}

bool ConstClockSettings::timeServersByName() const {
    return timeServersByNameByte() == kTimeServersByNameMarker;
}
std::uint8_t ConstClockSettings::timeServersByNameByte() const {
    return ReadU8(bytes_, kTimeServersByNameOffset);
}
std::string ConstClockSettings::domainName(std::size_t index) const {
    if (index >= kDomainNameOffsets.size()) {
        return {};
    }
    return ReadText(bytes_, kDomainNameOffsets[index], kDomainNameSize);
}

std::uint8_t ConstClockSettings::humitureUnitByte() const {
    return ReadU8(bytes_, kHumitureUnitOffset);
}
HumitureUnit ConstClockSettings::humitureUnit() const {
    return HumitureUnitFromByte(humitureUnitByte());
}
float ConstClockSettings::temperature() const {
    return ReadFloatLe(bytes_, kTemperatureOffset);
}
float ConstClockSettings::humidity() const {
    return ReadFloatLe(bytes_, kHumidityOffset);
}
std::uint8_t ConstClockSettings::timeDisplayDuration() const {
    return ReadU8(bytes_, kTimeDisplayDurationOffset);
}
std::uint8_t ConstClockSettings::temperatureDisplayDuration() const {
    return ReadU8(bytes_, kTemperatureDisplayDurationOffset);
}
std::uint8_t ConstClockSettings::humidityDisplayDuration() const {
    return ReadU8(bytes_, kHumidityDisplayDurationOffset);
}

ClockTime ConstClockSettings::countDownStart() const {
    return ReadClockTime(bytes_, kCountDownStartOffset);
}
ClockTime ConstClockSettings::countDownDuration() const {
    return ReadClockTime(bytes_, kCountDownDurationOffset);
}

std::string ConstClockSettings::userPassword() const {
    return ReadText(bytes_, kUserPasswordOffset, kPasswordSize);
}
std::string ConstClockSettings::globalPassword() const {
    return ReadText(bytes_, kGlobalPasswordOffset, kPasswordSize);
}
std::string ConstClockSettings::displayText() const {
    return ReadText(bytes_, kDisplayTextOffset, kDisplayTextSize);
}
std::uint8_t ConstClockSettings::textDisplayMode() const {
    return ReadU8(bytes_, kTextDisplayModeOffset);
}

std::string ConstClockSettings::mailSenderName() const {
    return ReadText(bytes_, kMailSenderNameOffset, kMailSenderNameSize);
}
std::string ConstClockSettings::mailSenderDomain() const {
    return ReadText(bytes_, kMailSenderDomainOffset, kMailSenderDomainSize);
}
std::string ConstClockSettings::mailSendTo() const {
    return ReadText(bytes_, kMailSendToOffset, kMailSendToSize);
}
std::string ConstClockSettings::mailCopyTo() const {
    return ReadText(bytes_, kMailCopyToOffset, kMailCopyToSize);
}
std::uint8_t ConstClockSettings::sensorState() const {
    return ReadU8(bytes_, kSensorStateOffset);
}

// --- ClockSettings ---

void ClockSettings::setVersion(std::uint16_t version) const {
    WriteU16Le(bytes_, kVersionOffset, version);
}
void ClockSettings::setSerialNumber(std::string_view text) const {
    WriteText(bytes_, kSerialNumberOffset, kSerialNumberSize, text);
}
void ClockSettings::setIpAddress(platform::Ipv4 address) const {
    WriteIpv4(bytes_, kIpAddressOffset, address);
}
void ClockSettings::setSubnetMask(platform::Ipv4 address) const {
    WriteIpv4(bytes_, kSubnetMaskOffset, address);
}
void ClockSettings::setGateway(platform::Ipv4 address) const {
    WriteIpv4(bytes_, kGatewayOffset, address);
}
void ClockSettings::setDnsServer(platform::Ipv4 address) const {
    WriteIpv4(bytes_, kDnsServerOffset, address);
}
void ClockSettings::setDstStart(const DstBytes& bytes) const {
    WriteDstBytes(bytes_, kDstStartOffset, bytes);
}
void ClockSettings::setDstEnd(const DstBytes& bytes) const {
    WriteDstBytes(bytes_, kDstEndOffset, bytes);
}

void ClockSettings::setFlags(std::uint8_t flags) const {
    WriteU8(bytes_, kFlagsOffset, flags);
}
void ClockSettings::setRequestBit(bool on) const {
    setFlags(WithBit(flags(), kRequestBit, on));
}
void ClockSettings::setTwentyFourHourDisplay(bool on) const {
    setFlags(WithBit(flags(), kTwentyFourHourBit, on));
}
void ClockSettings::setDynamicIp(bool on) const {
    setFlags(WithBit(flags(), kDynamicIpBit, on));
}
void ClockSettings::setBatchBit(bool on) const {
    setFlags(WithBit(flags(), kBatchBit, on));
}
void ClockSettings::setBrightness(std::uint8_t code) const {
    const auto bits = static_cast<std::uint8_t>((code << kBrightnessShift) & kBrightnessMask);
    setFlags(static_cast<std::uint8_t>((flags() & ~kBrightnessMask) | bits));
}
void ClockSettings::setFrameType(std::uint8_t type) const {
    WriteU8(bytes_, kFrameTypeOffset, type);
}

void ClockSettings::setTimeZoneBytes(TimeZoneBytes bytes) const {
    WriteU8(bytes_, kTimeZoneHoursOffset, bytes.hours);
    WriteU8(bytes_, kTimeZoneMinutesOffset, bytes.minutes);
}
void ClockSettings::setTimeZone(TimeZoneOffset offset) const {
    setTimeZoneBytes(EncodeTimeZone(offset));
}

void ClockSettings::setEnergySavingStartHour(std::uint8_t hour) const {
    WriteU8(bytes_, kEnergySavingStartOffset, hour);
}
void ClockSettings::setEnergySavingEndHour(std::uint8_t hour) const {
    WriteU8(bytes_, kEnergySavingEndOffset, hour);
}
void ClockSettings::setEnergySavingMode(std::uint8_t mode) const {
    WriteU8(bytes_, kEnergySavingModeOffset, mode);
}

void ClockSettings::setTimeServerInUse(std::uint8_t row) const {
    WriteU8(bytes_, kTimeServerInUseOffset,
            static_cast<std::uint8_t>((row & kNibbleMask) << kTimeServerInUseShift));
}
void ClockSettings::setTimeServerRow(std::size_t index, const TimeServerRow& row) const {
    if (index >= kTimeServerRowCount) {
        return;
    }
    const std::size_t offset = RowOffset(index);
    WriteIpv4(bytes_, offset + kRowAddressOffset, row.address);
    WriteU16Le(bytes_, offset + kRowPortOffset, row.port);
    WriteU16Le(bytes_, offset + kRowKeyIdOffset, row.keyId);
    WriteText(bytes_, offset + kRowKeyOffset, kRowKeySize, row.key);
}
void ClockSettings::setTimeServersByNameByte(std::uint8_t value) const {
    WriteU8(bytes_, kTimeServersByNameOffset, value);
}
void ClockSettings::setDomainName(std::size_t index, std::string_view name) const {
    if (index >= kDomainNameOffsets.size()) {
        return;
    }
    WriteText(bytes_, kDomainNameOffsets[index], kDomainNameSize, name);
}

void ClockSettings::setHumitureUnitByte(std::uint8_t value) const {
    WriteU8(bytes_, kHumitureUnitOffset, value);
}
void ClockSettings::setTemperature(float value) const {
    WriteFloatLe(bytes_, kTemperatureOffset, value);
}
void ClockSettings::setHumidity(float value) const {
    WriteFloatLe(bytes_, kHumidityOffset, value);
}
void ClockSettings::setTimeDisplayDuration(std::uint8_t seconds) const {
    WriteU8(bytes_, kTimeDisplayDurationOffset, seconds);
}
void ClockSettings::setTemperatureDisplayDuration(std::uint8_t seconds) const {
    WriteU8(bytes_, kTemperatureDisplayDurationOffset, seconds);
}
void ClockSettings::setHumidityDisplayDuration(std::uint8_t seconds) const {
    WriteU8(bytes_, kHumidityDisplayDurationOffset, seconds);
}

void ClockSettings::setCountDownStart(const ClockTime& time) const {
    WriteClockTime(bytes_, kCountDownStartOffset, time);
}
void ClockSettings::setCountDownDuration(const ClockTime& time) const {
    WriteClockTime(bytes_, kCountDownDurationOffset, time);
}

void ClockSettings::setUserPassword(std::string_view text) const {
    WriteText(bytes_, kUserPasswordOffset, kPasswordSize, text);
}
void ClockSettings::setGlobalPassword(std::string_view text) const {
    WriteText(bytes_, kGlobalPasswordOffset, kPasswordSize, text);
}
void ClockSettings::setDisplayText(std::string_view text) const {
    WriteText(bytes_, kDisplayTextOffset, kDisplayTextSize, text);
}
void ClockSettings::setTextDisplayMode(std::uint8_t mode) const {
    WriteU8(bytes_, kTextDisplayModeOffset, mode);
}

void ClockSettings::setMailSenderName(std::string_view text) const {
    WriteText(bytes_, kMailSenderNameOffset, kMailSenderNameSize, text);
}
void ClockSettings::setMailSenderDomain(std::string_view text) const {
    WriteText(bytes_, kMailSenderDomainOffset, kMailSenderDomainSize, text);
}
void ClockSettings::setMailSendTo(std::string_view text) const {
    WriteText(bytes_, kMailSendToOffset, kMailSendToSize, text);
}
void ClockSettings::setMailCopyTo(std::string_view text) const {
    WriteText(bytes_, kMailCopyToOffset, kMailCopyToSize, text);
}
void ClockSettings::setSensorState(std::uint8_t value) const {
    WriteU8(bytes_, kSensorStateOffset, value);
}

// --- Shared encoders and decoders ---

TimeServerTable LoadTimeServers(ConstClockSettings settings) {
    TimeServerTable table;
    if (settings.timeServersByName()) {
        table.mode = TimeServerMode::kByDomainName;
        for (std::size_t i = 0; i < kDomainNameRowCount; ++i) {
            table.domainNames[i] = settings.domainName(i);
            TimeServerRow row = settings.timeServerRow(i);
            row.address = 0;  // the address fields are not used by name
            table.rows[i] = std::move(row);
        }
        return table;
    }
    table.mode = TimeServerMode::kByAddress;
    for (std::size_t i = 0; i < kTimeServerRowCount; ++i) {
        table.rows[i] = settings.timeServerRow(i);
    }
    return table;
}

void StoreTimeServers(ClockSettings settings, const TimeServerTable& table) {
    const auto bytes = settings.mutableBytes();
    if (table.mode == TimeServerMode::kByDomainName) {
        for (std::size_t i = 0; i < kDomainNameRowCount; ++i) {
            StoreRowDetails(settings, i, table.rows[i]);
        }
        for (std::size_t i = 0; i < kDomainNameRowCount; ++i) {
            settings.setDomainName(i, table.domainNames[i]);
        }
        settings.setTimeServersByNameByte(kTimeServersByNameMarker);
        return;
    }
    for (std::size_t i = 0; i < kTimeServerRowCount; ++i) {
        StoreRowDetails(settings, i, table.rows[i]);
        WriteIpv4(bytes, RowOffset(i) + kRowAddressOffset, table.rows[i].address);
    }
}

std::optional<DstRule> LoadDst(ConstClockSettings settings) {
    const DstBytes start = settings.dstStart();
    const DstBytes end = settings.dstEnd();
    const bool noMonths = start.month == 0 && end.month == 0;
    const bool noWeekdays = start.weekAndWeekday == 0 && end.weekAndWeekday == 0;
    if (noMonths || noWeekdays) {
        return std::nullopt;
    }
    return DstRule{UnpackDstTransition(start), UnpackDstTransition(end)};
}

void StoreDst(ClockSettings settings, const std::optional<DstRule>& rule) {
    WriteDstRule(settings.mutableBytes(), kDstStartOffset, kDstEndOffset, rule);
}

bool StoreCountDown(ClockSettings settings, const ClockTime& start, const ClockTime& duration) {
    if (!IsTimeOfDay(start)) {
        return false;
    }
    settings.setCountDownStart(start);
    settings.setCountDownDuration(duration);
    return true;
}

void StoreSerialNumber(ClockSettings settings, std::string_view text) {
    settings.setSerialNumber(text);
}

}  // namespace tavlo::settings
