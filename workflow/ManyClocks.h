// Reading or writing many clocks in one run: up to `parallel` clocks in flight at once over
// the shared sockets of SharedPorts. Each clock runs on a ClockLine of its own (its own
// SettingsFrame, CommandFrame and chunk state), so its requests, waits and retries are exactly
// those of a single clock's read or write.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stop_token>

#include "platform/Network.h"
#include "workflow/ClockLine.h"

namespace tavlo::workflow {

// Clocks in flight at once: the bounds and the default of `--parallel`.
inline constexpr int kMinParallel = 1;
inline constexpr int kMaxParallel = 64;
inline constexpr int kDefaultParallel = 8;

// The work for the clock `addresses[index]`, run on one of the worker threads.
using ClockJob = std::function<void(ClockLine& line, std::size_t index)>;

// Runs `job` for every address, taking them in the order given, at most `parallel` (cut to
// kMinParallel..kMaxParallel) at once, and returns when every job has ended. Once `stop` is
// triggered no further job starts (the jobs under way see the same token when they capture it).
void ForEachClock(platform::Network& network, std::span<const platform::Ipv4> addresses,
                  int parallel, const ClockJob& job, const std::stop_token& stop = {});

}  // namespace tavlo::workflow
