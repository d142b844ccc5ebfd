// Faults on the way back: loss, duplicates, delay, wrong sizes, junk and lying chunk lengths,
// applied to the reply datagrams that a clock has built.
#pragma once

#include <random>
#include <vector>

#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/SimClock.h"

namespace tavlo::clocksim {

struct ScheduledDatagram {
    int delayMs = 0;  // from now
    Datagram bytes;
    friend bool operator==(const ScheduledDatagram&, const ScheduledDatagram&) = default;
};

// Chunk length bytes used by Faults::hostileLengths, in turn: too long, one past the data
// field, empty, and a full length where a reply's last chunk must be shorter.
inline constexpr std::uint8_t kHostileChunkLengths[] = {255, 101, 0, 100};

// The datagrams to send for `replies` of a request of `kind`, in sending order, with the
// clock's faults applied when they apply to that kind of request; Faults::dropAcks hits every
// write, whatever the faults apply to. Without faults: every reply once, in order, with no
// delay.
std::vector<ScheduledDatagram> ShapeReplies(const std::vector<Datagram>& replies,
                                            const Faults& faults, RequestKind kind,
                                            std::mt19937& rng);

}  // namespace tavlo::clocksim
