// What every service of the simulator shares: the clocks, the loop, the log and the random
// generator. main() makes one of each and hands this bundle to each service it starts.
#pragma once

#include <optional>
#include <random>
#include <vector>

#include "platform/Network.h"
#include "tools/clocksim/EventLoop.h"
#include "tools/clocksim/RequestLog.h"
#include "tools/clocksim/SimClock.h"

namespace tavlo::clocksim {

class ClockDirectory {
  public:
    explicit ClockDirectory(std::vector<SimClock> clocks) : clocks_(std::move(clocks)) {}

    std::vector<SimClock>& All() { return clocks_; }
    const std::vector<SimClock>& All() const { return clocks_; }
    // The clock at `address`, nullptr when none.
    SimClock* Find(platform::Ipv4 address);

    // This machine's own addresses and the broadcast addresses of its interfaces.
    void SetLocal(std::vector<platform::Ipv4> addresses, std::vector<platform::Ipv4> broadcasts);
    // Datagrams from these are never answered: the clocks' addresses and every local address
    // (the simulator's own replies must never come back as requests).
    bool IsOwnAddress(platform::Ipv4 address) const;
    // 255.255.255.255 or the broadcast address of a local interface.
    bool IsBroadcast(platform::Ipv4 destination) const;
    // An address of this machine (not a loopback one) that no clock has: where a clock can
    // move to.
    bool IsSpare(platform::Ipv4 address) const;
    // The first spare address, nothing when there is none.
    std::optional<platform::Ipv4> FirstSpare() const;

  private:
    std::vector<SimClock> clocks_;
    std::vector<platform::Ipv4> local_;
    std::vector<platform::Ipv4> broadcasts_;
};

struct SimContext {
    EventLoop& loop;
    ClockDirectory& clocks;
    RequestLog& log;
    std::mt19937& rng;
};

}  // namespace tavlo::clocksim
