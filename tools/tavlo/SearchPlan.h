// How a command searches (tavlo search, backup and restore): the family, and instead of a
// broadcast a sweep of the window's "Unicast" range and of address ranges, at a rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/AddressRange.h"
#include "protocol/Discovery.h"
#include "tools/tavlo/Cli.h"

namespace CLI {
class App;
}

namespace tavlo::cli {

struct SearchFlags {
    int wired = 0;
    int wifi = 0;
    std::optional<std::string> unicastFrom;
    std::vector<std::string> ranges;
    std::optional<std::uint32_t> rate;
};

// Adds --wired, --wifi, --unicast FROM, --range R and --rate N to `command`.
void AddSearchFlags(CLI::App& command, SearchFlags& flags);

struct SearchPlan {
    protocol::SearchOptions options;
    std::vector<protocol::AddressRange> sweep;  // joined; empty for a broadcast
};

// The search `flags` ask for. Nothing after a usage error, which is printed for `command`
// (`status` holds the exit status).
std::optional<SearchPlan> PlanSearch(const SearchFlags& flags, Io& io, std::string_view command,
                                     int& status);

}  // namespace tavlo::cli
