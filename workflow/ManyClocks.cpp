#include "workflow/ManyClocks.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "workflow/SharedPorts.h"

namespace tavlo::workflow {

void ForEachClock(platform::Network& network, std::span<const platform::Ipv4> addresses,
                  int parallel, const ClockJob& job, const std::stop_token& stop) {
    SharedPorts ports(network);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t index = next++; index < addresses.size(); index = next++) {
            if (stop.stop_requested()) {
                return;
            }
            OwnedClockLine line(ports.networkFor(addresses[index]));
            job(line.line(), index);
        }
    };
    const auto workers = std::min<std::size_t>(
        static_cast<std::size_t>(std::clamp(parallel, kMinParallel, kMaxParallel)),
        addresses.size());
    std::vector<std::jthread> threads;
    threads.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        threads.emplace_back(work);
    }
}

}  // namespace tavlo::workflow
