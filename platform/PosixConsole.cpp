#include <signal.h>
#include <unistd.h>

#include <ctime>

#include "platform/Console.h"

namespace tavlo::platform {

bool IsTerminal(StandardStream stream) {
    switch (stream) {
        case StandardStream::kInput:
            return ::isatty(STDIN_FILENO) == 1;
        case StandardStream::kOutput:
            return ::isatty(STDOUT_FILENO) == 1;
        case StandardStream::kError:
            return ::isatty(STDERR_FILENO) == 1;
    }
    return false;
}

void UseBinaryOutput() {
    // Output is always binary here.
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return {argv + 1, argv + argc};
}

// SIGINT and SIGTERM are blocked in the calling thread (and so in every thread started
// meanwhile, which inherits the mask) and taken with sigtimedwait.
struct ConsoleBreak::State {
    sigset_t set{};
    sigset_t previous{};
};

ConsoleBreak::ConsoleBreak() : state_(std::make_unique<State>()) {
    sigemptyset(&state_->set);
    sigaddset(&state_->set, SIGINT);
    sigaddset(&state_->set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &state_->set, &state_->previous);
}

ConsoleBreak::~ConsoleBreak() {
    pthread_sigmask(SIG_SETMASK, &state_->previous, nullptr);
}

bool ConsoleBreak::Poll(std::chrono::nanoseconds wait) const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec timeout{static_cast<std::time_t>(seconds.count()),
                           static_cast<long>((wait - seconds).count())};
    return sigtimedwait(&state_->set, nullptr, &timeout) > 0;
}

}  // namespace tavlo::platform
