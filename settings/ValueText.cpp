#include "settings/ValueText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/TextCodec.h"

namespace tavlo::settings {

namespace {

constexpr unsigned kVersionScale = 100;
constexpr unsigned kTenths = 10;
constexpr int kReadingDecimals = 1;
// Enough for any double in fixed notation with a few decimals.
constexpr std::size_t kFixedBufferSize = 400;
constexpr int kMaxDecimals = 40;
constexpr std::string_view kTemperaturePad = "  ";
constexpr std::string_view kHumidityPad = "  ";
constexpr char kPercent = '%';

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string VersionText(std::uint16_t version) {
    const unsigned hundredths = version % kVersionScale;
    std::string text = std::to_string(version / kVersionScale);
    text += '.';
    text += static_cast<char>('0' + hundredths / kTenths);
    text += static_cast<char>('0' + hundredths % kTenths);
    return text;
}

std::uint16_t VersionFromText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) {
        return 0;
    }
    const double scaled = std::round(value * kVersionScale);
    if (scaled <= 0) {
        return 0;
    }
    if (scaled >= std::numeric_limits<std::uint16_t>::max()) {
        return std::numeric_limits<std::uint16_t>::max();
    }
    return static_cast<std::uint16_t>(scaled);
}

std::string FormatFixed(double value, int decimals) {
    std::array<char, kFixedBufferSize> buffer{};
    const int precision = decimals < 0 ? 0 : (decimals > kMaxDecimals ? kMaxDecimals : decimals);
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, precision);
    if (error != std::errc{}) {
        return {};
    }
    return std::string(buffer.data(), end);
}

std::string TemperatureText(float value, HumitureUnit unit) {
    switch (unit) {
        case HumitureUnit::kNone:
            return {};
        case HumitureUnit::kCelsius: {
            std::string text(kTemperaturePad);
            text += FormatFixed(value, kReadingDecimals);
            text += ' ';
            text += kDegreeCelsius;
            return text;
        }
        case HumitureUnit::kFahrenheit:
            break;
    }
    std::string text = FormatFixed(value, kReadingDecimals);
    text += kDegreeFahrenheit;
    return text;
}

std::string HumidityText(float value) {
    std::string text(kHumidityPad);
    text += FormatFixed(value, kReadingDecimals);
    text += kPercent;
    return text;
}

std::string FieldBytes(std::string_view utf8, std::size_t width) {
    return std::string(platform::TruncateCp936(platform::Utf8ToCp936(utf8), width));
}

}  // namespace tavlo::settings
