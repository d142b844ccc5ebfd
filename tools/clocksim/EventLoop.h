// The simulator's single-threaded event loop: services that own a socket, timers for delayed
// replies, and SIGTERM/SIGINT (taken through a signalfd, so no handler and no global state).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <queue>
#include <string>
#include <vector>

namespace tavlo::clocksim {

// Something the loop waits on: a UDP port of the clock protocol, a TFTP server, ...
class Service {
  public:
    virtual ~Service() = default;
    virtual int Fd() const = 0;
    // The descriptor is readable: take what waits (without blocking).
    virtual void OnReadable() = 0;
    // For the ready line and messages: "UDP 6869 (wired, early)".
    virtual std::string Describe() const = 0;
};

class EventLoop {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Blocks SIGTERM and SIGINT for the calling thread and takes them through a signalfd;
    // false and `error` when that fails.
    bool WatchStopSignals(std::string& error);

    // The service stays owned by the caller and must outlive Run().
    void Add(Service& service);
    // Runs `task` on the loop after `delay` (in order of due time, then of scheduling).
    void After(std::chrono::milliseconds delay, std::function<void()> task);
    // Milliseconds since the loop was made.
    std::int64_t NowMs() const;

    // Runs until a stop signal or Stop(). Returns the signal number, or 0 after Stop().
    int Run();
    void Stop() { stopping_ = true; }

  private:
    struct Timer {
        TimePoint due;
        std::uint64_t sequence;
        std::function<void()> task;
    };
    struct Later {
        bool operator()(const Timer& a, const Timer& b) const {
            return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
        }
    };
    void RunDueTimers();

    std::vector<Service*> services_;
    std::priority_queue<Timer, std::vector<Timer>, Later> timers_;
    std::uint64_t nextSequence_ = 0;
    TimePoint start_;
    int signalFd_ = -1;
    bool stopping_ = false;
};

}  // namespace tavlo::clocksim
