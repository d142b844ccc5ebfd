// Shared pieces of the `tavlo` command line: exit codes, how a subcommand joins the command
// line, usage errors, and output helpers (printable text, a progress line on terminals).
//
// A subcommand lives in its own source file as one function
//     void AddXxxCommand(CLI::App& tavlo, Invocation& invocation);
// declared in Commands.h and listed in the table of CommandLine.cpp.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextCodec.h"

namespace CLI {
class App;
}

namespace tavlo::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoAnswer = 1;  // no clock answered (or the network failed)
inline constexpr int kExitUsage = 2;     // bad command line

inline constexpr const char* kProgramName = "tavlo";

// Where a command writes. `errIsTerminal` enables the progress line on `err`.
struct Io {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
};

// What a subcommand's run needs from the command line: where to write, and where to leave
// its exit status.
struct Invocation {
    Io& io;
    int status = kExitSuccess;
};

// Adds one subcommand to `tavlo` (with AddSubcommand below).
using CommandAdder = void (*)(CLI::App& tavlo, Invocation& invocation);

// Adds the subcommand `name` to `tavlo` and returns it for its options. `footer` follows the
// options in its --help. Once the whole command line has been read, a word the subcommand
// did not take is refused as a usage error; otherwise `run` runs and its exit status is left
// in `invocation`.
CLI::App* AddSubcommand(CLI::App& tavlo, Invocation& invocation, std::string_view name,
                        std::string_view summary, std::string_view footer,
                        std::function<int(Io& io)> run);

// Runs `tavlo` with `args` (without the program name) and returns the exit status. Help goes
// to io.out; a usage error is one line on io.err.
int RunCommandLine(std::vector<std::string> args, Io& io);

// Prints "tavlo <command>: <text>" and a hint to stderr; returns kExitUsage.
int UsageError(Io& io, std::string_view command, std::string_view text);
// Prints "tavlo <command>: <text>" to stderr; returns `code`.
int Failure(Io& io, std::string_view command, std::string_view text, int code);
// The window's status line for a clock that did not answer, followed by its address.
inline constexpr const char* kNoAnswerFrom = "No answer from ";
// Prints "tavlo <command>: No answer from <dotted>", or `failure` (why nothing could even be
// asked) when there is one; returns kExitNoAnswer.
int NoAnswer(Io& io, std::string_view command, const std::string& failure,
             const std::string& dotted);

using platform::Printable;

// A count option's value from `low` to `high`; nothing otherwise.
std::optional<int> ParseCount(const std::string& text, int low, int high);

// The outputs of jobs that end in any order, printed in the order of their indexes: `print`
// runs for each index as soon as it and every index before it are done. Safe to call from
// any thread; `print` runs under the object's lock.
class InOrder {
  public:
    InOrder(std::size_t count, std::function<void(std::size_t index)> print)
        : done_(count, false), print_(std::move(print)) {}
    void Done(std::size_t index);

  private:
    std::mutex mutex_;
    std::vector<bool> done_;
    std::size_t printed_ = 0;
    std::function<void(std::size_t)> print_;
};

// One line on a terminal that is rewritten in place; does nothing when not a terminal.
// Safe to call from any thread.
class ProgressLine {
  public:
    explicit ProgressLine(Io& io) : io_(io) {}
    ~ProgressLine() { Clear(); }
    void Show(const std::string& text);
    void Clear();

  private:
    Io& io_;
    std::mutex mutex_;
    bool shown_ = false;
};

}  // namespace tavlo::cli
