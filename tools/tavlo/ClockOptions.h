// What `tavlo read` and `tavlo write` share: on their command lines the kind of clock
// (--wired, --wifi or --early) and the address of one clock, and the exchanges they run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/Exchanges.h"
#include "protocol/ProtocolState.h"
#include "workflow/ClockRead.h"

namespace CLI {
class App;
}

namespace tavlo::cli {

// The three kind flags of a command that names one clock.
struct ClockKindFlags {
    int wired = 0;
    int wifi = 0;
    int early = 0;
};

// Adds --wired, --wifi and --early to `command`.
void AddClockKindFlags(CLI::App& command, ClockKindFlags& flags);

// The one clock a command names.
struct NamedClock {
    workflow::ClockKind kind = workflow::ClockKind::kWired;
    platform::Ipv4 address = 0;
};

// Exactly one kind flag, and an address that is dotted decimal, not 0, not a network (group
// label) or broadcast address. Nothing and the usage error's text otherwise.
std::optional<NamedClock> ClockNamed(const ClockKindFlags& kinds, const std::string& address,
                                     std::string& error);

// The machine's network and the clock exchanges over it, for one command's run.
struct ClockLine {
    ClockLine();
    ClockLine(const ClockLine&) = delete;
    ClockLine& operator=(const ClockLine&) = delete;

    std::unique_ptr<platform::Network> network;
    protocol::ProtocolState state;
    protocol::ClockNonceSource nonces;
    protocol::ClockExchanges exchanges;
};

}  // namespace tavlo::cli
