#include "platform/CrtRandom.h"

#include <gtest/gtest.h>

namespace tavlo::platform {
namespace {

TEST(CrtRandom, KnownSequenceForSeedOne) {
    CrtRandom random(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (const int value : expected) {
        EXPECT_EQ(random.next(), value);
    }
}

TEST(CrtRandom, ReseedingRestartsTheSequenceAndValuesStayIn15Bits) {
    CrtRandom random;
    random.seed(12345);
    const int first = random.next();
    for (int i = 0; i < 10000; ++i) {
        const int value = random.next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, CrtRandom::kMaxValue);
    }
    random.seed(12345);
    EXPECT_EQ(random.next(), first);
}

}  // namespace
}  // namespace tavlo::platform
