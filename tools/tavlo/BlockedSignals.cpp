#include "tools/tavlo/BlockedSignals.h"

#include <ctime>

namespace tavlo::cli {

BlockedSignals::BlockedSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
}

BlockedSignals::~BlockedSignals() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool BlockedSignals::Poll(std::chrono::nanoseconds wait) const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec timeout{static_cast<std::time_t>(seconds.count()),
                           static_cast<long>((wait - seconds).count())};
    return sigtimedwait(&set_, nullptr, &timeout) > 0;
}

}  // namespace tavlo::cli
