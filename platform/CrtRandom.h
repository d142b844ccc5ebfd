// The run-time library's 15-bit pseudo-random generator (srand/rand of the clocks' reference
// PC runtime): a linear congruential generator whose values run from 0 to 32767. The clock
// protocol's chunk nonce is drawn from it; the C library's rand() has a different range and
// must not be used for that.
#pragma once

#include <cstdint>

namespace tavlo::platform {

class CrtRandom {
  public:
    static constexpr int kMaxValue = 0x7FFF;

    explicit CrtRandom(std::uint32_t seed = 1) : state_(seed) {}

    // srand
    void seed(std::uint32_t seed) { state_ = seed; }

    // rand: 0 to kMaxValue.
    int next() {
        state_ = state_ * kMultiplier + kIncrement;
        return static_cast<int>((state_ >> kOutputShift) & kMaxValue);
    }

  private:
    static constexpr std::uint32_t kMultiplier = 214013u;
    static constexpr std::uint32_t kIncrement = 2531011u;
    static constexpr int kOutputShift = 16;

    std::uint32_t state_;
};

}  // namespace tavlo::platform
