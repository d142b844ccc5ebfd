// Texts of values the pages show, formatted the same way whatever the process locale is (the
// window's toolkit switches the C locale to the user's, which would turn "3.29" into "3,29").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/ClockSettings.h"

namespace tavlo::settings {

// The version field (version x 100) as text with two decimals: 329 gives "3.29", 5 "0.05".
std::string VersionText(std::uint16_t version);

// A version text back to the field: the number (leading blanks and a '+' allowed, reading stops
// at the first character that does not belong to it) times 100, rounded to the nearest integer.
// An empty text or one that is not a number gives 0; values beyond the field are clamped to 0
// and 65535.
std::uint16_t VersionFromText(std::string_view text);

// `value` with `decimals` digits after the point, like printf's "%.*f" in the C locale.
std::string FormatFixed(double value, int decimals);

// The temperature as the page shows it, UTF-8: "  21.5 ℃" in Celsius, "21.5℉" in Fahrenheit,
// empty when no sensor is reported.
std::string TemperatureText(float value, HumitureUnit unit);

// The relative humidity as the page shows it: "  45.0%".
std::string HumidityText(float value);

// Code page 936 bytes of a UTF-8 text for a fixed-width text field: at most `width` bytes,
// never half a two-byte character.
std::string FieldBytes(std::string_view utf8, std::size_t width);

// The degree signs, UTF-8.
inline constexpr std::string_view kDegreeCelsius = "\u2103";
inline constexpr std::string_view kDegreeFahrenheit = "\u2109";

}  // namespace tavlo::settings
