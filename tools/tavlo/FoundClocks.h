// The clocks a search finds, as `tavlo backup` and `tavlo restore` take them: the window's
// search (a broadcast, or a unicast sweep), run to its end, and every clock of its groups.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Network.h"
#include "protocol/Discovery.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/SearchPlan.h"
#include "workflow/ClockKind.h"

namespace tavlo::cli {

struct FoundClock {
    platform::Ipv4 address = 0;
    std::string serial;  // empty when the clock reports none
    workflow::ClockKind kind = workflow::ClockKind::kWired;
};

// Runs the search `plan` asks for and returns every clock found, current clocks first, each
// group in the search's order. Nothing when the search could not run (the failure is printed,
// `status` holds the exit status).
std::optional<std::vector<FoundClock>> FindClocks(const SearchPlan& plan, Io& io,
                                                  std::string_view command, int& status);

// The family word a backup file keeps: "wired", "wifi" or "early".
std::string FamilyWord(workflow::ClockKind kind);

}  // namespace tavlo::cli
