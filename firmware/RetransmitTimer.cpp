#include "firmware/RetransmitTimer.h"

#include <algorithm>
#include <cstdlib>

namespace tavlo::firmware {
namespace {

constexpr long long kMicrosecondsPerMs = 1000;
// The gains of RFC 6298: alpha = 1/8 for the round trip, beta = 1/4 for its variation, and
// K = 4 variations above the round trip.
constexpr long long kSmoothedShare = 8;
constexpr long long kVariationShare = 4;
constexpr long long kVariationFactor = 4;
// The granularity of the clock the round trips are measured with (the tick, 1 ms).
constexpr long long kGranularityUs = kMicrosecondsPerMs;
constexpr int kBackoffFactor = 2;

}  // namespace

void RetransmitTimer::Sample(std::chrono::milliseconds roundTrip) {
    if (policy_ == WaitPolicy::kFixed) {
        return;
    }
    const long long sample = std::max<long long>(roundTrip.count(), 0) * kMicrosecondsPerMs;
    if (!sampled_) {
        sampled_ = true;
        smoothedUs_ = sample;
        variationUs_ = sample / 2;
    } else {
        variationUs_ += (std::llabs(smoothedUs_ - sample) - variationUs_) / kVariationShare;
        smoothedUs_ += (sample - smoothedUs_) / kSmoothedShare;
    }
    const long long waitUs =
        smoothedUs_ + std::max(kGranularityUs, kVariationFactor * variationUs_);
    const long long waitMs = (waitUs + kMicrosecondsPerMs - 1) / kMicrosecondsPerMs;
    measured_ = std::clamp(std::chrono::milliseconds(waitMs), kMinimumWait, kMaximumWait);
    wait_ = measured_;
}

void RetransmitTimer::TimedOut(int resends) {
    if (policy_ == WaitPolicy::kFixed || resends < kResendsBeforeBackoff) {
        return;
    }
    wait_ = std::min(wait_ * kBackoffFactor, kMaximumWait);
}

void RetransmitTimer::ResentBlockAcknowledged(std::chrono::milliseconds afterLastSend) {
    if (afterLastSend < measured_) {
        wait_ = measured_;
    }
}

}  // namespace tavlo::firmware
