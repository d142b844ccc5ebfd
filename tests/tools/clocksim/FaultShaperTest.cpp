#include <gtest/gtest.h>

#include "tools/clocksim/FaultShaper.h"

namespace tavlo::clocksim {
namespace {

std::vector<Datagram> ThreeChunks() {
    return {Datagram(106, 1), Datagram(106, 2), Datagram(106, 3)};
}

TEST(FaultShaperTest, WithoutFaultsEveryReplyGoesOnceInOrder) {
    std::mt19937 rng(1);
    auto out = ShapeReplies(ThreeChunks(), Faults{}, RequestKind::kRead, rng);
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].delayMs, 0);
        EXPECT_EQ(out[i].bytes, ThreeChunks()[i]);
    }
}

TEST(FaultShaperTest, CertainLossAndCertainDuplicates) {
    std::mt19937 rng(1);
    Faults faults;
    faults.drop = 1;
    EXPECT_TRUE(ShapeReplies(ThreeChunks(), faults, RequestKind::kProbe, rng).empty());
    faults = Faults{};
    faults.duplicate = 1;
    auto out = ShapeReplies(ThreeChunks(), faults, RequestKind::kProbe, rng);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0].bytes, out[1].bytes);
    EXPECT_EQ(out[4].bytes, ThreeChunks()[2]);
}

TEST(FaultShaperTest, ShareOfLossIsRoughlyKept) {
    std::mt19937 rng(7);
    Faults faults;
    faults.drop = 0.25;
    std::vector<Datagram> many(4000, Datagram(95, 0));
    auto out = ShapeReplies(many, faults, RequestKind::kProbe, rng);
    EXPECT_NEAR(static_cast<double>(out.size()) / many.size(), 0.75, 0.03);
}

TEST(FaultShaperTest, DelayAndJitterApplyToTheWholeReply) {
    std::mt19937 rng(3);
    Faults faults;
    faults.delayMs = 200;
    faults.jitterMs = 50;
    for (int i = 0; i < 50; ++i) {
        auto out = ShapeReplies(ThreeChunks(), faults, RequestKind::kRead, rng);
        ASSERT_EQ(out.size(), 3u);
        EXPECT_GE(out[0].delayMs, 200);
        EXPECT_LE(out[0].delayMs, 250);
        EXPECT_EQ(out[1].delayMs, out[0].delayMs) << "chunks of one reply stay in order";
    }
}

TEST(FaultShaperTest, WrongSizesJunkAndHostileLengths) {
    std::mt19937 rng(1);
    Faults faults;
    faults.wrongSize = true;
    auto out = ShapeReplies(ThreeChunks(), faults, RequestKind::kRead, rng);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].bytes.size(), 107u);

    faults = Faults{};
    faults.junk = true;
    out = ShapeReplies({Datagram(772, 9)}, faults, RequestKind::kProbe, rng);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].bytes.size(), 1u);
    EXPECT_EQ(out[1].bytes.size(), 771u);
    EXPECT_EQ(out[2].bytes.size(), 773u);
    EXPECT_EQ(out[3].bytes, Datagram(772, 9));

    faults = Faults{};
    faults.hostileLengths = true;
    std::vector<Datagram> eight(8, Datagram(106, 0));
    out = ShapeReplies(eight, faults, RequestKind::kRead, rng);
    ASSERT_EQ(out.size(), 8u);
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].bytes.size(), 106u);
        EXPECT_EQ(out[i].bytes[105], kHostileChunkLengths[i % 4]);
    }
}

TEST(FaultShaperTest, FaultsHitOnlyTheChosenRequests) {
    std::mt19937 rng(1);
    Faults faults;
    faults.drop = 1;
    faults.appliesTo = kReadRequests;
    EXPECT_EQ(ShapeReplies(ThreeChunks(), faults, RequestKind::kProbe, rng).size(), 3u);
    EXPECT_EQ(ShapeReplies(ThreeChunks(), faults, RequestKind::kWriteBasic, rng).size(), 3u);
    EXPECT_TRUE(ShapeReplies(ThreeChunks(), faults, RequestKind::kRead, rng).empty());
}

TEST(FaultShaperTest, LostAcknowledgementsHitOnlyWrites) {
    std::mt19937 rng(1);
    Faults faults;
    faults.dropAcks = 1;
    faults.appliesTo = kProbeRequests;
    for (RequestKind write :
         {RequestKind::kWriteBasic, RequestKind::kWriteWifi, RequestKind::kWriteEarly}) {
        EXPECT_TRUE(ShapeReplies(ThreeChunks(), faults, write, rng).empty());
    }
    EXPECT_EQ(ShapeReplies(ThreeChunks(), faults, RequestKind::kRead, rng).size(), 3u);
}

}  // namespace
}  // namespace tavlo::clocksim
