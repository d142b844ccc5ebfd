#include "tools/common/AddressList.h"

#include <gtest/gtest.h>

namespace tavlo::common {
namespace {

using platform::FormatIpv4;

std::string Addresses(const std::vector<platform::Ipv4>& list) {
    std::string text;
    for (auto a : list) {
        text += (text.empty() ? "" : " ") + FormatIpv4(a);
    }
    return text;
}

TEST(AddressListTest, RangesAndLists) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"198.18.0.10", "198.18.0.10"},
        {"198.18.0.10-198.18.0.12", "198.18.0.10 198.18.0.11 198.18.0.12"},
        {"198.18.0.10-12", "198.18.0.10 198.18.0.11 198.18.0.12"},
        {"198.18.0.10,198.18.0.20-21", "198.18.0.10 198.18.0.20 198.18.0.21"},
        {"198.18.0.254-198.18.1.1", nullptr},  // crosses .255 and .0
        {"198.18.0.12-10", nullptr},
        {"198.18.0.0", nullptr},
        {"198.18.0.255", nullptr},
        {"255.255.255.255", nullptr},
        {"198.18.0", nullptr},
        {"198.18.0.256", nullptr},
        {"198.18.0.1.2", nullptr},
        {"198.18.0.0010", nullptr},
        {"198.18.0.10-", nullptr},
        {"198.18.0.10,", nullptr},
        {" 198.18.0.10", nullptr},
        {"198.18.0.10-300", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        std::string error;
        auto list = ParseAddressList(c.text, error);
        if (c.expected) {
            ASSERT_TRUE(list) << c.text << ": " << error;
            EXPECT_EQ(Addresses(*list), c.expected) << c.text;
        } else {
            EXPECT_FALSE(list) << c.text;
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
    std::string error;
    EXPECT_FALSE(ParseAddressList("10.0.0.1-10.0.255.254", error)) << "too many clocks";
}

}  // namespace
}  // namespace tavlo::common
