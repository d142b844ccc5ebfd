// Many clocks from the command line: workflow::ForEachClock over the system's network, with
// Ctrl-C. The clocks run on their own threads while the calling thread waits for SIGINT or
// SIGTERM; one of them stops the run: no further clock is asked, and the clocks under way end
// at their next step (their job gets the stop token).
#pragma once

#include <cstddef>
#include <functional>
#include <stop_token>
#include <vector>

#include "platform/Network.h"
#include "workflow/ClockLine.h"

namespace tavlo::cli {

using StoppableClockJob =
    std::function<void(workflow::ClockLine& line, std::size_t index, const std::stop_token& stop)>;

// Runs `job` for each address, at most `parallel` at once; once the run has ended,
// `notAsked(index)` runs for each clock the run was stopped before.
void RunClocks(const std::vector<platform::Ipv4>& addresses, int parallel,
               const StoppableClockJob& job, const std::function<void(std::size_t)>& notAsked);

}  // namespace tavlo::cli
