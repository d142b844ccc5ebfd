#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>

#include "platform/Console.h"
#include "platform/WindowsText.h"

namespace tavlo::platform {
namespace {

// The console control handler runs on a thread the system starts and gets no context, so the
// event it sets is reachable only from here. Its owner is the one ConsoleBreak alive.
std::atomic<HANDLE> breakEvent{nullptr};

BOOL WINAPI OnConsoleBreak(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console, logging off: the default ends the program
    }
    const HANDLE event = breakEvent.load();
    if (event == nullptr) {
        return FALSE;
    }
    ::SetEvent(event);
    return TRUE;
}

DWORD StandardHandleOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::kInput:
            return STD_INPUT_HANDLE;
        case StandardStream::kOutput:
            return STD_OUTPUT_HANDLE;
        case StandardStream::kError:
            return STD_ERROR_HANDLE;
    }
    return STD_ERROR_HANDLE;
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    // A console answers GetConsoleMode; a file, a pipe and the NUL device do not.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(StandardHandleOf(stream)), &mode) != 0;
}

void UseBinaryOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv + 1, argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(WideToUtf8(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

struct ConsoleBreak::State {
    HANDLE event = nullptr;
};

ConsoleBreak::ConsoleBreak() : state_(std::make_unique<State>()) {
    // Auto-reset: one break is taken by one Poll.
    state_->event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    breakEvent.store(state_->event);
    ::SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
}

ConsoleBreak::~ConsoleBreak() {
    ::SetConsoleCtrlHandler(OnConsoleBreak, FALSE);
    breakEvent.store(nullptr);
    if (state_->event != nullptr) {
        ::CloseHandle(state_->event);
    }
}

bool ConsoleBreak::Poll(std::chrono::nanoseconds wait) const {
    if (state_->event == nullptr) {
        return false;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
    return ::WaitForSingleObject(state_->event, static_cast<DWORD>(ms.count())) == WAIT_OBJECT_0;
}

}  // namespace tavlo::platform
