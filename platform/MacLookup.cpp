#include "platform/MacLookup.h"

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>

#include "platform/Ipv4.h"

namespace tavlo::platform {
namespace {

constexpr unsigned kCompleteEntryFlag = 0x2;  // ATF_COM
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

}  // namespace

bool CanHaveNeighbourEntry(Ipv4 address) {
    const std::uint32_t host = NetworkToHost32(address);
    return address != kAnyAddress && address != kLimitedBroadcast &&
           (host & kClassMask) != kMulticastClass && (host & kLoopbackMask) != kLoopbackNet;
}

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
        const std::optional<Ipv4> parsed = ParseDottedAddress(ip);
        if (!parsed || *parsed != address) {
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

}  // namespace tavlo::platform
