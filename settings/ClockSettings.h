// The settings bytes of a current clock inside the 772-byte SettingsFrame, read and written
// in place. ConstClockSettings reads a frame; ClockSettings also writes it. Neither owns or
// copies the bytes: both are views over the frame they are made from.
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
#include "settings/TimeZone.h"

namespace tavlo::settings {

using SettingsBytes = std::span<std::uint8_t, protocol::kSettingsFrameSize>;
using ConstSettingsBytes = std::span<const std::uint8_t, protocol::kSettingsFrameSize>;

// Field offsets from the start of the SettingsFrame.
inline constexpr std::size_t kVersionOffset = 2;  // u16: version x 100
inline constexpr std::size_t kSerialNumberOffset = 4;
inline constexpr std::size_t kSerialNumberSize = 20;
inline constexpr std::size_t kIpAddressOffset = 24;
inline constexpr std::size_t kSubnetMaskOffset = 28;
inline constexpr std::size_t kGatewayOffset = 32;
inline constexpr std::size_t kDnsServerOffset = 36;
inline constexpr std::size_t kDstStartOffset = 40;  // month, week-and-weekday, hour
inline constexpr std::size_t kDstEndOffset = 43;    // month, week-and-weekday, hour
inline constexpr std::size_t kFlagsOffset = 46;
inline constexpr std::size_t kFrameTypeOffset = 47;
inline constexpr std::size_t kTimeZoneHoursOffset = 48;
inline constexpr std::size_t kTimeZoneMinutesOffset = 49;
inline constexpr std::size_t kEnergySavingStartOffset = 50;
inline constexpr std::size_t kEnergySavingEndOffset = 51;
inline constexpr std::size_t kEnergySavingModeOffset = 52;
inline constexpr std::size_t kTimeServerInUseOffset = 53;
inline constexpr std::size_t kTimeServerTableOffset = 54;
inline constexpr std::size_t kHumitureUnitOffset = 134;
inline constexpr std::size_t kTemperatureOffset = 135;  // float
inline constexpr std::size_t kHumidityOffset = 139;     // float
inline constexpr std::size_t kTimeDisplayDurationOffset = 143;
inline constexpr std::size_t kTemperatureDisplayDurationOffset = 144;
inline constexpr std::size_t kHumidityDisplayDurationOffset = 145;
inline constexpr std::size_t kCountDownStartOffset = 146;     // hour, minute, second
inline constexpr std::size_t kCountDownDurationOffset = 149;  // hours, minutes, seconds
inline constexpr std::size_t kUserPasswordOffset = 152;
inline constexpr std::size_t kGlobalPasswordOffset = 160;
inline constexpr std::size_t kPasswordSize = 8;
inline constexpr std::size_t kDisplayTextOffset = 168;
inline constexpr std::size_t kDisplayTextSize = 32;
inline constexpr std::size_t kTextDisplayModeOffset = 200;
inline constexpr std::size_t kTimeServersByNameOffset = 201;
inline constexpr std::array<std::size_t, 2> kDomainNameOffsets{202, 232};
inline constexpr std::size_t kDomainNameSize = 30;
inline constexpr std::size_t kWifiFieldsOffset = 288;  // laid out by the Wi-Fi codec
inline constexpr std::size_t kWifiFieldsSize = 59;
inline constexpr std::size_t kMailSenderNameOffset = 347;
inline constexpr std::size_t kMailSenderNameSize = 21;
inline constexpr std::size_t kMailSenderDomainOffset = 368;
inline constexpr std::size_t kMailSenderDomainSize = 21;
inline constexpr std::size_t kMailSendToOffset = 389;
inline constexpr std::size_t kMailSendToSize = 41;
inline constexpr std::size_t kMailCopyToOffset = 430;
inline constexpr std::size_t kMailCopyToSize = 41;
inline constexpr std::size_t kSensorStateOffset = 471;

// Inside one TimeServerRow of the time-server table.
inline constexpr std::size_t kTimeServerRowCount = 5;
inline constexpr std::size_t kTimeServerRowSize = 16;
inline constexpr std::size_t kRowAddressOffset = 0;
inline constexpr std::size_t kRowPortOffset = 4;   // u16
inline constexpr std::size_t kRowKeyIdOffset = 6;  // u16
inline constexpr std::size_t kRowKeyOffset = 8;
inline constexpr std::size_t kRowKeySize = 8;
inline constexpr std::size_t kDomainNameRowCount = 2;

static_assert(kTimeServerTableOffset + kTimeServerRowCount * kTimeServerRowSize ==
              kHumitureUnitOffset);
static_assert(kSensorStateOffset < protocol::kSettingsFrameSize);
// The header fields this record shares with the frame layer.
static_assert(kSerialNumberOffset == protocol::kSerialNumberOffset &&
              kSerialNumberSize == protocol::kSerialNumberSize);
static_assert(kFlagsOffset == protocol::kFlagsOffset &&
              kFrameTypeOffset == protocol::kFrameTypeOffset);
static_assert(kUserPasswordOffset == protocol::kUserPasswordOffset &&
              kGlobalPasswordOffset == protocol::kGlobalPasswordOffset &&
              kPasswordSize == protocol::kPasswordSize);

// Bits of the flags byte (46).
inline constexpr std::uint8_t kRequestBit = protocol::kFlagCarriedOut;  // request / carried out
inline constexpr std::uint8_t kTwentyFourHourBit = 0x04;
inline constexpr std::uint8_t kDynamicIpBit = 0x08;
inline constexpr std::uint8_t kBatchBit = 0x10;
inline constexpr unsigned kBrightnessShift = 5;
inline constexpr std::uint8_t kBrightnessMask = 0xE0;

// Byte 53: the row in use sits in the high four bits.
inline constexpr unsigned kTimeServerInUseShift = 4;

// Byte 201.
inline constexpr std::uint8_t kTimeServersByNameMarker = 1;

// Defaults that every write request of the Basic page carries.
inline constexpr std::string_view kDefaultUserPassword = "omber";
inline constexpr std::string_view kDefaultGlobalPassword = "tarnfelk";

// Brightness codes (flag bits 5 to 7 here, byte 19 for early-version clocks).
enum class Brightness : std::uint8_t {
    kOff = 0,
    kDim = 1,
    kNormal = 2,
    kBright = 3,
    kBrilliant = 4
};
// Names by code.
inline constexpr std::array<std::string_view, 5> kBrightnessNames{"OFF", "Dim", "Normal", "Bright",
                                                                  "Brilliant"};
// The name of a brightness code; nothing for codes 5 to 7 (not used).
std::optional<std::string_view> BrightnessName(std::uint8_t code);
// The code of a brightness name (exact match); nothing for other texts.
std::optional<std::uint8_t> BrightnessCode(std::string_view name);

// Byte 52: what the display does in the energy-saving period.
enum class EnergySavingMode : std::uint8_t { kDisplayDim = 0, kDisplayClose = 1 };
inline constexpr std::array<std::string_view, 2> kEnergySavingModeNames{"Display Dim",
                                                                        "Display Close"};

// Byte 134: the humiture sensor and its unit.
enum class HumitureUnit : std::uint8_t { kNone = 0, kCelsius = 1, kFahrenheit = 2 };
// Every non-zero value other than 1 reads as Fahrenheit.
HumitureUnit HumitureUnitFromByte(std::uint8_t value);

// Byte 200: 0 rolls the text; 2 to 5 alternate it with the time every that many seconds.
inline constexpr std::uint8_t kTextDisplayRoll = 0;
inline constexpr std::uint8_t kMinAlternateSeconds = 2;
inline constexpr std::uint8_t kMaxAlternateSeconds = 5;

// Display durations (bytes 143 to 145), seconds.
inline constexpr std::uint8_t kMinDisplayDuration = 2;
inline constexpr std::uint8_t kMaxDisplayDuration = 15;

// A time of day or a duration, one byte each.
struct ClockTime {
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    std::uint8_t seconds = 0;
    friend bool operator==(const ClockTime&, const ClockTime&) = default;
};

inline constexpr std::uint8_t kMaxHour = 23;
inline constexpr std::uint8_t kMaxMinute = 59;
inline constexpr std::uint8_t kMaxSecond = 59;

// The three raw bytes of one daylight-saving transition.
struct DstBytes {
    std::uint8_t month = 0;
    std::uint8_t weekAndWeekday = 0;  // week in the high four bits, weekday in the low four
    std::uint8_t hour = 0;
    friend bool operator==(const DstBytes&, const DstBytes&) = default;
};

// One transition of the daylight-saving rule: month 1 = January ... 12 = December; week
// 1 = First ... 5 = Fifth, 6 = Last; weekday 1 = Monday ... 7 = Sunday; hour 0 to 23.
struct DstTransition {
    std::uint8_t month = 0;
    std::uint8_t week = 0;
    std::uint8_t weekday = 0;
    std::uint8_t hour = 0;
    friend bool operator==(const DstTransition&, const DstTransition&) = default;
};

struct DstRule {
    DstTransition start;
    DstTransition end;
    friend bool operator==(const DstRule&, const DstRule&) = default;
};

inline constexpr unsigned kWeekShift = 4;
inline constexpr std::uint8_t kNibbleMask = 0x0F;
// Names in list order (week 1 = "First", weekday 1 = "Mon", month 1 = "Jan").
inline constexpr std::array<std::string_view, 6> kDstWeekNames{"First",  "Second", "Third",
                                                               "Fourth", "Fifth",  "Last"};
inline constexpr std::array<std::string_view, 7> kDstWeekdayNames{"Mon", "Tue", "Wed", "Thu",
                                                                  "Fri", "Sat", "Sun"};
inline constexpr std::array<std::string_view, 12> kDstMonthNames{
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

DstBytes PackDstTransition(const DstTransition& transition);
DstTransition UnpackDstTransition(const DstBytes& bytes);

// The three bytes of one transition at `offset` of a record (month, week-and-weekday, hour),
// shared by both settings layouts.
DstBytes ReadDstBytes(std::span<const std::uint8_t> bytes, std::size_t offset);
void WriteDstBytes(std::span<std::uint8_t> bytes, std::size_t offset, const DstBytes& value);
// A whole rule: the start transition at `startOffset`, the end at `endOffset`. Nothing
// (disabled) writes six zero bytes; a rule writes month, week x 16 + weekday and hour for the
// start and then for the end.
void WriteDstRule(std::span<std::uint8_t> bytes, std::size_t startOffset, std::size_t endOffset,
                  const std::optional<DstRule>& rule);

// One row of the time-server table, decoded.
struct TimeServerRow {
    platform::Ipv4 address = 0;  // network byte order; 0 = row empty
    std::uint16_t port = 0;      // 0 = not given
    std::uint16_t keyId = 0;     // 0 = no key
    std::string key;             // at most 8 characters
    friend bool operator==(const TimeServerRow&, const TimeServerRow&) = default;
};

class ConstClockSettings {
  public:
    // NOLINTNEXTLINE(google-explicit-constructor): a view of the frame it is made from.
    ConstClockSettings(ConstSettingsBytes bytes) : bytes_(bytes) {}
    // NOLINTNEXTLINE(google-explicit-constructor)
    ConstClockSettings(const protocol::SettingsFrame& frame) : bytes_(frame) {}

    ConstSettingsBytes bytes() const { return bytes_; }

    std::uint16_t version() const;  // version x 100
    std::string serialNumber() const;
    platform::Ipv4 ipAddress() const;
    platform::Ipv4 subnetMask() const;
    platform::Ipv4 gateway() const;
    platform::Ipv4 dnsServer() const;
    DstBytes dstStart() const;
    DstBytes dstEnd() const;

    std::uint8_t flags() const;
    bool requestBit() const;
    bool twentyFourHourDisplay() const;
    bool dynamicIp() const;
    bool batchBit() const;
    std::uint8_t brightness() const;  // flag bits 5 to 7, 0 to 7
    std::uint8_t frameType() const;

    TimeZoneBytes timeZoneBytes() const;
    TimeZoneOffset timeZone() const;

    std::uint8_t energySavingStartHour() const;
    std::uint8_t energySavingEndHour() const;
    std::uint8_t energySavingMode() const;  // raw byte 52; 0 = "Display Dim"

    std::uint8_t timeServerInUse() const;  // high four bits of byte 53: row 1 to 5, 0 none
    // Rows are numbered from 0 here (row 1 is index 0); an index past the table reads empty.
    TimeServerRow timeServerRow(std::size_t index) const;
    bool timeServersByName() const;                   // byte 201 is 1
    std::string domainName(std::size_t index) const;  // index 0 or 1
    std::uint8_t timeServersByNameByte() const;       // raw byte 201

    std::uint8_t humitureUnitByte() const;
    HumitureUnit humitureUnit() const;
    float temperature() const;
    float humidity() const;
    std::uint8_t timeDisplayDuration() const;
    std::uint8_t temperatureDisplayDuration() const;
    std::uint8_t humidityDisplayDuration() const;

    ClockTime countDownStart() const;
    ClockTime countDownDuration() const;

    std::string userPassword() const;
    std::string globalPassword() const;
    std::string displayText() const;
    std::uint8_t textDisplayMode() const;

    std::string mailSenderName() const;
    std::string mailSenderDomain() const;
    std::string mailSendTo() const;
    std::string mailCopyTo() const;
    std::uint8_t sensorState() const;

  private:
    ConstSettingsBytes bytes_;
};

class ClockSettings : public ConstClockSettings {
  public:
    // NOLINTNEXTLINE(google-explicit-constructor): a view of the frame it is made from.
    ClockSettings(SettingsBytes bytes) : ConstClockSettings(bytes), bytes_(bytes) {}
    // NOLINTNEXTLINE(google-explicit-constructor)
    ClockSettings(protocol::SettingsFrame& frame) : ClockSettings(SettingsBytes(frame)) {}

    SettingsBytes mutableBytes() const { return bytes_; }

    // Setters write through to the frame; the view itself does not change, so they are const.
    void setVersion(std::uint16_t version) const;
    void setSerialNumber(std::string_view text) const;  // at most 20 characters
    void setIpAddress(platform::Ipv4 address) const;
    void setSubnetMask(platform::Ipv4 address) const;
    void setGateway(platform::Ipv4 address) const;
    void setDnsServer(platform::Ipv4 address) const;
    void setDstStart(const DstBytes& bytes) const;
    void setDstEnd(const DstBytes& bytes) const;

    void setFlags(std::uint8_t flags) const;
    void setRequestBit(bool on) const;
    void setTwentyFourHourDisplay(bool on) const;
    void setDynamicIp(bool on) const;
    void setBatchBit(bool on) const;
    void setBrightness(std::uint8_t code) const;  // flag bits 5 to 7; lower bits unchanged
    void setFrameType(std::uint8_t type) const;

    void setTimeZoneBytes(TimeZoneBytes bytes) const;
    void setTimeZone(TimeZoneOffset offset) const;  // with the range checks of EncodeTimeZone

    void setEnergySavingStartHour(std::uint8_t hour) const;
    void setEnergySavingEndHour(std::uint8_t hour) const;
    void setEnergySavingMode(std::uint8_t mode) const;

    void setTimeServerInUse(std::uint8_t row) const;  // high four bits; low four become 0
    // Writes every field of the row as given (address, port, key ID, key NUL-padded).
    void setTimeServerRow(std::size_t index, const TimeServerRow& row) const;
    void setTimeServersByNameByte(std::uint8_t value) const;
    void setDomainName(std::size_t index, std::string_view name) const;  // at most 30

    void setHumitureUnitByte(std::uint8_t value) const;
    void setTemperature(float value) const;
    void setHumidity(float value) const;
    void setTimeDisplayDuration(std::uint8_t seconds) const;
    void setTemperatureDisplayDuration(std::uint8_t seconds) const;
    void setHumidityDisplayDuration(std::uint8_t seconds) const;

    void setCountDownStart(const ClockTime& time) const;  // unchecked; see StoreCountDown
    void setCountDownDuration(const ClockTime& time) const;

    void setUserPassword(std::string_view text) const;    // at most 8 characters
    void setGlobalPassword(std::string_view text) const;  // at most 8 characters
    void setDisplayText(std::string_view text) const;     // at most 32 characters
    void setTextDisplayMode(std::uint8_t mode) const;

    void setMailSenderName(std::string_view text) const;
    void setMailSenderDomain(std::string_view text) const;
    void setMailSendTo(std::string_view text) const;
    void setMailCopyTo(std::string_view text) const;
    void setSensorState(std::uint8_t value) const;

  private:
    SettingsBytes bytes_;
};

// --- The shared encoders and decoders of the pages ---

enum class TimeServerMode : std::uint8_t { kByAddress = 1, kByDomainName = 2 };

struct TimeServerTable {
    TimeServerMode mode = TimeServerMode::kByAddress;
    std::array<TimeServerRow, kTimeServerRowCount> rows{};
    std::array<std::string, kDomainNameRowCount> domainNames{};
    friend bool operator==(const TimeServerTable&, const TimeServerTable&) = default;
};

// By domain name (byte 201 is 1): the two names and the port, key ID and key of rows 1 and 2;
// addresses and rows 3 to 5 stay empty. Otherwise by address: all five rows.
TimeServerTable LoadTimeServers(ConstClockSettings settings);

// For each row: the port only when not 0, the key ID only when not 0, the key only when not
// empty. By address: all five rows, each address written (0 included); byte 201 is left as it
// is. By domain name: rows 1 and 2 only, then the two names (NUL-padded to 30 bytes) and byte
// 201 = 1; addresses are not written. Meant for a frame cleared to zeros.
void StoreTimeServers(ClockSettings settings, const TimeServerTable& table);

// The rule counts as disabled when both start and end month are 0, or both week-and-weekday
// bytes are 0 (a stored rule never has either). Hours of 0 are a valid change at midnight.
std::optional<DstRule> LoadDst(ConstClockSettings settings);

// Nothing (disabled) writes six zero bytes; a rule writes month, week x 16 + weekday and hour
// for the start and then for the end.
void StoreDst(ClockSettings settings, const std::optional<DstRule>& rule);

// Writes nothing and returns false when the start is not a time of day (hour above 23, minute
// or second above 59); otherwise writes the start and the duration (unchecked).
bool StoreCountDown(ClockSettings settings, const ClockTime& start, const ClockTime& duration);

// Copies at most 20 characters; the rest of the field becomes NUL.
void StoreSerialNumber(ClockSettings settings, std::string_view text);

}  // namespace tavlo::settings
