// What `tavlo read` and `tavlo write` share on their command lines: the kind of clock
// (--wired, --wifi or --early) and the address of one clock.
#pragma once

#include <optional>
#include <string>

#include "platform/Network.h"
#include "workflow/ClockKind.h"

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

}  // namespace tavlo::cli
