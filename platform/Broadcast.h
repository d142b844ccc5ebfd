// A broadcast out of every local interface (or of the named ones): 255.255.255.255 leaves by
// one interface only, so a PC with two adapters sends it once out of each.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Network.h"

namespace tavlo::platform {

// The interfaces a broadcast leaves by, one index per interface: those that are no loopback
// and have a broadcast address, and of them only the ones named in `names` unless it is
// empty.
std::vector<std::uint32_t> BroadcastInterfaces(const std::vector<NetworkInterface>& interfaces,
                                               const std::vector<std::string>& names = {});

// Sends `bytes` to `to` once out of each interface of `indexes`, or with a plain send when
// there is none. True when at least one send went out whole.
bool SendOutOfEach(UdpSocket& socket, std::span<const std::uint8_t> bytes, Endpoint to,
                   const std::vector<std::uint32_t>& indexes);

}  // namespace tavlo::platform
