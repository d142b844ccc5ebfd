// Ctrl-C for the commands that run workers: SIGINT and SIGTERM are blocked in the calling
// thread for the object's lifetime (and so in every worker thread started meanwhile, which
// inherits the mask) and taken with Poll() instead, so the command decides what a signal
// stops.
#pragma once

#include <signal.h>

#include <chrono>

namespace tavlo::cli {

class BlockedSignals {
  public:
    BlockedSignals();
    ~BlockedSignals();
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

    // True when one of the signals came within `wait`.
    bool Poll(std::chrono::nanoseconds wait) const;

  private:
    sigset_t set_{};
    sigset_t previous_{};
};

}  // namespace tavlo::cli
