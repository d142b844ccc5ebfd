#include "tools/clocksim/EventLoop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavlo::clocksim {
namespace {
constexpr int kIdleWaitMs = 1000;
}

EventLoop::EventLoop() : start_(std::chrono::steady_clock::now()) {}

EventLoop::~EventLoop() {
    if (signalFd_ >= 0) {
        ::close(signalFd_);
    }
}

bool EventLoop::WatchStopSignals(std::string& error) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        error = "cannot block SIGTERM and SIGINT";
        return false;
    }
    signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ < 0) {
        error = std::string("signalfd: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void EventLoop::Add(Service& service) {
    services_.push_back(&service);
}

void EventLoop::After(std::chrono::milliseconds delay, std::function<void()> task) {
    timers_.push(Timer{std::chrono::steady_clock::now() + delay, nextSequence_++, std::move(task)});
}

std::int64_t EventLoop::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
}

void EventLoop::RunDueTimers() {
    const auto now = std::chrono::steady_clock::now();
    while (!timers_.empty() && timers_.top().due <= now) {
        auto task = timers_.top().task;
        timers_.pop();
        task();
    }
}

int EventLoop::Run() {
    std::vector<pollfd> fds;
    for (;;) {
        if (stopping_) {
            return 0;
        }
        fds.clear();
        for (const Service* service : services_) {
            fds.push_back({service->Fd(), POLLIN, 0});
        }
        if (signalFd_ >= 0) {
            fds.push_back({signalFd_, POLLIN, 0});
        }
        int waitMs = kIdleWaitMs;
        if (!timers_.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                timers_.top().due - std::chrono::steady_clock::now());
            waitMs = left.count() < 0
                         ? 0
                         : static_cast<int>(std::min<std::int64_t>(left.count(), kIdleWaitMs));
        }
        int ready = ::poll(fds.data(), fds.size(), waitMs);
        if (ready < 0 && errno != EINTR) {
            return -1;
        }
        if (signalFd_ >= 0 && (fds.back().revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                return static_cast<int>(info.ssi_signo);
            }
        }
        for (std::size_t i = 0; i < services_.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLERR)) != 0) {
                services_[i]->OnReadable();
            }
        }
        RunDueTimers();
    }
}

}  // namespace tavlo::clocksim
