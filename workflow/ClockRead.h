// Reading one clock's settings with the retry rules of the window's device tree: a Wi-Fi clock
// is asked until it answers, at most twice; a wired clock at least three times and at most
// five, with a 500 ms pause after each request; an early-version clock once.
//
// The window (on a worker thread) and `tavlo read` / `tavlo write` share this code. It touches
// no widget and no global: the caller passes the line (the network, the shared ProtocolState
// and the exchanges, see ClockLine.h) and gets back a plain ReadResult that its pages show.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

#include "platform/Network.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"
#include "workflow/ClockKind.h"
#include "workflow/ClockLine.h"

namespace tavlo::workflow {

inline constexpr int kWifiReadAttempts = 2;
inline constexpr int kWiredMinReadAttempts = 3;
inline constexpr int kWiredMaxReadAttempts = 5;
inline constexpr std::chrono::milliseconds kWiredReadPause{500};

// A clock's user and global password as its read reply carried them: 8 bytes each, padded
// with zeros and without a terminating zero when all 8 are used. Modify compares them as
// strings of at most 8 characters (PasswordText).
struct KnownPasswords {
    using Field = std::array<std::uint8_t, protocol::kPasswordSize>;
    Field user{};
    Field global{};
    friend bool operator==(const KnownPasswords&, const KnownPasswords&) = default;
};

// Bytes 152 to 159 and 160 to 167 of a current clock's settings frame.
KnownPasswords PasswordsOf(const protocol::SettingsFrame& frame);

// A password field as the string it holds: its bytes up to the first zero, at most 8.
std::string PasswordText(const KnownPasswords::Field& field);

struct ReadResult {
    // The clock sent a complete read reply.
    bool answered = false;
    // Why nothing could be asked (a port in use, no socket), empty otherwise.
    std::string failure;
    // The stop token was triggered before the read ended; nothing else in here counts.
    bool stopped = false;
    // Current clocks: the reply (frame type 1) when answered; otherwise the cleared frame that
    // the window's pages then show.
    protocol::SettingsFrame settingsFrame{};
    // Early-version clocks: the reply (command 1) when answered, else all zeros.
    protocol::CommandFrame commandFrame{};
    // Current clocks: the passwords the window keeps for Modify after the read, taken from
    // `settingsFrame` (zeros when nothing answered). Early-version reads leave the known
    // passwords alone: nothing.
    std::optional<KnownPasswords> passwords;
};

// Reads the clock at `address`. The reply is also left in the state's SettingsFrame (a read
// reply: type 1) or, for early versions, its CommandFrame (command 1). When a later request
// of a wired read goes unanswered, the last complete answer is kept. An address that is 0,
// a network address (last octet 0) or a broadcast address is never asked: not answered at
// once. `stop` is looked at before each request and during the pauses.
ReadResult ReadClock(ClockLine& line, platform::Ipv4 address, ClockKind kind,
                     const std::stop_token& stop = {});

// Sleeps `duration` on the network's clock in short steps, returning early once `stop` is
// triggered. False when stopped.
bool PauseUnlessStopped(platform::Network& network, std::chrono::milliseconds duration,
                        const std::stop_token& stop);

}  // namespace tavlo::workflow
