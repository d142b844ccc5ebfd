#include "settings/EarlyClockSettings.h"

#include "settings/ByteFields.h"

namespace tavlo::settings {

namespace {

constexpr std::size_t ServerOffset(std::size_t index) {
    return early::kTimeServerAddressesOffset + index * early::kAddressSize;
}

}  // namespace

// --- ConstEarlyClockSettings ---

DstBytes ConstEarlyClockSettings::dstStart() const {
    return ReadDstBytes(bytes_, early::kDstStartOffset);
}
DstBytes ConstEarlyClockSettings::dstEnd() const {
    return ReadDstBytes(bytes_, early::kDstEndOffset);
}
std::uint8_t ConstEarlyClockSettings::requestMarker() const {
    return ReadU8(bytes_, early::kRequestMarkerOffset);
}
std::uint8_t ConstEarlyClockSettings::commandCode() const {
    return ReadU8(bytes_, early::kCommandCodeOffset);
}
TimeZoneBytes ConstEarlyClockSettings::timeZoneBytes() const {
    return {ReadU8(bytes_, early::kTimeZoneHoursOffset),
            ReadU8(bytes_, early::kTimeZoneMinutesOffset)};
}
TimeZoneOffset ConstEarlyClockSettings::timeZone() const {
    return DecodeEarlyTimeZone(timeZoneBytes());
}
std::uint8_t ConstEarlyClockSettings::timeFormat() const {
    return ReadU8(bytes_, early::kTimeFormatOffset);
}
bool ConstEarlyClockSettings::twentyFourHourDisplay() const {
    return timeFormat() != early::kTimeFormat12;
}
std::uint8_t ConstEarlyClockSettings::brightness() const {
    return ReadU8(bytes_, early::kBrightnessOffset);
}
std::uint8_t ConstEarlyClockSettings::energySavingStartHour() const {
    return ReadU8(bytes_, early::kEnergySavingStartOffset);
}
std::uint8_t ConstEarlyClockSettings::energySavingEndHour() const {
    return ReadU8(bytes_, early::kEnergySavingEndOffset);
}
std::uint8_t ConstEarlyClockSettings::timeServerCount() const {
    return ReadU8(bytes_, early::kTimeServerCountOffset);
}
bool ConstEarlyClockSettings::dynamicIp() const {
    return ReadU8(bytes_, early::kDynamicIpOffset) == early::kDynamicIp;
}
platform::Ipv4 ConstEarlyClockSettings::timeServerAddress(std::size_t index) const {
    if (index >= early::kTimeServerCount) {
        return 0;
    }
    return ReadIpv4(bytes_, ServerOffset(index));
}
platform::Ipv4 ConstEarlyClockSettings::ipAddress() const {
    return ReadIpv4(bytes_, early::kIpAddressOffset);
}
platform::Ipv4 ConstEarlyClockSettings::subnetMask() const {
    return ReadIpv4(bytes_, early::kSubnetMaskOffset);
}
platform::Ipv4 ConstEarlyClockSettings::gateway() const {
    return ReadIpv4(bytes_, early::kGatewayOffset);
}
platform::Ipv4 ConstEarlyClockSettings::dnsServer() const {
    return ReadIpv4(bytes_, early::kDnsServerOffset);
}
platform::Ipv4 ConstEarlyClockSettings::timeServerInUse() const {
    return ReadIpv4(bytes_, early::kTimeServerInUseOffset);
}
std::string ConstEarlyClockSettings::serialNumber() const {
    return ReadText(bytes_, early::kSerialNumberOffset, early::kSerialNumberSize);
}
std::uint8_t ConstEarlyClockSettings::checksum() const {
    return ReadU8(bytes_, early::kChecksumOffset);
}

// --- EarlyClockSettings ---

void EarlyClockSettings::setDstStart(const DstBytes& bytes) const {
    WriteDstBytes(bytes_, early::kDstStartOffset, bytes);
}
void EarlyClockSettings::setDstEnd(const DstBytes& bytes) const {
    WriteDstBytes(bytes_, early::kDstEndOffset, bytes);
}
void EarlyClockSettings::setRequestMarker(std::uint8_t marker) const {
    WriteU8(bytes_, early::kRequestMarkerOffset, marker);
}
void EarlyClockSettings::setCommandCode(std::uint8_t code) const {
    WriteU8(bytes_, early::kCommandCodeOffset, code);
}
void EarlyClockSettings::setTimeZoneBytes(TimeZoneBytes bytes) const {
    WriteU8(bytes_, early::kTimeZoneHoursOffset, bytes.hours);
    WriteU8(bytes_, early::kTimeZoneMinutesOffset, bytes.minutes);
}
void EarlyClockSettings::setTimeZone(TimeZoneOffset offset) const {
    setTimeZoneBytes(EncodeEarlyTimeZone(offset));
}
void EarlyClockSettings::setTimeFormat(std::uint8_t format) const {
    WriteU8(bytes_, early::kTimeFormatOffset, format);
}
void EarlyClockSettings::setBrightness(std::uint8_t code) const {
    WriteU8(bytes_, early::kBrightnessOffset, code);
}
void EarlyClockSettings::setEnergySavingStartHour(std::uint8_t hour) const {
    WriteU8(bytes_, early::kEnergySavingStartOffset, hour);
}
void EarlyClockSettings::setEnergySavingEndHour(std::uint8_t hour) const {
    WriteU8(bytes_, early::kEnergySavingEndOffset, hour);
}
void EarlyClockSettings::setTimeServerCount(std::uint8_t count) const {
    WriteU8(bytes_, early::kTimeServerCountOffset, count);
}
void EarlyClockSettings::setDynamicIp(bool on) const {
    WriteU8(bytes_, early::kDynamicIpOffset, on ? early::kDynamicIp : early::kStaticIp);
}
void EarlyClockSettings::setTimeServerAddress(std::size_t index, platform::Ipv4 address) const {
    if (index >= early::kTimeServerCount) {
        return;
    }
    WriteIpv4(bytes_, ServerOffset(index), address);
}
void EarlyClockSettings::setIpAddress(platform::Ipv4 address) const {
    WriteIpv4(bytes_, early::kIpAddressOffset, address);
}
void EarlyClockSettings::setSubnetMask(platform::Ipv4 address) const {
    WriteIpv4(bytes_, early::kSubnetMaskOffset, address);
}
void EarlyClockSettings::setGateway(platform::Ipv4 address) const {
    WriteIpv4(bytes_, early::kGatewayOffset, address);
}
void EarlyClockSettings::setDnsServer(platform::Ipv4 address) const {
    WriteIpv4(bytes_, early::kDnsServerOffset, address);
}
void EarlyClockSettings::setTimeServerInUse(platform::Ipv4 address) const {
    WriteIpv4(bytes_, early::kTimeServerInUseOffset, address);
}
void EarlyClockSettings::setSerialNumber(std::string_view text) const {
    // The text takes at most 25 bytes; the 26th always stays NUL.
    WriteText(bytes_, early::kSerialNumberOffset, early::kMaxSerialNumberLength, text);
    WriteU8(bytes_, early::kSerialNumberOffset + early::kMaxSerialNumberLength, 0);
}
void EarlyClockSettings::setChecksum(std::uint8_t value) const {
    WriteU8(bytes_, early::kChecksumOffset, value);
}

// --- Shared encoders and decoders ---

std::optional<DstRule> LoadEarlyDst(ConstEarlyClockSettings settings) {
    const DstBytes start = settings.dstStart();
    if (start.month == 0) {
        return std::nullopt;
    }
    return DstRule{UnpackDstTransition(start), UnpackDstTransition(settings.dstEnd())};
}

void StoreEarlyDst(EarlyClockSettings settings, const std::optional<DstRule>& rule) {
    WriteDstRule(settings.mutableBytes(), early::kDstStartOffset, early::kDstEndOffset, rule);
}

std::optional<std::size_t> EarlyTimeServerInUseRow(ConstEarlyClockSettings settings) {
    const platform::Ipv4 inUse = settings.timeServerInUse();
    if (inUse == 0) {
        return std::nullopt;
    }
    std::optional<std::size_t> row;
    for (std::size_t i = 0; i < early::kTimeServerCount; ++i) {
        if (settings.timeServerAddress(i) == inUse) {
            row = i;
        }
    }
    return row;
}

}  // namespace tavlo::settings
