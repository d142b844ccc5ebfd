#include "tools/tavlo/ClockOptions.h"

#include <CLI/CLI.hpp>
#include <set>

#include "platform/Ipv4.h"
#include "protocol/Exchanges.h"
#include "tools/tavlo/Cli.h"
#include "workflow/ManyClocks.h"

namespace tavlo::cli {

void AddClockKindFlags(CLI::App& command, ClockKindFlags& flags) {
    command.add_flag("--wired", flags.wired, "a wired clock (listed under a \"(WIRED:n)\" group)");
    command.add_flag("--wifi", flags.wifi, "a Wi-Fi clock (listed under a \"(WIFI:n)\" group)");
    command.add_flag("--early", flags.early,
                     "a clock of the early firmware versions (\"Early Versions\")");
}

std::optional<NamedClock> ClockNamed(const ClockKindFlags& kinds, const std::string& text,
                                     std::string& error) {
    using workflow::ClockKind;
    const int given = kinds.wired + kinds.wifi + kinds.early;
    if (given != 1) {
        error = given == 0 ? "give one of --wired, --wifi and --early"
                           : "give exactly one of --wired, --wifi and --early";
        return std::nullopt;
    }
    const std::optional<platform::Ipv4> address = platform::ParseDottedAddress(text);
    if (!address || *address == platform::kAnyAddress) {
        error = "'" + Printable(text) + "' is not an address like 192.0.2.10";
        return std::nullopt;
    }
    if (!protocol::IsSingleClockTarget(*address)) {
        error = "'" + text + "' is a network or broadcast address" +
                (platform::LastOctet(*address) == 0 ? " (a group label), not a clock" : "");
        return std::nullopt;
    }
    const ClockKind kind = kinds.wifi != 0    ? ClockKind::kWifi
                           : kinds.early != 0 ? ClockKind::kEarly
                                              : ClockKind::kWired;
    return NamedClock{kind, *address};
}

std::optional<NamedClocks> ClocksNamed(const ClockKindFlags& kinds,
                                       const std::vector<std::string>& addresses,
                                       std::string& error) {
    NamedClocks clocks;
    std::set<platform::Ipv4> seen;
    for (const std::string& text : addresses) {
        const std::optional<NamedClock> clock = ClockNamed(kinds, text, error);
        if (!clock) {
            return std::nullopt;
        }
        if (!seen.insert(clock->address).second) {
            error = "'" + text + "' is given twice";
            return std::nullopt;
        }
        clocks.kind = clock->kind;
        clocks.addresses.push_back(clock->address);
    }
    return clocks;
}

void AddParallelOption(CLI::App& command, std::optional<std::string>& parallel) {
    command
        .add_option_function<std::string>(
            "--parallel", [&parallel](const std::string& count) { parallel = count; },
            "read or write up to N clocks at once (1 to 64, default 8)")
        ->type_name("N");
}

std::optional<int> ParallelOf(const std::optional<std::string>& parallel, std::string& error) {
    if (!parallel) {
        return workflow::kDefaultParallel;
    }
    const std::optional<int> count =
        ParseCount(*parallel, workflow::kMinParallel, workflow::kMaxParallel);
    if (!count) {
        error = "--parallel takes a number of clocks from " +
                std::to_string(workflow::kMinParallel) + " to " +
                std::to_string(workflow::kMaxParallel) + ", not '" + Printable(*parallel) + "'";
    }
    return count;
}

}  // namespace tavlo::cli
