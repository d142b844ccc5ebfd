#include "firmware/TftpPacket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavlo::firmware {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

std::vector<std::uint8_t> Text(const std::string& text) {
    std::vector<std::uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

struct RequestCase {
    std::uint32_t size;
    std::string sizeText;
};

class WriteRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(WriteRequestTest, IsByteForByteTheRequestAClockExpects) {
    const MacAddress mac = {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01};
    std::vector<std::uint8_t> expected =
        Bytes({0x00, 0x02, 0x00, 0x00, 0x5E, 0x00, 0x53, 0x01, 0x00});
    for (const std::string& part :
         {std::string("octet"), std::string("blksize"), std::string("512"), std::string("tsize"),
          GetParam().sizeText}) {
        const auto text = Text(part);
        expected.insert(expected.end(), text.begin(), text.end());
    }
    const auto request = BuildWriteRequest(mac, GetParam().size);
    EXPECT_EQ(request, expected);
    EXPECT_EQ(request.size(), 34 + GetParam().sizeText.size());
    EXPECT_EQ(request[8], 0);  // the file name is exactly six bytes, zeros and all
}

INSTANTIATE_TEST_SUITE_P(Sizes, WriteRequestTest,
                         ::testing::Values(RequestCase{0, "0"}, RequestCase{700, "700"},
                                           RequestCase{1024, "1024"},
                                           RequestCase{kMaxFileSize, "33553919"}));

TEST(ErrorPacketTest, UnknownTransferId) {
    std::vector<std::uint8_t> expected = Bytes({0x00, 0x05, 0x00, 0x05});
    const auto text = Text("Unknown transfer ID");
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(BuildErrorPacket(kErrorUnknownTransferId, kUnknownTransferIdMessage), expected);
}

TEST(DataPacketTest, CarriesTheLow16BitsOfTheBlockAndTheData) {
    const std::vector<std::uint8_t> data = {0xDE, 0xAD};
    EXPECT_EQ(BuildDataPacket(1, data), Bytes({0, 3, 0, 1, 0xDE, 0xAD}));
    EXPECT_EQ(BuildDataPacket(0x1FFFE, {}), Bytes({0, 3, 0xFF, 0xFE}));
    const std::vector<std::uint8_t> full(kBlockSize, 0x5A);
    EXPECT_EQ(BuildDataPacket(2, full).size(), kDataOffset + kBlockSize);
}

TEST(PacketHeadTest, NeedsFourBytes) {
    EXPECT_FALSE(ReadPacketHead(Bytes({0, 4, 0})));
    const auto head = ReadPacketHead(Bytes({0, 4, 0x12, 0x34, 0xFF}));
    ASSERT_TRUE(head);
    EXPECT_EQ(head->opcode, 4);
    EXPECT_EQ(head->block, 0x1234);
}

TEST(MacAddressTextTest, TakesOnlySixHexPairsJoinedByHyphens) {
    const auto mac = ParseMacAddress("00-00-5e-00-53-0A");
    ASSERT_TRUE(mac);
    EXPECT_EQ(*mac, (MacAddress{0x00, 0x00, 0x5E, 0x00, 0x53, 0x0A}));
    EXPECT_EQ(FormatMacAddress(*mac), "00-00-5E-00-53-0A");
    for (const char* bad : {"", "   ", "00-00-5E-00-53", "00-00-5E-00-53-0A-", " 00-00-5E-00-53-0A",
                            "00:00:5E:00:53:0A", "0-00-5E-00-53-0AA", "00-00-5G-00-53-0A",
                            "000-0-5E-00-53-0A", "00-00-5E-00-53-+A"}) {
        EXPECT_FALSE(ParseMacAddress(bad)) << bad;
    }
}

}  // namespace
}  // namespace tavlo::firmware
