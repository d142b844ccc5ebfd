#include "tools/tavlo/Cli.h"

#include <CLI/CLI.hpp>
#include <charconv>

namespace tavlo::cli {
namespace {

constexpr const char* kClearLine = "\r\033[K";

std::string Prefix(std::string_view command) {
    std::string prefix = kProgramName;
    if (!command.empty()) {
        prefix += ' ';
        prefix += command;
    }
    return prefix;
}

}  // namespace

int UsageError(Io& io, std::string_view command, std::string_view text) {
    const std::string prefix = Prefix(command);
    io.err << prefix << ": " << text << " (see '" << prefix << " --help')\n";
    return kExitUsage;
}

int Failure(Io& io, std::string_view command, std::string_view text, int code) {
    io.err << Prefix(command) << ": " << text << '\n';
    return code;
}

int NoAnswer(Io& io, std::string_view command, const std::string& failure,
             const std::string& dotted) {
    return Failure(io, command, failure.empty() ? std::string(kNoAnswerFrom) + dotted : failure,
                   kExitNoAnswer);
}

CLI::App* AddSubcommand(CLI::App& tavlo, Invocation& invocation, std::string_view name,
                        std::string_view summary, std::string_view footer,
                        std::function<int(Io& io)> run) {
    CLI::App* command = tavlo.add_subcommand(std::string(name), std::string(summary));
    command->footer(std::string(footer));
    // Words the parser cannot place are refused here, in the command's own wording.
    command->allow_extras();
    command->callback([command, &invocation, run = std::move(run)] {
        const std::vector<std::string> left = command->remaining();
        if (left.empty()) {
            invocation.status = run(invocation.io);
            return;
        }
        const std::string& word = left.front();
        const bool option = word.size() > 1 && word.front() == '-';
        invocation.status =
            UsageError(invocation.io, command->get_name(),
                       std::string(option ? "unknown option '" : "unknown argument '") +
                           Printable(word) + "'");
    });
    return command;
}

std::optional<int> ParseCount(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

void InOrder::Done(std::size_t index) {
    std::lock_guard lock(mutex_);
    done_.at(index) = true;
    while (printed_ < done_.size() && done_[printed_]) {
        print_(printed_++);
    }
}

void ProgressLine::Show(const std::string& text) {
    if (!io_.errIsTerminal) {
        return;
    }
    std::lock_guard lock(mutex_);
    io_.err << kClearLine << Printable(text) << std::flush;
    shown_ = true;
}

void ProgressLine::Clear() {
    std::lock_guard lock(mutex_);
    if (shown_) {
        io_.err << kClearLine << std::flush;
        shown_ = false;
    }
}

}  // namespace tavlo::cli
