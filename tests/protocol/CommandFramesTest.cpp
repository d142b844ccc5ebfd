#include "protocol/CommandFrames.h"

#include <gtest/gtest.h>

namespace tavlo::protocol {
namespace {

TEST(CommandFrame, SealWritesMagicCommandMarkerAndChecksum) {
    CommandFrame frame{};
    frame[20] = 0x5C;
    SealCommandFrame(frame, ToByte(CommandCode::kRead), RequestMarker::kSet);
    EXPECT_EQ(frame[0], 0x51);
    EXPECT_EQ(frame[1], 0x5A);
    EXPECT_EQ(frame[kRequestMarkerOffset], 1);
    EXPECT_EQ(frame[kCommandCodeOffset], 1);
    EXPECT_EQ(frame[kChecksumOffset], 0x51 ^ 0x5A ^ 0x01 ^ 0x01 ^ 0x5C);
    EXPECT_EQ(CommandFrameChecksum(frame), frame[kChecksumOffset]);
}

TEST(CommandFrame, SealLeavesMarkerAndKeepsAPresetChecksum) {
    CommandFrame frame{};
    frame[kChecksumOffset] = 0x99;
    SealCommandFrame(frame, ToByte(CommandCode::kWrite), RequestMarker::kLeave);
    EXPECT_EQ(frame[kRequestMarkerOffset], 0);
    EXPECT_EQ(frame[kCommandCodeOffset], 2);
    EXPECT_EQ(frame[kChecksumOffset], 0x99);
}

TEST(CommandFrame, CheckRules) {
    CommandFrame frame{};
    frame[3] = 0x10;
    frame[93] = 0x01;
    EXPECT_TRUE(CheckCommandFrame(frame));  // zero checksum: taken and filled
    EXPECT_EQ(frame[kChecksumOffset], 0x11);
    EXPECT_TRUE(CheckCommandFrame(frame));  // matching
    frame[kChecksumOffset] = 0x12;
    EXPECT_FALSE(CheckCommandFrame(frame));  // differing
    EXPECT_EQ(frame[kChecksumOffset], 0x12);
}

}  // namespace
}  // namespace tavlo::protocol
