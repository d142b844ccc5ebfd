#include "platform/Ipv4.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo::platform {
namespace {

TEST(Ipv4, OctetsAndByteOrder) {
    const Ipv4 address = MakeIpv4(192, 168, 1, 20);
    EXPECT_EQ(FirstOctet(address), 192);
    EXPECT_EQ(LastOctet(address), 20);
    EXPECT_EQ(NetworkToHost32(address), 0xC0A80114u);
    EXPECT_EQ(HostToNetwork32(NetworkToHost32(address)), address);
    EXPECT_EQ(NetworkToHost16(HostToNetwork16(6869)), 6869);
    EXPECT_EQ(ByteSwap32(0x01020304u), 0x04030201u);
}

struct ParseCase {
    const char* text;
    Ipv4 expected;
};

class ParseIpv4Test : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseIpv4Test, ReadsFourDecimalNumbersUpToTheFirstBlank) {
    EXPECT_EQ(ParseIpv4(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIpv4Test,
    ::testing::Values(
        ParseCase{"192.168.1.20", MakeIpv4(192, 168, 1, 20)},
        ParseCase{"192.168.1.20 (SN0042)", MakeIpv4(192, 168, 1, 20)},
        ParseCase{"198.18.0.10 ", MakeIpv4(198, 18, 0, 10)}, ParseCase{"10", kLimitedBroadcast},
        ParseCase{"0x0a.1", kLimitedBroadcast}, ParseCase{"255.255.255.255", kLimitedBroadcast},
        // Leading zeros are decimal, never octal.
        ParseCase{"198.18.0.010", MakeIpv4(198, 18, 0, 10)},
        ParseCase{"010.010.010.010", MakeIpv4(10, 10, 10, 10)},
        ParseCase{"255.255.255.08", MakeIpv4(255, 255, 255, 8)}, ParseCase{"0.0.0.0", 0},
        ParseCase{"1.2.3.4.5", kLimitedBroadcast}, ParseCase{"256.1.1.1", kLimitedBroadcast},
        ParseCase{"abc", kLimitedBroadcast}, ParseCase{"192.168.1.x", kLimitedBroadcast},
        ParseCase{"", kLimitedBroadcast}, ParseCase{" 192.168.1.20", kLimitedBroadcast}));

TEST(Ipv4, OverlongOrNulCutText) {
    EXPECT_EQ(ParseIpv4(std::string(kMaxAddressText + 1, '1')), kLimitedBroadcast);
    EXPECT_EQ(ParseIpv4(std::string("10.0.0.1\0garbage", 16)), MakeIpv4(10, 0, 0, 1));
}

// The strict form of the command lines and files: one address, one spelling.
TEST(Ipv4, DottedAddressTakesOnlyFourPlainDecimalNumbers) {
    EXPECT_EQ(ParseDottedAddress("198.18.0.10"), MakeIpv4(198, 18, 0, 10));
    EXPECT_EQ(ParseDottedAddress("0.0.0.0"), Ipv4{0});
    EXPECT_EQ(ParseDottedAddress("255.255.255.255"), kLimitedBroadcast);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "1.2.3.", "10",
                            "0x1.2.3.4", "1.2.3.010", "01.2.3.4", "1.2.3.0010", " 1.2.3.4",
                            "1.2.3.4 ", "1.2 .3.4", "1.2.3.4 (SN1)", "1234.1.1.1", "+1.2.3.4"}) {
        EXPECT_FALSE(ParseDottedAddress(bad)) << bad;
    }
    EXPECT_FALSE(ParseDottedAddress(std::string("1.2.3.4\0", 8)));
    EXPECT_FALSE(ParseDottedAddress(std::string(kMaxAddressText, '1')));
}

TEST(Ipv4, FormatsDotted) {
    EXPECT_EQ(FormatIpv4(MakeIpv4(192, 168, 1, 20)), "192.168.1.20");
    EXPECT_EQ(FormatIpv4(0), "0.0.0.0");
    EXPECT_EQ(FormatIpv4(kLimitedBroadcast), "255.255.255.255");
}

}  // namespace
}  // namespace tavlo::platform
