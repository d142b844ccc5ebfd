// What `tavlo read` and `tavlo write` share on their command lines: the kind of clock
// (--wired, --wifi or --early) and the address of one clock.
#pragma once

#include <optional>
#include <string>
#include <vector>

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

// The clocks a command names: each address as ClockNamed takes it, none given twice, all of
// the one kind the flags give. Nothing and the usage error's text otherwise.
struct NamedClocks {
    workflow::ClockKind kind = workflow::ClockKind::kWired;
    std::vector<platform::Ipv4> addresses;
};
std::optional<NamedClocks> ClocksNamed(const ClockKindFlags& kinds,
                                       const std::vector<std::string>& addresses,
                                       std::string& error);

// --parallel N: the clocks in flight at once.
void AddParallelOption(CLI::App& command, std::optional<std::string>& parallel);
// Its value, workflow::kDefaultParallel when not given; nothing and the usage error's text
// when it is not a number from 1 to 64.
std::optional<int> ParallelOf(const std::optional<std::string>& parallel, std::string& error);

}  // namespace tavlo::cli
