// The console of a command-line program: whether a standard stream is a terminal, output
// carrying exactly the bytes written, the arguments as UTF-8, and the console break
// (Ctrl-C, and on POSIX systems also SIGTERM) taken when the program asks for it.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tavlo::platform {

enum class StandardStream { kInput, kOutput, kError };

// True when the stream is an interactive terminal (a console window on Windows).
bool IsTerminal(StandardStream stream);

// Standard output and standard error in binary mode: "\n" stays one byte, so a program prints
// the same bytes on every system.
void UseBinaryOutput();

// The program's arguments (without the program's name) in UTF-8, whatever the system's code
// page; `argv` is what main() received.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// While it lives, a console break does not end the program but is held for Poll(), so the
// program decides what a break stops. Threads started meanwhile never take the break either.
// At most one lives at a time.
class ConsoleBreak {
  public:
    ConsoleBreak();
    ~ConsoleBreak();
    ConsoleBreak(const ConsoleBreak&) = delete;
    ConsoleBreak& operator=(const ConsoleBreak&) = delete;

    // True when a break came (since the last Poll) within `wait`.
    bool Poll(std::chrono::nanoseconds wait) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tavlo::platform
