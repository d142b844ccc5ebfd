// The update state shared by the System page, the update worker and the update monitor.
// The application creates exactly one and hands it to the parts that share it; tests make
// their own.
#pragma once

#include <atomic>

namespace tavlo::firmware {

struct UpdateState {
    // Updates that succeeded since the operator last started an update or a batch.
    std::atomic<int> updateCounter{0};
    // Set by "Break"; cleared when the operator declines to stop, or when the update monitor
    // ends an update.
    std::atomic<bool> breakFlag{false};
};

}  // namespace tavlo::firmware
