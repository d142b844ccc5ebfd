// What an operator may type as a range to sweep.
#include "protocol/AddressRange.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavlo::protocol {
namespace {

TEST(AddressRangeTest, ReadsPrefixesAndFirstLastPairsAndRefusesTheRest) {
    struct Case {
        const char* text;
        std::optional<AddressRange> range;
    };
    const Case cases[] = {
        {"198.19.7.9/16", AddressRange{0xC6130000u, 0xC613FFFFu}},
        {"198.19.7.9/32", AddressRange{0xC6130709u, 0xC6130709u}},
        {"198.19.7.0/24", AddressRange{0xC6130700u, 0xC61307FFu}},
        {"198.19.0.1-198.19.1.200", AddressRange{0xC6130001u, 0xC61301C8u}},
        {"198.19.0.0/15", std::nullopt},  // more than a /16
        {"198.19.0.0/33", std::nullopt},
        {"198.19.0.0/", std::nullopt},
        {"198.19.0.0/2x", std::nullopt},
        {"198.19.1.0-198.19.0.255", std::nullopt},   // backwards
        {"198.19.0.010-198.19.0.20", std::nullopt},  // leading zero
        {"198.19.0.1", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(ParseAddressRange(c.text, error), c.range) << c.text;
        EXPECT_EQ(error.empty(), c.range.has_value()) << c.text;
    }
}

TEST(AddressRangeTest, JoinedRangesCountEachAddressOnce) {
    const auto joined = JoinRanges({{20, 30}, {5, 10}, {11, 12}, {25, 40}});
    EXPECT_EQ(joined, (std::vector<AddressRange>{{5, 12}, {20, 40}}));
    EXPECT_EQ(CountAddresses(joined), 29u);
    EXPECT_EQ(SweepToEndOfNetwork(0xC0A801FAu), (AddressRange{0xC0A801FAu, 0xC0A801FEu}));
}

}  // namespace
}  // namespace tavlo::protocol
