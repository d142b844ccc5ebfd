// What `tavlo read` and `tavlo write` share on their command lines: the kind of clock
// (--wired, --wifi or --early) and the address of one clock.
#pragma once

#include <optional>
#include <string>

#include "platform/Network.h"
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

    int given() const { return wired + wifi + early; }
    // The kind named; wired unless --wifi or --early was given.
    workflow::ClockKind kind() const;
};

inline constexpr const char* kOneKindOnly = "give exactly one of --wired, --wifi and --early";
inline constexpr const char* kOneKind = "give one of --wired, --wifi and --early";

// Adds --wired, --wifi and --early to `command`.
void AddClockKindFlags(CLI::App& command, ClockKindFlags& flags);

// The address of one clock: dotted decimal, not 0, not a network (group label) or broadcast
// address. Nothing and the usage error's text otherwise.
std::optional<platform::Ipv4> ClockAddress(const std::string& text, std::string& error);

}  // namespace tavlo::cli
