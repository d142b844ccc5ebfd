#include "settings/ByteFields.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/Ipv4.h"

namespace tavlo::settings {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ByteFields, IntegersAreLittleEndianAtTheirOffset) {
    Bytes bytes(8, 0);
    EXPECT_TRUE(WriteU16Le(bytes, 1, 0x0149));
    EXPECT_TRUE(WriteU32Le(bytes, 3, 0x11223344));
    EXPECT_EQ(bytes, (Bytes{0x00, 0x49, 0x01, 0x44, 0x33, 0x22, 0x11, 0x00}));
    EXPECT_EQ(ReadU16Le(bytes, 1), 0x0149);
    EXPECT_EQ(ReadU32Le(bytes, 3), 0x11223344u);
}

TEST(ByteFields, FloatIsSinglePrecisionLittleEndian) {
    Bytes bytes(5, 0);
    EXPECT_TRUE(WriteFloatLe(bytes, 1, 21.5f));  // 0x41AC0000
    EXPECT_EQ(bytes, (Bytes{0x00, 0x00, 0x00, 0xAC, 0x41}));
    EXPECT_EQ(ReadFloatLe(bytes, 1), 21.5f);
}

TEST(ByteFields, AddressKeepsTheOctetOrder) {
    const Bytes octets{192, 168, 1, 20};
    const platform::Ipv4 address = ReadIpv4(octets, 0);
    Bytes written(4, 0);
    EXPECT_TRUE(WriteIpv4(written, 0, address));
    EXPECT_EQ(written, octets);
    EXPECT_EQ(address, platform::ParseIpv4("192.168.1.20"));
}

TEST(ByteFields, FieldsOutsideTheBufferReadZeroAndAreNeverWritten) {
    Bytes bytes(4, 0xAA);
    EXPECT_EQ(ReadU16Le(bytes, 3), 0);
    EXPECT_EQ(ReadU32Le(bytes, 1), 0u);
    EXPECT_EQ(ReadU8(bytes, 4), 0);
    EXPECT_EQ(ReadText(bytes, 2, 3), "");
    EXPECT_EQ(ReadU8(bytes, static_cast<std::size_t>(-1)), 0);
    EXPECT_EQ(ReadText(bytes, 1, static_cast<std::size_t>(-1)), "");
    EXPECT_FALSE(WriteU16Le(bytes, 3, 0));
    EXPECT_FALSE(WriteU32Le(bytes, 1, 0));
    EXPECT_FALSE(WriteIpv4(bytes, 2, 0));
    EXPECT_FALSE(WriteFloatLe(bytes, 4, 0));
    EXPECT_EQ(WriteText(bytes, 2, 3, "x"), 0u);
    EXPECT_FALSE(ClearField(bytes, 0, 5));
    EXPECT_EQ(bytes, Bytes(4, 0xAA));
}

TEST(ByteFields, TextIsReadUpToTheFirstNulOrTheFieldEnd) {
    Bytes bytes{'x', 'A', 'B', 0, 'C', 'D', 'E', 'F', 'y'};
    EXPECT_EQ(ReadText(bytes, 1, 4), "AB");
    EXPECT_EQ(ReadText(bytes, 4, 4), "CDEF");  // full field, no terminator, stops at its end
    EXPECT_EQ(ReadText(bytes, 4, 0), "");
}

TEST(ByteFields, TextIsWrittenNulPaddedAndNeverPastItsWidth) {
    Bytes bytes(8, 0xEE);
    EXPECT_EQ(WriteText(bytes, 1, 6, "ab"), 2u);
    EXPECT_EQ(bytes, (Bytes{0xEE, 'a', 'b', 0, 0, 0, 0, 0xEE}));

    EXPECT_EQ(WriteText(bytes, 1, 6, "abcdef"), 6u);
    EXPECT_EQ(bytes, (Bytes{0xEE, 'a', 'b', 'c', 'd', 'e', 'f', 0xEE}));

    EXPECT_EQ(WriteText(bytes, 1, 6, "abcdefghij"), 6u);
    EXPECT_EQ(bytes, (Bytes{0xEE, 'a', 'b', 'c', 'd', 'e', 'f', 0xEE}));

    // A text ends at its first NUL.
    EXPECT_EQ(WriteText(bytes, 1, 6, std::string_view("ab\0cd", 5)), 2u);
    EXPECT_EQ(bytes, (Bytes{0xEE, 'a', 'b', 0, 0, 0, 0, 0xEE}));
}

}  // namespace
}  // namespace tavlo::settings
