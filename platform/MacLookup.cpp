#include "platform/MacLookup.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

namespace tavlo::platform {
namespace {

// The calling thread's own view first: a thread may have entered another network namespace
// than the process's main thread.
constexpr const char* kThreadArpTablePath = "/proc/thread-self/net/arp";
constexpr const char* kArpTablePath = "/proc/net/arp";
constexpr unsigned kCompleteEntryFlag = 0x2;  // ATF_COM
constexpr std::uint16_t kDiscardPort = 9;
constexpr std::chrono::milliseconds kPollInterval{20};
constexpr int kHexBase = 16;
// Host-order address classes that never have a neighbour entry.
constexpr std::uint32_t kClassMask = 0xF0000000u;
constexpr std::uint32_t kMulticastClass = 0xE0000000u;
constexpr std::uint32_t kLoopbackMask = 0xFF000000u;
constexpr std::uint32_t kLoopbackNet = 0x7F000000u;

std::optional<MacAddress> ParseColonMac(const std::string& text) {
    MacAddress mac{};
    std::array<unsigned, std::tuple_size_v<MacAddress>> values{};
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &values[0], &values[1], &values[2],
                    &values[3], &values[4], &values[5], &tail) != static_cast<int>(values.size())) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < mac.size(); ++i) {
        mac[i] = static_cast<std::uint8_t>(values[i]);
    }
    return mac;
}

bool CanHaveNeighbourEntry(Ipv4 address) {
    const std::uint32_t host = ntohl(address);
    return address != kAnyAddress && address != kLimitedBroadcast &&
           (host & kClassMask) != kMulticastClass && (host & kLoopbackMask) != kLoopbackNet;
}

std::optional<MacAddress> ReadArpTable(Ipv4 address) {
    std::ifstream file(kThreadArpTablePath);
    if (!file) {
        file.open(kArpTablePath);
    }
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return FindInArpTable(text.str(), address);
}

// One empty datagram to the discard port makes the kernel resolve the neighbour.
void ProvokeResolution(Ipv4 address) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = address;
    static_cast<void>(
        ::sendto(fd, nullptr, 0, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to));
    ::close(fd);
}

}  // namespace

std::optional<MacAddress> FindInArpTable(std::string_view table, Ipv4 address) {
    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line);  // header
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ip, hwType, flags, hwAddress;
        if (!(fields >> ip >> hwType >> flags >> hwAddress)) {
            continue;
        }
        in_addr parsed{};
        if (::inet_pton(AF_INET, ip.c_str(), &parsed) != 1 || parsed.s_addr != address) {
            continue;
        }
        unsigned long flagBits = 0;
        try {
            flagBits = std::stoul(flags, nullptr, kHexBase);
        } catch (...) {
            continue;
        }
        if ((flagBits & kCompleteEntryFlag) == 0) {
            continue;
        }
        if (auto mac = ParseColonMac(hwAddress)) {
            return mac;
        }
    }
    return std::nullopt;
}

std::optional<MacAddress> LookupMacAddress(Ipv4 address, std::chrono::milliseconds timeout) {
    if (!CanHaveNeighbourEntry(address)) {
        return std::nullopt;
    }
    if (auto mac = ReadArpTable(address)) {
        return mac;
    }
    ProvokeResolution(address);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
        if (auto mac = ReadArpTable(address)) {
            return mac;
        }
    }
    return std::nullopt;
}

}  // namespace tavlo::platform
