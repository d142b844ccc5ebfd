#include "settings/TimeZone.h"

#include <algorithm>
#include <cstdlib>

namespace tavlo::settings {

namespace {

constexpr std::string_view kLabelPrefix = "UTC ";
constexpr std::string_view kZeroLabel = "UTC  0";
constexpr std::size_t kLabelNameLength = 3;  // "UTC" before the number
constexpr unsigned kSingleDigitLimit = 10;
constexpr char kMinutesSeparator = ':';
// Numbers read from a label stop growing here; no label comes near it.
constexpr int kParseLimit = 1'000'000;
constexpr int kDecimalBase = 10;

// |value| without overflow for the most negative int.
unsigned Magnitude(int value) {
    return value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
}

std::uint8_t SignAndMagnitudeByte(int hours) {
    if (hours < 0) {
        return static_cast<std::uint8_t>(Magnitude(hours) | kTimeZoneWestBit);
    }
    return static_cast<std::uint8_t>(hours);
}

TimeZoneOffset Decode(TimeZoneBytes bytes, std::uint8_t hoursMask) {
    const int magnitude = bytes.hours & hoursMask;
    const bool west = (bytes.hours & kTimeZoneWestBit) != 0;
    return {west ? -magnitude : magnitude, bytes.minutes};
}

std::string NonZeroLabel(TimeZoneOffset offset) {
    std::string label(kLabelPrefix);
    label += offset.hours <= 0 ? '-' : '+';
    const unsigned hours = Magnitude(offset.hours);
    label += std::to_string(hours);
    const unsigned minutes = Magnitude(offset.minutes);
    if (minutes == 0) {
        if (hours < kSingleDigitLimit) {
            label += ' ';
        }
        return label;
    }
    label += kMinutesSeparator;
    if (minutes < kSingleDigitLimit) {
        label += '0';
    }
    label += std::to_string(minutes);
    return label;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a decimal number the way the C library's atoi does (leading blanks, an optional sign,
// digits up to the first other character), without overflowing.
int ReadDecimal(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = std::min(value * kDecimalBase + (text[pos] - '0'), kParseLimit);
        ++pos;
    }
    return negative ? -value : value;
}

}  // namespace

TimeZoneBytes EncodeTimeZone(TimeZoneOffset offset) {
    TimeZoneBytes bytes;
    if (offset.minutes >= 0 && offset.minutes < kMinutesPerHour &&
        offset.minutes % kTimeZoneMinuteStep == 0) {
        bytes.minutes = static_cast<std::uint8_t>(offset.minutes);
    }
    if (offset.hours >= kMinTimeZoneHours && offset.hours <= kMaxTimeZoneHours) {
        bytes.hours = SignAndMagnitudeByte(offset.hours);
    }
    return bytes;
}

TimeZoneOffset DecodeTimeZone(TimeZoneBytes bytes) {
    return Decode(bytes, kTimeZoneHoursMask);
}

TimeZoneBytes EncodeEarlyTimeZone(TimeZoneOffset offset) {
    return {SignAndMagnitudeByte(offset.hours), static_cast<std::uint8_t>(offset.minutes)};
}

TimeZoneOffset DecodeEarlyTimeZone(TimeZoneBytes bytes) {
    return Decode(bytes, kEarlyTimeZoneHoursMask);
}

std::string TimeZoneLabel(TimeZoneOffset offset) {
    if (offset.hours == 0 && offset.minutes == 0) {
        return std::string(kZeroLabel);
    }
    return NonZeroLabel(offset);
}

std::string EarlyTimeZoneLabel(TimeZoneBytes bytes) {
    if (bytes.hours == 0 && bytes.minutes == 0) {
        return std::string(kZeroLabel);
    }
    return NonZeroLabel(DecodeEarlyTimeZone(bytes));
}

TimeZoneOffset ParseTimeZoneLabel(std::string_view label) {
    TimeZoneOffset offset;
    std::string_view hoursPart = label;
    if (const std::size_t colon = label.find(kMinutesSeparator); colon != std::string_view::npos) {
        offset.minutes = ReadDecimal(label.substr(colon + 1));
        hoursPart = label.substr(0, colon);
    }
    if (hoursPart.size() > kLabelNameLength) {
        offset.hours = ReadDecimal(hoursPart.substr(kLabelNameLength));
    }
    return offset;
}

}  // namespace tavlo::settings
