// Time-zone offsets as the clocks carry them: an hours byte in sign-and-magnitude form (bit 7
// set means west of UTC) and a minutes byte holding the extra minutes as a positive number,
// taken with the sign of the hours. Also the labels of the "Time Zone:" list and the
// conversions between labels and offsets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavlo::settings {

struct TimeZoneBytes {
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    friend bool operator==(const TimeZoneBytes&, const TimeZoneBytes&) = default;
};

// A decoded offset: signed whole hours and the extra minutes as a magnitude that takes the
// sign of the hours. UTC-9:30 is {-9, 30}; UTC+12:45 is {12, 45}.
struct TimeZoneOffset {
    int hours = 0;
    int minutes = 0;
    friend bool operator==(const TimeZoneOffset&, const TimeZoneOffset&) = default;
};

inline constexpr std::uint8_t kTimeZoneWestBit = 0x80;
inline constexpr std::uint8_t kTimeZoneHoursMask = 0x7F;       // current clocks
inline constexpr std::uint8_t kEarlyTimeZoneHoursMask = 0x0F;  // early-version clocks
inline constexpr int kMinTimeZoneHours = -12;
inline constexpr int kMaxTimeZoneHours = 14;
inline constexpr int kMinutesPerHour = 60;
inline constexpr int kTimeZoneMinuteStep = 15;

// Current clocks. Minutes below 60 and a multiple of 15 are kept, anything else becomes 0;
// hours from -12 to +14 are kept, anything else leaves the hours byte 0.
TimeZoneBytes EncodeTimeZone(TimeZoneOffset offset);
// Current clocks: the low seven bits are the hours, negated when bit 7 is set.
TimeZoneOffset DecodeTimeZone(TimeZoneBytes bytes);

// Early-version clocks: the same encoding without range checks (each value is cut to a byte).
TimeZoneBytes EncodeEarlyTimeZone(TimeZoneOffset offset);
// Early-version clocks: only the low four bits are the hours, negated when bit 7 is set.
TimeZoneOffset DecodeEarlyTimeZone(TimeZoneBytes bytes);

// The 37 labels of the "Time Zone:" list, in list order.
inline constexpr std::array<std::string_view, 37> kTimeZoneLabels{
    "UTC -12",   "UTC -11",   "UTC -10",    "UTC -9:30", "UTC -9 ",    "UTC -8 ", "UTC -7 ",
    "UTC -6 ",   "UTC -5 ",   "UTC -4 ",    "UTC -3:30", "UTC -3 ",    "UTC -2 ", "UTC -1 ",
    "UTC  0",    "UTC +1 ",   "UTC +2 ",    "UTC +3 ",   "UTC +3:30",  "UTC +4 ", "UTC +4:30",
    "UTC +5 ",   "UTC +5:30", "UTC +6 ",    "UTC +6:30", "UTC +7 ",    "UTC +8 ", "UTC +9 ",
    "UTC +9:30", "UTC +10",   "UTC +10:30", "UTC +11",   "UTC +11:30", "UTC +12", "UTC +12:45",
    "UTC +13",   "UTC +14"};

// The label that selects a decoded offset of a current clock in the list: "UTC  0" for no
// offset, "UTC %c%d " for 1 to 9 whole hours, "UTC %c%d" for 10 or more, "UTC %c%d:%02d" with
// minutes. The sign is '-' when the hours are 0 or negative. Offsets that are not in the list
// give labels that select nothing.
std::string TimeZoneLabel(TimeZoneOffset offset);

// The same for an early-version clock, built from its raw bytes: "UTC  0" only when the whole
// hours byte is 0, so 0x80 with no minutes builds "UTC -0 ", which selects nothing.
std::string EarlyTimeZoneLabel(TimeZoneBytes bytes);

// Reads a list label back into an offset: the text is split at the first ':' (minutes after
// it, else 0); the first three characters ("UTC") of the hours part are dropped and the rest
// is read as a signed decimal number (leading blanks and a sign allowed). An empty text, or
// parts that are not numbers, give 0.
TimeZoneOffset ParseTimeZoneLabel(std::string_view label);

}  // namespace tavlo::settings
