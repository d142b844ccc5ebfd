#include "tools/tavlo/SearchPlan.h"

#include <CLI/CLI.hpp>

#include "platform/Ipv4.h"

namespace tavlo::cli {
namespace {

// --rate: probes per second.
constexpr std::uint32_t kMinRate = 1;
constexpr std::uint32_t kMaxRate = 1'000'000;

}  // namespace

void AddSearchFlags(CLI::App& command, SearchFlags& flags) {
    command.add_flag("--wired", flags.wired, "wired clocks (the default)");
    command.add_flag("--wifi", flags.wifi, "Wi-Fi clocks");
    command
        .add_option_function<std::string>(
            "--unicast", [&flags](const std::string& from) { flags.unicastFrom = from; },
            "sweep FROM and every next address up to .254 of its\n"
            "network instead of broadcasting")
        ->type_name("FROM");
    command
        .add_option("--range", flags.ranges,
                    "sweep A.B.C.D/N (N from 16 to 32) or FIRST-LAST\n"
                    "instead of broadcasting; repeatable")
        ->type_name("R")
        ->allow_extra_args(false);
    command
        .add_option_function<std::uint32_t>(
            "--rate", [&flags](std::uint32_t rate) { flags.rate = rate; },
            "probes per second of a sweep (default: about 10 Mbit/s)")
        ->type_name("N");
}

std::optional<SearchPlan> PlanSearch(const SearchFlags& flags, Io& io, std::string_view command,
                                     int& status) {
    const auto refuse = [&](const std::string& text) {
        status = UsageError(io, command, text);
        return std::nullopt;
    };
    if (flags.wired + flags.wifi > 1) {
        return refuse("give at most one of --wired and --wifi");
    }
    SearchPlan plan;
    protocol::SearchOptions& options = plan.options;
    options.broadcastChecked = true;
    options.wiredChecked = flags.wired != 0;
    options.wifiChecked = flags.wifi != 0;
    std::vector<protocol::AddressRange>& sweep = plan.sweep;
    for (const std::string& text : flags.ranges) {
        std::string error;
        const std::optional<protocol::AddressRange> range =
            protocol::ParseAddressRange(text, error);
        if (!range) {
            return refuse(Printable(error));
        }
        sweep.push_back(*range);
    }
    options.ranges = sweep;
    if (flags.unicastFrom) {
        const std::string& from = *flags.unicastFrom;
        // 0.0.0.0 goes on to the search, which refuses it with the window's own message.
        const std::optional<platform::Ipv4> start = platform::ParseDottedAddress(from);
        if (!start) {
            return refuse("'" + Printable(from) + "' is not an address like 192.0.2.1");
        }
        const std::uint32_t host = platform::NetworkToHost32(*start);
        if (platform::LastOctet(*start) == platform::kBroadcastAddressOctet) {
            if (!sweep.empty()) {
                return refuse("--unicast " + from + " is a broadcast; it takes no --range");
            }
        } else if (host != 0) {
            sweep.push_back(protocol::SweepToEndOfNetwork(host));
        }
        options.unicastChecked = true;
        options.ipAddressText = from;
    }
    sweep = protocol::JoinRanges(std::move(sweep));
    if (protocol::CountAddresses(sweep) > protocol::kMaxSweptAddresses) {
        return refuse("the ranges hold " + std::to_string(protocol::CountAddresses(sweep)) +
                      " addresses; a search sweeps at most " +
                      std::to_string(protocol::kMaxSweptAddresses));
    }
    options.broadcastChecked = sweep.empty() && !options.unicastChecked;
    if (flags.rate) {
        if (*flags.rate < kMinRate || *flags.rate > kMaxRate) {
            return refuse("--rate must be from " + std::to_string(kMinRate) + " to " +
                          std::to_string(kMaxRate) + " probes a second");
        }
        options.probesPerSecond = *flags.rate;
    }
    return plan;
}

}  // namespace tavlo::cli
