// The settings bytes of an early-version clock inside the 95-byte CommandFrame, read and
// written in place. ConstEarlyClockSettings reads a frame; EarlyClockSettings also writes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Network.h"
#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"
#include "settings/ClockSettings.h"
#include "settings/TimeZone.h"

namespace tavlo::settings {

using CommandBytes = std::span<std::uint8_t, protocol::kCommandFrameSize>;
using ConstCommandBytes = std::span<const std::uint8_t, protocol::kCommandFrameSize>;

namespace early {

// Field offsets from the start of the CommandFrame.
inline constexpr std::size_t kDstStartOffset = 2;  // month (0 = off), week-and-weekday, hour
inline constexpr std::size_t kDstEndOffset = 5;    // month, week-and-weekday, hour
inline constexpr std::size_t kRequestMarkerOffset = 12;
inline constexpr std::size_t kCommandCodeOffset = 13;
inline constexpr std::size_t kTimeZoneHoursOffset = 15;
inline constexpr std::size_t kTimeZoneMinutesOffset = 16;
inline constexpr std::size_t kTimeFormatOffset = 18;  // 12 or 24
inline constexpr std::size_t kBrightnessOffset = 19;
inline constexpr std::size_t kEnergySavingStartOffset = 20;
inline constexpr std::size_t kEnergySavingEndOffset = 21;
inline constexpr std::size_t kTimeServerCountOffset = 22;
inline constexpr std::size_t kDynamicIpOffset = 23;
inline constexpr std::size_t kTimeServerAddressesOffset = 28;  // 5 x IPv4
inline constexpr std::size_t kIpAddressOffset = 48;
inline constexpr std::size_t kSubnetMaskOffset = 52;
inline constexpr std::size_t kGatewayOffset = 56;
inline constexpr std::size_t kDnsServerOffset = 60;
inline constexpr std::size_t kTimeServerInUseOffset = 64;  // the address the clock uses now
inline constexpr std::size_t kSerialNumberOffset = 68;
inline constexpr std::size_t kSerialNumberSize = 26;  // NUL-terminated
inline constexpr std::size_t kMaxSerialNumberLength = 25;
inline constexpr std::size_t kChecksumOffset = 94;

inline constexpr std::size_t kTimeServerCount = 5;
inline constexpr std::size_t kAddressSize = 4;

inline constexpr std::uint8_t kTimeFormat12 = 12;
inline constexpr std::uint8_t kTimeFormat24 = 24;
inline constexpr std::uint8_t kDynamicIp = 1;
inline constexpr std::uint8_t kStaticIp = 0;

static_assert(kTimeServerAddressesOffset + kTimeServerCount * kAddressSize == kIpAddressOffset);
static_assert(kSerialNumberOffset + kSerialNumberSize == kChecksumOffset);
static_assert(kChecksumOffset < protocol::kCommandFrameSize);
// The header fields this record shares with the frame layer.
static_assert(kRequestMarkerOffset == protocol::kRequestMarkerOffset &&
              kCommandCodeOffset == protocol::kCommandCodeOffset &&
              kChecksumOffset == protocol::kChecksumOffset);
static_assert(kSerialNumberOffset == protocol::kEarlySerialNumberOffset &&
              kSerialNumberSize == protocol::kEarlySerialNumberSize);

}  // namespace early

class ConstEarlyClockSettings {
  public:
    // NOLINTNEXTLINE(google-explicit-constructor): a view of the frame it is made from.
    ConstEarlyClockSettings(ConstCommandBytes bytes) : bytes_(bytes) {}
    // NOLINTNEXTLINE(google-explicit-constructor)
    ConstEarlyClockSettings(const protocol::CommandFrame& frame) : bytes_(frame) {}

    ConstCommandBytes bytes() const { return bytes_; }

    DstBytes dstStart() const;
    DstBytes dstEnd() const;
    std::uint8_t requestMarker() const;
    std::uint8_t commandCode() const;
    TimeZoneBytes timeZoneBytes() const;
    TimeZoneOffset timeZone() const;     // only the low four bits are hours
    std::uint8_t timeFormat() const;     // 12 or 24
    bool twentyFourHourDisplay() const;  // anything but 12
    std::uint8_t brightness() const;
    std::uint8_t energySavingStartHour() const;
    std::uint8_t energySavingEndHour() const;
    std::uint8_t timeServerCount() const;
    bool dynamicIp() const;  // byte 23 is 1
    // index 0 to 4 (row 1 to 5); an index past the table reads 0.
    platform::Ipv4 timeServerAddress(std::size_t index) const;
    platform::Ipv4 ipAddress() const;
    platform::Ipv4 subnetMask() const;
    platform::Ipv4 gateway() const;
    platform::Ipv4 dnsServer() const;
    platform::Ipv4 timeServerInUse() const;
    std::string serialNumber() const;  // up to the first NUL, never past the field
    std::uint8_t checksum() const;

  private:
    ConstCommandBytes bytes_;
};

class EarlyClockSettings : public ConstEarlyClockSettings {
  public:
    // NOLINTNEXTLINE(google-explicit-constructor): a view of the frame it is made from.
    EarlyClockSettings(CommandBytes bytes) : ConstEarlyClockSettings(bytes), bytes_(bytes) {}
    // NOLINTNEXTLINE(google-explicit-constructor)
    EarlyClockSettings(protocol::CommandFrame& frame) : EarlyClockSettings(CommandBytes(frame)) {}

    CommandBytes mutableBytes() const { return bytes_; }

    void setDstStart(const DstBytes& bytes) const;
    void setDstEnd(const DstBytes& bytes) const;
    void setRequestMarker(std::uint8_t marker) const;
    void setCommandCode(std::uint8_t code) const;
    void setTimeZoneBytes(TimeZoneBytes bytes) const;
    void setTimeZone(TimeZoneOffset offset) const;  // EncodeEarlyTimeZone, no range checks
    void setTimeFormat(std::uint8_t format) const;
    void setBrightness(std::uint8_t code) const;
    void setEnergySavingStartHour(std::uint8_t hour) const;
    void setEnergySavingEndHour(std::uint8_t hour) const;
    void setTimeServerCount(std::uint8_t count) const;
    void setDynamicIp(bool on) const;
    void setTimeServerAddress(std::size_t index, platform::Ipv4 address) const;
    void setIpAddress(platform::Ipv4 address) const;
    void setSubnetMask(platform::Ipv4 address) const;
    void setGateway(platform::Ipv4 address) const;
    void setDnsServer(platform::Ipv4 address) const;
    void setTimeServerInUse(platform::Ipv4 address) const;
    // At most 25 characters, so the field always keeps its NUL terminator.
    void setSerialNumber(std::string_view text) const;
    void setChecksum(std::uint8_t value) const;

  private:
    CommandBytes bytes_;
};

// Enabled exactly when the start month is not 0.
std::optional<DstRule> LoadEarlyDst(ConstEarlyClockSettings settings);
// Nothing writes bytes 2 to 7 as zeros; a rule writes month, week x 16 + weekday and hour for
// the start and then for the end.
void StoreEarlyDst(EarlyClockSettings settings, const std::optional<DstRule>& rule);

// The row (0 to 4) whose address is the one the clock uses now; the last such row when several
// match. Nothing when the clock reports no address (0) or no row holds it.
std::optional<std::size_t> EarlyTimeServerInUseRow(ConstEarlyClockSettings settings);

}  // namespace tavlo::settings
