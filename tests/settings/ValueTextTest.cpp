#include "settings/ValueText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/DecimalCommaLocale.h"

namespace tavlo::settings {
namespace {

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

TEST(VersionText, EveryVersionMatchesTwoDecimalsAndRoundTrips) {
    for (unsigned v = 0; v <= 0xFFFF; ++v) {
        const auto version = static_cast<std::uint16_t>(v);
        const std::string text = VersionText(version);
        ASSERT_EQ(text, Printf("%0.2f", version / 100.0)) << v;
        ASSERT_EQ(VersionFromText(text), version) << text;
    }
    EXPECT_EQ(VersionText(329), "3.29");
    EXPECT_EQ(VersionText(5), "0.05");
    EXPECT_EQ(VersionText(300), "3.00");
}

TEST(VersionText, TextsBackToTheField) {
    struct Case {
        const char* text;
        std::uint16_t field;
    };
    const Case cases[] = {
        {"3.29", 329},     {"", 0},        {"  3.29", 329}, {"+3.29", 329}, {"3.29abc", 329},
        {"3.2", 320},      {"3", 300},     {"0.05", 5},     {"0.004", 0},   {"0.006", 1},
        {"655.35", 65535}, {"700", 65535}, {"1e9", 65535},  {"-1", 0},      {"abc", 0},
        {"nan", 0},        {"inf", 0},     {"-inf", 0},     {".", 0},       {"3,29", 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionFromText(c.text), c.field) << '"' << c.text << '"';
    }
}

TEST(ReadingText, TemperatureAndHumidityFormats) {
    EXPECT_EQ(TemperatureText(21.5f, HumitureUnit::kCelsius), "  21.5 \xE2\x84\x83");
    EXPECT_EQ(TemperatureText(21.5f, HumitureUnit::kFahrenheit), "21.5\xE2\x84\x89");
    EXPECT_EQ(TemperatureText(-3.25f, HumitureUnit::kCelsius), "  -3.2 \xE2\x84\x83");
    EXPECT_EQ(TemperatureText(21.5f, HumitureUnit::kNone), "");
    EXPECT_EQ(HumidityText(45.0f), "  45.0%");
    EXPECT_EQ(HumidityText(99.96f), "  100.0%");
}

TEST(ReadingText, FixedMatchesPrintfInTheCLocale) {
    for (const double value : {0.0, -0.0, 0.05, 0.15, 0.25, 1.0 / 3, 2.675, 1e20, -7.45, 3.4e38}) {
        EXPECT_EQ(FormatFixed(value, 1), Printf("%.1f", value)) << value;
        EXPECT_EQ(FormatFixed(value, 2), Printf("%.2f", value)) << value;
    }
}

TEST(ReadingText, TextsIgnoreTheProcessLocale) {
    const test::DecimalCommaLocale comma;
    EXPECT_EQ(VersionText(329), "3.29");
    EXPECT_EQ(VersionFromText("3.29"), 329);
    EXPECT_EQ(HumidityText(45.5f), "  45.5%");
    if (!comma.active()) {
        GTEST_SKIP()
            << "no locale with a decimal comma installed, and localedef could not build one";
    }
}

}  // namespace
}  // namespace tavlo::settings
