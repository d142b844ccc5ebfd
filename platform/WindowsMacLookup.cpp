// SendARP, which asks the network, then the neighbour table (GetIpNetTable2) until the time-out.
#include <winsock2.h>
#include <ws2ipdef.h>

#include <iphlpapi.h>
#include <netioapi.h>

#include <algorithm>
#include <thread>

#include "platform/MacLookup.h"

namespace tavlo::platform {
namespace {

constexpr std::chrono::milliseconds kPollInterval{20};
constexpr ULONG kMacBytes = std::tuple_size_v<MacAddress>;

std::optional<MacAddress> AskWithArp(Ipv4 address) {
    std::array<ULONG, 2> buffer{};
    ULONG length = sizeof buffer;
    if (::SendARP(address, 0, buffer.data(), &length) != NO_ERROR || length != kMacBytes) {
        return std::nullopt;
    }
    MacAddress mac{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(buffer.data()), mac.size(), mac.begin());
    return mac;
}

// A row the system has resolved: reachable, or known and not yet checked again.
bool IsResolved(NL_NEIGHBOR_STATE state) {
    return state == NlnsReachable || state == NlnsStale || state == NlnsDelay ||
           state == NlnsProbe || state == NlnsPermanent;
}

std::optional<MacAddress> ReadNeighbourTable(Ipv4 address) {
    MIB_IPNET_TABLE2* table = nullptr;
    if (::GetIpNetTable2(AF_INET, &table) != NO_ERROR || table == nullptr) {
        return std::nullopt;
    }
    std::optional<MacAddress> found;
    for (ULONG i = 0; i < table->NumEntries && !found; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.Address.Ipv4.sin_addr.s_addr == address && row.PhysicalAddressLength == kMacBytes &&
            IsResolved(row.State)) {
            MacAddress mac{};
            std::copy_n(row.PhysicalAddress, mac.size(), mac.begin());
            found = mac;
        }
    }
    ::FreeMibTable(table);
    return found;
}

}  // namespace

std::optional<MacAddress> LookupMacAddress(Ipv4 address, std::chrono::milliseconds timeout) {
    if (!CanHaveNeighbourEntry(address)) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (auto mac = AskWithArp(address)) {
        return mac;
    }
    for (;;) {
        if (auto mac = ReadNeighbourTable(address)) {
            return mac;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace tavlo::platform
