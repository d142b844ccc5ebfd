// Hardware (MAC) address of an IPv4 neighbour, from the system's neighbour table.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Network.h"

namespace tavlo::platform {

using MacAddress = std::array<std::uint8_t, 6>;

inline constexpr std::chrono::milliseconds kMacLookupTimeout{1000};

// Looks `address` (network byte order) up in the neighbour table. When it has no complete
// entry yet, one empty UDP datagram goes to the address's discard port to make the kernel
// resolve it, and the table is read again until `timeout` has passed. Returns nullopt for
// addresses that cannot have a neighbour entry (0.0.0.0, broadcast, multicast, loopback)
// and when no answer came in time.
std::optional<MacAddress> LookupMacAddress(Ipv4 address,
                                           std::chrono::milliseconds timeout = kMacLookupTimeout);

// False for addresses that never have a neighbour entry: 0.0.0.0, broadcast, multicast and
// loopback.
bool CanHaveNeighbourEntry(Ipv4 address);

// The hardware address of `address` in the text of a neighbour table in the format of
// /proc/net/arp (one header line, then "IP  HW-type  Flags  HW-address  Mask  Device").
// Only complete entries (flag 0x2) count. Exposed for tests.
std::optional<MacAddress> FindInArpTable(std::string_view table, Ipv4 address);

}  // namespace tavlo::platform
