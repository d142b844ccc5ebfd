#include "tools/tavlo/ClockRuns.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/Console.h"
#include "workflow/ManyClocks.h"

namespace tavlo::cli {
namespace {

// How soon the run notices Ctrl-C, and its own end.
constexpr std::chrono::milliseconds kSignalPoll{5};

}  // namespace

void RunClocks(const std::vector<platform::Ipv4>& addresses, int parallel,
               const StoppableClockJob& job, const std::function<void(std::size_t)>& notAsked) {
    // Each flag is written by one clock's thread and read after the run has been joined.
    std::vector<char> ran(addresses.size(), 0);
    const std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    platform::ConsoleBreak signals;  // before the threads start: they inherit the mask
    std::stop_source stop;
    std::atomic<bool> ended{false};
    {
        std::jthread run([&] {
            workflow::ForEachClock(
                *network, addresses, parallel,
                [&](workflow::ClockLine& line, std::size_t index) {
                    ran[index] = 1;
                    job(line, index, stop.get_token());
                },
                stop.get_token());
            ended = true;
        });
        while (!ended) {
            if (signals.Poll(kSignalPoll)) {
                stop.request_stop();
            }
        }
    }
    for (std::size_t index = 0; index < ran.size(); ++index) {
        if (ran[index] == 0) {
            notAsked(index);
        }
    }
}

}  // namespace tavlo::cli
