// tavlo-clocksim: simulated network wall clocks. `tavlo-clocksim --help` tells the usage.
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "tools/clocksim-tftp/TftpServer.h"
#include "tools/clocksim/ClockPortService.h"
#include "tools/clocksim/Config.h"
#include "tools/clocksim/EventLoop.h"
#include "tools/clocksim/SimContext.h"

namespace tc = tavlo::clocksim;
using tavlo::platform::FormatIpv4;
using tavlo::platform::Ipv4;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kVersionDivisor = 100;
// Subnets smaller than a /30 (point-to-point links, single hosts) have no broadcast address.
constexpr std::uint32_t kMinHostBits = 0x3;

struct LocalAddresses {
    std::vector<Ipv4> addresses;
    std::vector<Ipv4> broadcasts;
};

LocalAddresses FindLocalAddresses() {
    LocalAddresses local;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return local;
    }
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        local.addresses.push_back(address.sin_addr.s_addr);
        // The directed broadcast of the address's subnet, from its mask (the broadcast
        // attribute is missing for addresses added without one).
        if (entry->ifa_netmask != nullptr && entry->ifa_netmask->sa_family == AF_INET) {
            sockaddr_in mask{};
            std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
            const std::uint32_t hostMask = ntohl(mask.sin_addr.s_addr);
            if (hostMask != 0 && (~hostMask & kMinHostBits) == kMinHostBits) {
                local.broadcasts.push_back(address.sin_addr.s_addr | ~mask.sin_addr.s_addr);
            }
        }
    }
    ::freeifaddrs(list);
    return local;
}

void PrintClocks(const std::vector<tc::SimClock>& clocks) {
    for (const auto& clock : clocks) {
        std::printf("%-10s %-15s %-20s %s", std::string(tc::KindName(clock.kind)).c_str(),
                    FormatIpv4(clock.address).c_str(), clock.SerialNumber().c_str(),
                    tc::FormatMac(clock.mac).c_str());
        if (!tc::IsEarly(clock.kind)) {
            const tavlo::settings::ConstClockSettings record(clock.record);
            std::printf(" version %u.%02u user \"%s\" global \"%s\"",
                        record.version() / kVersionDivisor, record.version() % kVersionDivisor,
                        record.userPassword().c_str(), record.globalPassword().c_str());
        }
        std::printf("\n");
    }
}

std::string Summary(const std::vector<tc::SimClock>& clocks) {
    int counts[4] = {};
    for (const auto& clock : clocks) {
        ++counts[static_cast<int>(clock.kind)];
    }
    std::string text = std::to_string(clocks.size()) + " clocks (";
    const char* separator = "";
    for (tc::ClockKind kind : {tc::ClockKind::kWired, tc::ClockKind::kWifi, tc::ClockKind::kEarly,
                               tc::ClockKind::kEarlyWifi}) {
        if (counts[static_cast<int>(kind)] != 0) {
            text += separator + std::string(tc::KindName(kind)) + " " +
                    std::to_string(counts[static_cast<int>(kind)]);
            separator = ", ";
        }
    }
    return text + ")";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    tc::TftpSettings tftp;  // the --tftp-... options, for the firmware side
    auto config = tc::ParseCommandLine(args, error, tc::ReadTextFile,
                                       [&tftp](CLI::App& app) { tc::AddTftpOptions(app, tftp); });
    if (!config) {
        std::fprintf(stderr, "tavlo-clocksim: %s\nRun 'tavlo-clocksim --help' for the options.\n",
                     error.c_str());
        return kExitUsage;
    }
    if (config->help) {
        std::fputs(config->helpText.c_str(), stdout);
        return 0;
    }
    if (config->listOnly) {
        PrintClocks(config->clocks);
        return 0;
    }

    LocalAddresses local = FindLocalAddresses();
    for (const auto& clock : config->clocks) {
        if (std::find(local.addresses.begin(), local.addresses.end(), clock.address) ==
            local.addresses.end()) {
            std::fprintf(stderr,
                         "tavlo-clocksim: %s is not an address of this machine; add it first "
                         "(ip addr add %s/24 dev IF) or run in the test network "
                         "(scripts/testnet)\n",
                         FormatIpv4(clock.address).c_str(), FormatIpv4(clock.address).c_str());
            return kExitFailure;
        }
    }

    std::mt19937 rng(config->seed ? *config->seed : std::random_device{}());
    tc::RequestLog log;
    if (!config->logPath.empty() && !log.Open(config->logPath, error)) {
        std::fprintf(stderr, "tavlo-clocksim: %s\n", error.c_str());
        return kExitFailure;
    }
    tc::ClockDirectory clocks(std::move(config->clocks));
    clocks.SetLocal(local.addresses, local.broadcasts);

    tc::EventLoop loop;
    if (!loop.WatchStopSignals(error)) {
        std::fprintf(stderr, "tavlo-clocksim: %s\n", error.c_str());
        return kExitFailure;
    }
    tc::SimContext context{loop, clocks, log, rng};
    tc::SimNonceSource nonces(rng);

    // The clock protocol's two ports, opened only when some clock needs them. Further
    // services (for example TFTP on port 69) are made here the same way and added to the loop;
    // one that runs its own thread starts it after WatchStopSignals above, so that the thread
    // inherits the blocked stop signals and they still reach the loop.
    bool needFullFramePort = false;
    bool needChunkPort = false;
    for (const auto& clock : clocks.All()) {
        needFullFramePort |=
            clock.kind == tc::ClockKind::kWifi || clock.kind == tc::ClockKind::kEarlyWifi;
        needChunkPort |= clock.kind != tc::ClockKind::kWifi;
    }
    std::vector<std::unique_ptr<tc::Service>> services;
    for (auto [port, needed] : {std::pair{tavlo::protocol::kFullFramePort, needFullFramePort},
                                std::pair{tavlo::protocol::kChunkPort, needChunkPort}}) {
        if (!needed) {
            continue;
        }
        auto socket = tc::UdpPort::Open(port, config->bufferBytes, error);
        if (!socket) {
            std::fprintf(stderr, "tavlo-clocksim: %s\n", error.c_str());
            return kExitFailure;
        }
        services.push_back(
            std::make_unique<tc::ClockPortService>(std::move(socket), context, nonces));
    }
    std::string listening;
    for (auto& service : services) {
        loop.Add(*service);
        listening += (listening.empty() ? "" : ", ") + service->Describe();
    }

    // Firmware updates of the wired-family clocks over TFTP, on a thread of its own.
    std::unique_ptr<tc::TftpService> firmware;
    if (tftp.enabled && needChunkPort) {
        firmware = std::make_unique<tc::TftpService>(
            tftp.faults, tftp.storePath, [](const std::string& line) {
                std::printf("tavlo-clocksim: %s\n", line.c_str());
                std::fflush(stdout);
            });
        for (const auto& clock : clocks.All()) {
            if (clock.kind == tc::ClockKind::kWired || clock.kind == tc::ClockKind::kEarly) {
                firmware->AddClock(clock.address, clock.mac);
            }
        }
        if (firmware->Start(error)) {
            listening += ", TFTP port 69";
        } else {
            std::fprintf(stderr, "tavlo-clocksim: no firmware updates: %s\n", error.c_str());
            firmware.reset();
        }
    }

    std::printf("tavlo-clocksim: ready: %s on %s\n", Summary(clocks.All()).c_str(),
                listening.c_str());
    std::fflush(stdout);
    const int signal = loop.Run();
    if (signal < 0) {
        std::fprintf(stderr, "tavlo-clocksim: the event loop failed\n");
        return kExitFailure;
    }
    std::fprintf(stderr, "tavlo-clocksim: stopped (signal %d)\n", signal);
    return 0;
}
