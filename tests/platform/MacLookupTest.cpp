#include "platform/MacLookup.h"

#include <gtest/gtest.h>

#include "platform/Ipv4.h"

namespace tavlo::platform {
namespace {

constexpr const char* kTable =
    "IP address       HW type     Flags       HW address            Mask     Device\n"
    "198.18.0.11      0x1         0x0         00:00:00:00:00:00     *        tvpc0\n"
    "198.18.0.10      0x1         0x2         02:0a:5e:00:53:01     *        tvpc0\n"
    "198.18.0.12      0x1         0x6         41:42:43:44:45:46     *        tvpc0\n"
    "198.18.0.13      0x1         0x2         41:42:43:44:45        *        tvpc0\n"
    "garbage\n";

TEST(MacLookupTest, TakesOnlyCompleteEntriesOfTheAskedAddress) {
    EXPECT_EQ(FindInArpTable(kTable, MakeIpv4(198, 18, 0, 10)),
              (MacAddress{0x02, 0x0A, 0x5E, 0x00, 0x53, 0x01}));
    EXPECT_EQ(FindInArpTable(kTable, MakeIpv4(198, 18, 0, 12)),
              (MacAddress{0x41, 0x42, 0x43, 0x44, 0x45, 0x46}));
    EXPECT_FALSE(FindInArpTable(kTable, MakeIpv4(198, 18, 0, 11)));  // incomplete
    EXPECT_FALSE(FindInArpTable(kTable, MakeIpv4(198, 18, 0, 13)));  // malformed address
    EXPECT_FALSE(FindInArpTable(kTable, MakeIpv4(198, 18, 0, 14)));  // absent
    EXPECT_FALSE(FindInArpTable("", MakeIpv4(198, 18, 0, 10)));
}

TEST(MacLookupTest, AddressesWithoutNeighbourEntryAnswerAtOnce) {
    // Nothing is sent for these, so this is safe in any namespace.
    for (const Ipv4 address : {kAnyAddress, kLimitedBroadcast, MakeIpv4(127, 0, 0, 1),
                               MakeIpv4(224, 0, 0, 1)}) {
        EXPECT_FALSE(LookupMacAddress(address, std::chrono::milliseconds(5000)));
    }
}

}  // namespace
}  // namespace tavlo::platform
