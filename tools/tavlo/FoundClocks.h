// The clocks a search finds, as `tavlo backup` and `tavlo restore` take them: the window's
// search (a broadcast, or a unicast sweep), run to its end, and every clock of its groups.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Network.h"
#include "protocol/Discovery.h"
#include "tools/tavlo/Cli.h"
#include "workflow/ClockKind.h"

namespace CLI {
class App;
}

namespace tavlo::cli {

struct FoundClock {
    platform::Ipv4 address = 0;
    std::string serial;  // empty when the clock reports none
    workflow::ClockKind kind = workflow::ClockKind::kWired;
};

// How a command searches: the family and, instead of a broadcast, a unicast sweep.
struct SearchFlags {
    int wired = 0;
    int wifi = 0;
    std::optional<std::string> unicastFrom;
};

// Adds --wired, --wifi and --unicast FROM to `command`.
void AddSearchFlags(CLI::App& command, SearchFlags& flags);

// Runs the search `flags` ask for and returns every clock found, current clocks first, each
// group in the search's order. Nothing when the search could not run (the usage error or
// the failure is printed, `status` holds the exit status).
std::optional<std::vector<FoundClock>> FindClocks(const SearchFlags& flags, Io& io,
                                                  std::string_view command, int& status);

// The family word a backup file keeps: "wired", "wifi" or "early".
std::string FamilyWord(workflow::ClockKind kind);

}  // namespace tavlo::cli
