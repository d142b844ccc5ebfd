// Clocks that answer on the FakeNetwork with the simulator's own clock logic: discovery,
// reads and writes of every kind, as tavlo-clocksim's clocks do, with their default settings
// (serial number "SN" and the address's last digits, passwords "omber" and "tarnfelk", ...).
// For window tests and pictures that read clocks without namespaces.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/MacLookup.h"
#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "tests/support/FakeNetwork.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/SimClock.h"

namespace tavlo::test {

class SimulatedClocks {
  public:
    // `network` must outlive this object; the clocks stop answering when it is destroyed.
    explicit SimulatedClocks(FakeNetwork& network);
    ~SimulatedClocks();
    SimulatedClocks(const SimulatedClocks&) = delete;
    SimulatedClocks& operator=(const SimulatedClocks&) = delete;

    // A clock of `kind` at `address` with its default settings and no faults. `change` may
    // adjust it before it first answers (a serial number, faults, ...).
    void add(clocksim::ClockKind kind, platform::Ipv4 address,
             const std::function<void(clocksim::SimClock&)>& change = {});

    // The neighbour table of the fake segment: a clock's hardware address, nothing for an
    // address without a clock. Any thread.
    std::optional<platform::MacAddress> macOf(platform::Ipv4 address) const;

  private:
    struct Shared;
    FakeNetwork& network_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace tavlo::test
