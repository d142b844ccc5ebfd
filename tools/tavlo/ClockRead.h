// Reading one clock's settings with the retry rules of the window's device tree: a Wi-Fi clock
// is asked until it answers, at most twice; a wired clock at least three times and at most
// five, with a 500 ms pause after each request; an early-version clock once.
#pragma once

#include <string>

#include "platform/Network.h"
#include "protocol/Exchanges.h"
#include "protocol/ProtocolState.h"

namespace tavlo::cli {

enum class ClockFamily { kWired, kWifi, kEarly };

inline constexpr int kWifiReadAttempts = 2;
inline constexpr int kWiredMinReadAttempts = 3;
inline constexpr int kWiredMaxReadAttempts = 5;
inline constexpr std::chrono::milliseconds kWiredReadPause{500};

struct ReadOutcome {
    bool answered = false;
    // Why nothing could be asked (a port in use, no socket), empty otherwise.
    std::string failure;
};

// Reads the clock at `address`. On success its reply is in the state's SettingsFrame (a read
// reply: type 1) or, for early versions, in its CommandFrame (command 1). When a later
// request of a wired read goes unanswered, the last complete answer is kept.
ReadOutcome ReadClock(protocol::ClockExchanges& exchanges, protocol::ProtocolState& state,
                      platform::Network& network, platform::Ipv4 address, ClockFamily family);

}  // namespace tavlo::cli
