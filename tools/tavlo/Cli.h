// Shared pieces of the `tavlo` command line: exit codes, the command table entry, argument
// reading, and output helpers (JSON strings, printable text, a progress line on terminals).
//
// A subcommand lives in its own source file as one function
//     int RunXxxCommand(std::span<const std::string_view> args, Io& io);
// declared in Commands.h and listed in the table of main.cpp.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Network.h"

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

// Prints "tavlo <command>: <text>" and a hint to stderr; returns kExitUsage.
int UsageError(Io& io, std::string_view command, std::string_view text);
// Prints "tavlo <command>: <text>" to stderr; returns `code`.
int Failure(Io& io, std::string_view command, std::string_view text, int code);

// Reads options one by one: flags (--json), options with a value (--unicast FROM) and
// positional words.
class ArgReader {
  public:
    explicit ArgReader(std::span<const std::string_view> args) : args_(args) {}
    bool done() const { return next_ >= args_.size(); }
    std::string_view peek() const { return args_[next_]; }
    std::string_view take() { return args_[next_++]; }

  private:
    std::span<const std::string_view> args_;
    std::size_t next_ = 0;
};

// A clock address for the command line: four decimal numbers 0..255 joined by dots, not
// 0.0.0.0. Network byte order. Nothing when the text is not such an address.
std::optional<platform::Ipv4> ParseDottedAddress(std::string_view text);

// `text` as a JSON string literal (quotes included). Bytes that are not valid UTF-8 become
// U+FFFD, so the output is always valid JSON.
std::string JsonString(std::string_view text);
// `text` with control characters replaced by '?', safe to print on a terminal.
std::string Printable(std::string_view text);

// One line on a terminal that is rewritten in place; does nothing when not a terminal.
// Safe to call from any thread.
class ProgressLine {
  public:
    explicit ProgressLine(Io& io) : io_(io) {}
    ~ProgressLine() { clear(); }
    void show(const std::string& text);
    void clear();

  private:
    Io& io_;
    std::mutex mutex_;
    bool shown_ = false;
};

}  // namespace tavlo::cli
