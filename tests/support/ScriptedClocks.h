// Scripted clocks on the FakeNetwork: each answers the discovery probes of its kind the way a
// real clock of that family and generation does, with its serial number. For window tests,
// screenshots and anything else that needs a few clocks without a simulator.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Network.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::test {

enum class ClockKind { kWired, kWifi, kEarlyWired, kEarlyWifi };

// The reply a clock of `kind` gives to a discovery probe.
std::vector<std::uint8_t> DiscoveryReply(ClockKind kind, const std::string& serial);

// A clock at `address` that answers every discovery probe of its kind after `delay`.
void AddScriptedClock(FakeNetwork& network, ClockKind kind, platform::Ipv4 address,
                      const std::string& serial,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(5));

}  // namespace tavlo::test
