// What the read and write workflows run on: a network, the protocol state the exchanges share
// (the frames, the chunk state, the local addresses), and the clock exchanges over them. Both
// front ends build the exchanges this way.
//
// A ClockLine borrows the network and the state: the window lends its single instances to each
// job, so every read and write uses the program's one SettingsFrame. An OwnedClockLine owns
// both, for one run of the command line.
#pragma once

#include <memory>

#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/Exchanges.h"
#include "protocol/ProtocolState.h"

namespace tavlo::workflow {

class ClockLine {
  public:
    // Chunk nonces come from the clocks' own draw (ClockNonceSource)...
    ClockLine(platform::Network& network, protocol::ProtocolState& state);
    // ...or from `nonces`, which outlives the line (tests choose them).
    ClockLine(platform::Network& network, protocol::ProtocolState& state,
              protocol::NonceSource& nonces);
    ClockLine(const ClockLine&) = delete;
    ClockLine& operator=(const ClockLine&) = delete;

    platform::Network& network;
    protocol::ProtocolState& state;

  private:
    protocol::ClockNonceSource clockNonces_;

  public:
    protocol::ClockExchanges exchanges;
};

// A line over a network of its own and a fresh protocol state whose local addresses are the
// network's.
class OwnedClockLine {
  public:
    explicit OwnedClockLine(std::unique_ptr<platform::Network> network);
    OwnedClockLine(const OwnedClockLine&) = delete;
    OwnedClockLine& operator=(const OwnedClockLine&) = delete;

    ClockLine& line() { return line_; }

  private:
    std::unique_ptr<platform::Network> network_;
    protocol::ProtocolState state_;
    ClockLine line_;
};

}  // namespace tavlo::workflow
