#include "tools/tavlo/ClockOptions.h"

#include <CLI/CLI.hpp>

#include "platform/Ipv4.h"
#include "protocol/Exchanges.h"
#include "tools/tavlo/Cli.h"

namespace tavlo::cli {

workflow::ClockKind ClockKindFlags::kind() const {
    using workflow::ClockKind;
    return wifi != 0 ? ClockKind::kWifi : early != 0 ? ClockKind::kEarly : ClockKind::kWired;
}

void AddClockKindFlags(CLI::App& command, ClockKindFlags& flags) {
    command.add_flag("--wired", flags.wired, "a wired clock (listed under a \"(WIRED:n)\" group)");
    command.add_flag("--wifi", flags.wifi, "a Wi-Fi clock (listed under a \"(WIFI:n)\" group)");
    command.add_flag("--early", flags.early,
                     "a clock of the early firmware versions (\"Early Versions\")");
}

std::optional<platform::Ipv4> ClockAddress(const std::string& text, std::string& error) {
    const std::optional<platform::Ipv4> address = platform::ParseDottedAddress(text);
    if (!address || *address == platform::kAnyAddress) {
        error = "'" + Printable(text) + "' is not an address like 192.0.2.10";
        return std::nullopt;
    }
    if (protocol::IsRejectedTarget(*address) || protocol::IsBroadcastTarget(*address)) {
        error = "'" + text + "' is a network or broadcast address" +
                (platform::LastOctet(*address) == 0 ? " (a group label), not a clock" : "");
        return std::nullopt;
    }
    return address;
}

}  // namespace tavlo::cli
