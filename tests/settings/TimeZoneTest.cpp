#include "settings/TimeZone.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pagemodel/PageControls.h"

namespace tavlo::settings {
namespace {

std::optional<std::size_t> Select(const std::string& label) {
    return pagemodel::FindItemByPrefix(kTimeZoneLabels, label);
}

TEST(TimeZoneBytes, KnownOffsets) {
    EXPECT_EQ(EncodeTimeZone({-9, 30}), (TimeZoneBytes{0x89, 30}));
    EXPECT_EQ(EncodeTimeZone({12, 45}), (TimeZoneBytes{0x0C, 45}));
    EXPECT_EQ(EncodeTimeZone({0, 0}), (TimeZoneBytes{0, 0}));
    EXPECT_EQ(EncodeTimeZone({-12, 0}), (TimeZoneBytes{0x8C, 0}));
    EXPECT_EQ(EncodeTimeZone({14, 0}), (TimeZoneBytes{0x0E, 0}));
    EXPECT_EQ(DecodeTimeZone({0x89, 30}), (TimeZoneOffset{-9, 30}));
    EXPECT_EQ(DecodeTimeZone({0x80, 0}), (TimeZoneOffset{0, 0}));
    EXPECT_EQ(DecodeTimeZone({0xFF, 0}), (TimeZoneOffset{-127, 0}));
}

TEST(TimeZoneBytes, CurrentLayoutRoundTripsTheWholeRange) {
    for (int hours = kMinTimeZoneHours; hours <= kMaxTimeZoneHours; ++hours) {
        for (const int minutes : {0, 15, 30, 45}) {
            const TimeZoneBytes bytes = EncodeTimeZone({hours, minutes});
            EXPECT_EQ(bytes.hours & 0x80, hours < 0 ? 0x80 : 0) << hours;
            EXPECT_EQ(bytes.hours & 0x7F, hours < 0 ? -hours : hours);
            EXPECT_EQ(bytes.minutes, minutes);
            EXPECT_EQ(DecodeTimeZone(bytes), (TimeZoneOffset{hours, minutes}));
        }
    }
}

TEST(TimeZoneBytes, CurrentLayoutRefusesValuesOutsideTheRange) {
    EXPECT_EQ(EncodeTimeZone({-13, 30}), (TimeZoneBytes{0, 30}));
    EXPECT_EQ(EncodeTimeZone({15, 0}), (TimeZoneBytes{0, 0}));
    EXPECT_EQ(EncodeTimeZone({5, 20}), (TimeZoneBytes{5, 0}));
    EXPECT_EQ(EncodeTimeZone({5, 60}), (TimeZoneBytes{5, 0}));
    EXPECT_EQ(EncodeTimeZone({5, -15}), (TimeZoneBytes{5, 0}));
    EXPECT_EQ(EncodeTimeZone({std::numeric_limits<int>::min(), std::numeric_limits<int>::min()}),
              (TimeZoneBytes{0, 0}));
}

TEST(TimeZoneBytes, EarlyLayoutRoundTripsItsWholeRangeWithoutChecks) {
    for (int hours = -15; hours <= 15; ++hours) {
        for (int minutes = 0; minutes < 60; ++minutes) {
            const TimeZoneBytes bytes = EncodeEarlyTimeZone({hours, minutes});
            EXPECT_EQ(DecodeEarlyTimeZone(bytes), (TimeZoneOffset{hours, minutes}));
        }
    }
    // No range checks: values are passed on as bytes.
    EXPECT_EQ(EncodeEarlyTimeZone({-13, 20}), (TimeZoneBytes{0x8D, 20}));
    EXPECT_EQ(EncodeEarlyTimeZone({20, 75}), (TimeZoneBytes{20, 75}));
    // Only the low four bits are read as hours.
    EXPECT_EQ(DecodeEarlyTimeZone({0x9A, 0}), (TimeZoneOffset{-10, 0}));
    EXPECT_EQ(DecodeEarlyTimeZone({0x35, 15}), (TimeZoneOffset{5, 15}));
    EXPECT_EQ(EncodeEarlyTimeZone({std::numeric_limits<int>::min(), 0}).hours, 0x80);
}

TEST(TimeZoneLabel, KnownLabels) {
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x85, 0})), "UTC -5 ");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x89, 30})), "UTC -9:30");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x0C, 45})), "UTC +12:45");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x0A, 0})), "UTC +10");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x8C, 0})), "UTC -12");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x00, 0})), "UTC  0");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x80, 0})), "UTC  0");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x00, 30})), "UTC -0:30");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0x05, 5})), "UTC +5:05");
    EXPECT_EQ(TimeZoneLabel(DecodeTimeZone({0xFF, 255})), "UTC -127:255");
}

TEST(TimeZoneLabel, LabelsThatSelectNothing) {
    EXPECT_EQ(Select(TimeZoneLabel(DecodeTimeZone({0x00, 30}))), std::nullopt);
    EXPECT_EQ(Select(TimeZoneLabel(DecodeTimeZone({0x0F, 0}))), std::nullopt);
    EXPECT_EQ(EarlyTimeZoneLabel({0x80, 0}), "UTC -0 ");
    EXPECT_EQ(Select(EarlyTimeZoneLabel({0x80, 0})), std::nullopt);
    EXPECT_EQ(EarlyTimeZoneLabel({0x00, 0}), "UTC  0");
    EXPECT_EQ(EarlyTimeZoneLabel({0x89, 30}), "UTC -9:30");
}

TEST(TimeZoneLabel, TrailingBlankKeepsWholeHoursFromHalfHours) {
    EXPECT_EQ(Select("UTC -9 "), 4u);
    EXPECT_EQ(Select("UTC -9:30"), 3u);
    EXPECT_EQ(Select("UTC +10"), 29u);
    EXPECT_EQ(Select("UTC +10:30"), 30u);
    EXPECT_EQ(Select("utc +4:30"), 20u);  // case is ignored
    EXPECT_EQ(Select(""), std::nullopt);
}

// Every label of the list, read back into bytes and shown again, selects itself.
TEST(TimeZoneLabel, EveryListLabelRoundTripsThroughBothLayouts) {
    for (std::size_t i = 0; i < kTimeZoneLabels.size(); ++i) {
        const std::string label(kTimeZoneLabels[i]);
        const TimeZoneOffset offset = ParseTimeZoneLabel(label);

        const TimeZoneBytes current = EncodeTimeZone(offset);
        EXPECT_EQ(TimeZoneLabel(DecodeTimeZone(current)), label);
        EXPECT_EQ(Select(TimeZoneLabel(DecodeTimeZone(current))), i) << label;

        const TimeZoneBytes early = EncodeEarlyTimeZone(offset);
        EXPECT_EQ(early, current) << label;  // every label is inside the checked range
        EXPECT_EQ(EarlyTimeZoneLabel(early), label);
    }
}

// Whatever bytes a clock sends, the item the label selects (if any) is the clock's zone.
TEST(TimeZoneLabel, SelectionNeverShowsAnotherZone) {
    for (int hours = 0; hours < 256; ++hours) {
        for (int minutes = 0; minutes < 256; ++minutes) {
            const TimeZoneBytes bytes{static_cast<std::uint8_t>(hours),
                                      static_cast<std::uint8_t>(minutes)};
            const TimeZoneOffset shown = DecodeTimeZone(bytes);
            const std::string label = TimeZoneLabel(shown);
            ASSERT_EQ(label.rfind("UTC ", 0), 0u);
            if (const auto index = Select(label)) {
                ASSERT_EQ(ParseTimeZoneLabel(kTimeZoneLabels[*index]), shown)
                    << hours << "/" << minutes << " -> " << label;
            }
            const auto earlyIndex = Select(EarlyTimeZoneLabel(bytes));
            if (earlyIndex) {
                ASSERT_EQ(ParseTimeZoneLabel(kTimeZoneLabels[*earlyIndex]),
                          DecodeEarlyTimeZone(bytes));
            }
        }
    }
}

TEST(TimeZoneLabel, ParsingLabels) {
    EXPECT_EQ(ParseTimeZoneLabel("UTC -9:30"), (TimeZoneOffset{-9, 30}));
    EXPECT_EQ(ParseTimeZoneLabel("UTC +5 "), (TimeZoneOffset{5, 0}));
    EXPECT_EQ(ParseTimeZoneLabel("UTC  0"), (TimeZoneOffset{0, 0}));
    EXPECT_EQ(ParseTimeZoneLabel(""), (TimeZoneOffset{0, 0}));
    EXPECT_EQ(ParseTimeZoneLabel("UTC"), (TimeZoneOffset{0, 0}));
    EXPECT_EQ(ParseTimeZoneLabel("UTC x:y"), (TimeZoneOffset{0, 0}));
    EXPECT_EQ(ParseTimeZoneLabel("UTC +99999999999999:99999999999"),
              (TimeZoneOffset{1'000'000, 1'000'000}));
    EXPECT_EQ(EncodeTimeZone(ParseTimeZoneLabel("UTC -9:30")), (TimeZoneBytes{0x89, 30}));
    EXPECT_EQ(EncodeTimeZone(ParseTimeZoneLabel("UTC +5 ")), (TimeZoneBytes{5, 0}));
}

}  // namespace
}  // namespace tavlo::settings
