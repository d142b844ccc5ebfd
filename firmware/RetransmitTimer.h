// How long a data block waits for its acknowledgement before it goes again. The adaptive
// wait follows the measured round trip as TCP's retransmission timer does (RFC 6298): a
// smoothed round-trip time and its variation, sampled only from blocks that went out once
// (Karn's rule), bounded between kMinimumWait and kMaximumWait. A resend keeps the wait;
// only a block that went unanswered three resends in a row doubles it, so random loss costs
// about one short wait per lost packet while a clock that stopped answering is soon asked
// only once a second. The fixed wait is always kMaximumWait.
//
// A doubled wait stays for the blocks that follow until one of them, sent once, gives a
// round trip (a clock whose round trip grew is then measured anew), except when the resent
// block's acknowledgement came as quickly after the last send as the measured wait allows:
// then the last send was answered, the round trip is as it was, and the wait returns to the
// measured one. Without that, under heavy random loss every run of four losses would slow
// the next blocks down as if the clock had.
#pragma once

#include <chrono>

namespace tavlo::firmware {

enum class WaitPolicy {
    kAdaptive,  // follows the round trip
    kFixed,     // one second, always (clocks that misbehave with quicker resends; broadcast)
};

class RetransmitTimer {
  public:
    static constexpr std::chrono::milliseconds kMinimumWait{20};
    static constexpr std::chrono::milliseconds kMaximumWait{1000};
    // The wait doubles once a block has gone this many times again without an answer.
    static constexpr int kResendsBeforeBackoff = 3;

    explicit RetransmitTimer(WaitPolicy policy = WaitPolicy::kAdaptive) : policy_(policy) {}

    WaitPolicy Policy() const { return policy_; }
    // The wait after a send of a data block (kMaximumWait until the first sample).
    std::chrono::milliseconds Wait() const { return wait_; }
    // The round trip of a block that went once and was acknowledged.
    void Sample(std::chrono::milliseconds roundTrip);
    // The wait after the `resends`-th resend of one block ran out with no acknowledgement
    // (0: the first send's wait).
    void TimedOut(int resends);
    // A block that went more than once was acknowledged `afterLastSend` after its last send.
    void ResentBlockAcknowledged(std::chrono::milliseconds afterLastSend);

  private:
    WaitPolicy policy_;
    bool sampled_ = false;
    // Smoothed round trip and its variation, in microseconds so that the eighths and quarters
    // of millisecond samples are kept.
    long long smoothedUs_ = 0;
    long long variationUs_ = 0;
    std::chrono::milliseconds measured_ = kMaximumWait;  // from the round trips alone
    std::chrono::milliseconds wait_ = kMaximumWait;      // measured_, or doubled from it
};

}  // namespace tavlo::firmware
