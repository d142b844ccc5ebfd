// tavlo interfaces: the local IPv4 interfaces a search broadcasts on, one per line.
#include <CLI/CLI.hpp>
#include <bit>
#include <memory>
#include <string>

#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "interfaces";

constexpr const char* kInterfacesFooter =
    "Lists every network interface that is up, is no loopback and has a broadcast address:\n"
    "a search broadcasts once on each of them, and a clock's 'interface' in\n"
    "'tavlo search --json' names one of them.\n"
    "\n"
    "  eth0 198.18.0.1/24 broadcast 198.18.0.255\n"
    "\n"
    "Exit status: 0 when there is one, 1 when there is none.";

int RunInterfaces(bool json, Io& io) {
    const std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    int listed = 0;
    for (const platform::NetworkInterface& in : network->interfaces()) {
        if (in.loopback || in.broadcast == 0) {
            continue;
        }
        ++listed;
        const std::string address = platform::FormatIpv4(in.address);
        const std::string broadcast = platform::FormatIpv4(in.broadcast);
        if (json) {
            const json::Json line = {{"name", Printable(in.name)},
                                     {"index", in.index},
                                     {"address", address},
                                     {"netmask", platform::FormatIpv4(in.netmask)},
                                     {"broadcast", broadcast}};
            io.out << json::Write(line) << '\n';
        } else {
            io.out << Printable(in.name) << ' ' << address << '/'
                   << std::popcount(platform::NetworkToHost32(in.netmask)) << " broadcast "
                   << broadcast << '\n';
        }
    }
    if (listed == 0) {
        return Failure(io, kCommand, "no interface with a broadcast address is up", kExitNoAnswer);
    }
    return kExitSuccess;
}

}  // namespace

void AddInterfacesCommand(CLI::App& tavlo, Invocation& invocation) {
    auto json = std::make_shared<bool>(false);
    CLI::App* interfaces = AddSubcommand(
        tavlo, invocation, kCommand, "list the network interfaces a search broadcasts on",
        kInterfacesFooter, [json](Io& io) { return RunInterfaces(*json, io); });
    interfaces->add_flag("--json", *json, "one JSON object per interface and line");
}

}  // namespace tavlo::cli
