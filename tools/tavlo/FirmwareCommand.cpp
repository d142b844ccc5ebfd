// tavlo firmware: loads a firmware file into one clock or several over TFTP with the same
// engine the System page uses. Several clocks are updated one after the other, as the
// window's batch does, or up to N at once (--parallel N), each transfer with its own socket,
// update state and reporter. A terminal sees a progress bar (one line for the whole batch); each
// clock's outcome is one line on standard output as it ends. Ctrl-C works like the page's
// "Break" button: every running update asks (one question for all, on a terminal) or stops
// (otherwise) before its next packet, and no further clock is started after a break.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <iostream>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateReporter.h"
#include "firmware/UpdateState.h"
#include "firmware/UpdateWorker.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "platform/Network.h"
#include "tools/tavlo/BlockedSignals.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "firmware";
// How often a running batch looks for Ctrl-C.
constexpr std::chrono::milliseconds kSignalPoll{1};
constexpr std::chrono::milliseconds kEndWait{20};
constexpr int kBarWidth = 30;
constexpr double kPermille = 1000.0;
constexpr double kMillisecondsPerSecond = 1000.0;
// Transfers at once: each is a thread and a socket.
constexpr int kMaxParallel = 64;

constexpr const char* kFirmwareFooter =
    "Loads the firmware FILE (a path containing \".bin\" or \".hex\") into the wired clock at\n"
    "each ADDRESS over TFTP, as the System page's update does: a write request named by the\n"
    "clock's MAC address, a 3-second pause while the clock prepares, then 512-byte blocks,\n"
    "each sent up to 60 times a second apart until the clock acknowledges it.\n"
    "\n"
    "Several ADDRESSes are updated one after the other, or up to N at once with --parallel N.\n"
    "An ADDRESS ending in .255 sends every packet as a broadcast. Ctrl-C asks whether to\n"
    "break the updates (without a terminal it breaks at once); no further clock starts then.\n"
    "Prints one line per clock as it ends: \"Update Successful!\" or \"Update False!\" with\n"
    "the details; several clocks end with a line such as \"3 of 4 clocks updated\".\n"
    "A clock whose MAC address is not in the neighbour table (no answer to ARP) fails like\n"
    "a clock that never answers; when a clock refuses the file, its line gives its answer.\n"
    "Exit status: 0 when every clock took the file, 1 when a transfer failed, 2 on bad\n"
    "usage or a refused file (also an empty one), address or MAC address.";

struct FirmwareArguments {
    std::vector<std::string> positional;  // ADDRESS... FILE
    std::optional<std::string> mac;
    std::optional<std::string> parallel;
};

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string Bar(double share) {
    const int filled = static_cast<int>(share * kBarWidth);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
}

std::string Prefix() {
    return std::string(kProgramName) + " " + std::string(kCommand) + ": ";
}

// The terminal as every transfer of one run shares it: the progress line, the messages and
// result lines, and the break question. One clock shows its System page progress line
// under the bar; several share one line that sums them all up. One mutex keeps the lines
// whole when transfers report at the same moment.
class Console {
  public:
    // `clocks` names each transfer in its messages (not when there is only one).
    Console(Io& io, std::vector<std::string> clocks)
        : io_(io), clocks_(std::move(clocks)), shares_(clocks_.size(), 0.0), progress_(io) {}

    bool Batch() const { return clocks_.size() > 1; }

    void Waiting() {
        std::lock_guard lock(mutex_);
        if (Batch()) {
            DrawSummary();
        } else {
            progress_.Show("Waiting");
        }
    }
    void Started() {
        std::lock_guard lock(mutex_);
        ++sending_;
        DrawSummary();
    }
    // Transfer `index` has `share` (0 to 1) of its file acknowledged; `line` makes its
    // progress line. A line is drawn only when the bar moves visibly (thousands of blocks go
    // by a second) or when `always`.
    void Progress(std::size_t index, double share, const std::function<std::string()>& line,
                  bool always = false) {
        if (!io_.errIsTerminal) {
            return;
        }
        std::lock_guard lock(mutex_);
        if (Batch()) {
            shares_[index] = share;
            DrawSummary();
            return;
        }
        const int permille = static_cast<int>(share * kPermille);
        if (questionOpen_ || (permille == lastPermille_ && !always)) {
            return;
        }
        lastPermille_ = permille;
        progress_.Show(Bar(share) + line());
    }
    // The page cleared its progress line (one clock only: a batch keeps its summary).
    void ClearProgress() {
        std::lock_guard lock(mutex_);
        if (!Batch()) {
            progress_.Clear();
        }
    }
    void Message(std::size_t index, const std::string& text) {
        std::lock_guard lock(mutex_);
        progress_.Clear();
        io_.err << Prefix() << (Batch() ? clocks_[index] + ": " : "") << OneLine(text) << '\n'
                << std::flush;
        DrawSummary(true);
    }
    // Transfer `index` has ended; `line` tells how (nothing for a refused single clock).
    void Ended(std::size_t index, bool updated, const std::string& line) {
        std::lock_guard lock(mutex_);
        progress_.Clear();
        if (!line.empty()) {
            io_.out << line << '\n' << std::flush;
        }
        --sending_;
        ++(updated ? updated_ : failed_);
        shares_[index] = 1.0;
        DrawSummary(true);
    }
    // A line of the command's own on standard error, or its last line on standard output;
    // the progress line goes first.
    void Say(const std::string& text) {
        std::lock_guard lock(mutex_);
        progress_.Clear();
        io_.err << Prefix() << text << '\n' << std::flush;
    }
    void Conclude(const std::string& line) {
        std::lock_guard lock(mutex_);
        progress_.Clear();
        io_.out << line << '\n' << std::flush;
    }
    // Asks `text` on the terminal; true for yes (and when standard input has ended).
    bool AskYesNo(const std::string& text) {
        {
            std::lock_guard lock(mutex_);
            progress_.Clear();
            questionOpen_ = true;
            io_.err << text << " [y/N] " << std::flush;
        }
        std::string answer;
        const bool read = static_cast<bool>(std::getline(std::cin, answer));
        std::lock_guard lock(mutex_);
        questionOpen_ = false;
        DrawSummary(true);
        return !read || (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'));
    }

  private:
    // "[####......] 8 clocks: 2 updated, 1 failed, 3 sending", drawn again only when it
    // changes, or when `redraw` after the line was cleared.
    void DrawSummary(bool redraw = false) {
        if (!Batch() || questionOpen_ || !io_.errIsTerminal) {
            return;
        }
        double total = 0;
        for (const double share : shares_) {
            total += share;
        }
        const double share = total / static_cast<double>(shares_.size());
        const int permille = static_cast<int>(share * kPermille);
        const std::array<int, 4> now{permille, updated_, failed_, sending_};
        if (now == lastSummary_ && !redraw) {
            return;
        }
        lastSummary_ = now;
        progress_.Show(Bar(share) + std::to_string(clocks_.size()) + " clocks: " +
                       std::to_string(updated_) + " updated, " + std::to_string(failed_) +
                       " failed, " + std::to_string(sending_) + " sending");
    }

    Io& io_;
    const std::vector<std::string> clocks_;
    std::mutex mutex_;
    std::vector<double> shares_;
    ProgressLine progress_;
    bool questionOpen_ = false;
    int lastPermille_ = -1;
    int updated_ = 0;
    int failed_ = 0;
    int sending_ = 0;
    std::array<int, 4> lastSummary_{-1, -1, -1, -1};
};

// "Do you want to break update?" once for all the transfers one Ctrl-C stopped: the first
// to reach its next packet asks, the others take the same answer. Yes holds for the rest
// of the run.
class BreakQuestion {
  public:
    BreakQuestion(Console& console, bool askOnTerminal)
        : console_(console), askOnTerminal_(askOnTerminal) {}

    // A Ctrl-C (from the thread that sets the running transfers' break flags, before it
    // sets them). Without a terminal to ask on, it is a break at once.
    void Raise() {
        std::lock_guard lock(mutex_);
        ++raised_;
        if (!askOnTerminal_) {
            broken_ = true;
        }
    }
    // A Ctrl-C not answered yet.
    bool Pending() {
        std::lock_guard lock(mutex_);
        return !broken_ && answered_ < raised_;
    }
    // The operator chose to break.
    bool Broken() {
        std::lock_guard lock(mutex_);
        return broken_;
    }
    // The answer to the latest Ctrl-C: asked now, or given already.
    bool Ask(const std::string& text) {
        std::unique_lock lock(mutex_);
        const int question = raised_;
        answeredOrFree_.wait(lock, [&] { return broken_ || answered_ >= question || !asking_; });
        if (broken_) {
            return true;
        }
        if (answered_ >= question) {
            return answer_;
        }
        asking_ = true;
        lock.unlock();
        const bool yes = console_.AskYesNo(text);
        lock.lock();
        asking_ = false;
        answered_ = question;
        answer_ = yes;
        broken_ = broken_ || yes;
        answeredOrFree_.notify_all();
        return yes;
    }

  private:
    Console& console_;
    const bool askOnTerminal_;
    std::mutex mutex_;
    std::condition_variable answeredOrFree_;
    int raised_ = 0;
    int answered_ = 0;
    bool asking_ = false;
    bool answer_ = false;
    bool broken_ = false;
};

// The System page of one transfer as the command line shows it. Every call but Mac() and
// Result() (after the transfer) comes from the transfer's worker thread.
class CliUpdateReporter final : public firmware::UpdateReporter {
  public:
    // `mac`: the MAC address given on the command line, if any.
    CliUpdateReporter(Console& console, BreakQuestion& question, std::size_t index, std::string mac)
        : console_(console), question_(question), index_(index), mac_(std::move(mac)) {}

    void SetMacAddressText(const std::string& text) override {
        std::lock_guard lock(mutex_);
        mac_ = text;
    }
    void SetProgressLine(const std::string& text) override {
        if (text.empty()) {
            console_.ClearProgress();
        } else {
            console_.Progress(
                index_, 1.0, [&text] { return text; }, true);
        }
    }
    void SetBlockProgress(int block, int bytes, double percent, std::uint32_t fileLength) override {
        const double share = fileLength == 0 ? 1.0 : static_cast<double>(bytes) / fileLength;
        console_.Progress(index_, share,
                          [&] { return firmware::FormatProgressLine(block, bytes, percent); });
    }
    void SetCounterLine(const std::string&) override {}
    void ShowMessage(const std::string& text) override { console_.Message(index_, text); }
    void ShowUpdateResult(const std::string& text) override {
        console_.ClearProgress();
        std::lock_guard lock(mutex_);
        result_ = text;
    }
    bool AskYesNo(const std::string& text) override {
        console_.ClearProgress();
        return question_.Ask(text);
    }
    void FocusAddressControl() override {}
    void FocusMacAddressField() override {}

    std::string Result() {
        std::lock_guard lock(mutex_);
        return result_;
    }
    std::string Mac() {
        std::lock_guard lock(mutex_);
        return mac_;
    }

  private:
    Console& console_;
    BreakQuestion& question_;
    const std::size_t index_;
    std::mutex mutex_;
    std::string mac_;
    std::string result_;
};

// One clock's update: nothing in it is shared with another transfer.
struct Transfer {
    Transfer(Console& console, BreakQuestion& question, std::size_t clock, platform::Ipv4 target,
             const std::string& path, const std::string& mac)
        : index(clock),
          address(target),
          network(platform::makeSystemNetwork()),
          reporter(console, question, clock, mac),
          worker(*network, state, firmware::UpdateTarget{target, path, mac}, reporter,
                 [](platform::Ipv4 clock) { return platform::LookupMacAddress(clock); }) {}

    const std::size_t index;  // in the command line's order
    const platform::Ipv4 address;
    std::unique_ptr<platform::Network> network;
    firmware::UpdateState state;
    CliUpdateReporter reporter;
    firmware::UpdateWorker worker;
};

// "Update Successful! 1024 bytes to 198.18.0.10 (02-54-56-00-00-0A), data phase 0.015 s",
// "Update False! 198.18.0.10 (02-54-56-00-00-0A), 60 packets sent", "Update False! The
// clock refused the file: MESSAGE (error CODE), 198.18.0.10 (...), 60 packets sent", or
// "No MAC address known for 198.18.0.11 (no answer to ARP)".
std::string ResultLine(Transfer& transfer, const firmware::UpdateOutcome& outcome) {
    if (outcome.macUnknown) {
        return firmware::NoMacKnownText(transfer.address);
    }
    const std::string mac = transfer.reporter.Mac();
    const std::string target =
        platform::FormatIpv4(transfer.address) + (mac.empty() ? "" : " (" + mac + ")");
    const std::string result = transfer.reporter.Result();
    if (outcome.exitCode == firmware::WorkerExit::kSucceeded) {
        std::array<char, 64> seconds{};
        std::snprintf(seconds.data(), seconds.size(), "%.3f s",
                      outcome.dataPhaseMs / kMillisecondsPerSecond);
        return result + " " + std::to_string(outcome.fileLength) + " bytes to " + target +
               ", data phase " + seconds.data();
    }
    std::string line = firmware::kUpdateFalseMessage;
    if (outcome.clockRefusal) {
        line += " " + firmware::ClockRefusedText(*outcome.clockRefusal) + ",";
    }
    return line + " " + target + ", " + std::to_string(outcome.datagramsSent) + " packets sent";
}

std::optional<int> ParseParallel(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 1 ||
        value > kMaxParallel) {
        return std::nullopt;
    }
    return value;
}

// Runs the updates, at most `parallel` at once, in the order given. Returns the exit status.
int RunTransfers(Io& io, const std::vector<platform::Ipv4>& addresses, const std::string& path,
                 const std::string& mac, std::size_t parallel) {
    std::vector<std::string> clocks;
    for (const platform::Ipv4 address : addresses) {
        clocks.push_back(platform::FormatIpv4(address));
    }
    Console console(io, clocks);
    BreakQuestion question(console, ::isatty(STDIN_FILENO) == 1 && io.errIsTerminal);
    std::list<std::unique_ptr<Transfer>> running;
    std::size_t next = 0;
    int updated = 0;
    bool refused = false;

    auto finish = [&](Transfer& transfer) {
        transfer.worker.Join();
        const firmware::UpdateOutcome outcome = transfer.worker.Outcome();
        const bool ok = outcome.exitCode == firmware::WorkerExit::kSucceeded;
        refused = refused || outcome.refused;
        updated += ok ? 1 : 0;
        // A refused single clock has said why; the line would only repeat it.
        const bool silent = outcome.refused && !console.Batch();
        console.Ended(transfer.index, ok, silent ? "" : ResultLine(transfer, outcome));
    };
    {
        BlockedSignals signals;
        console.Waiting();
        for (;;) {
            if (running.empty() && question.Pending()) {
                question.Ask(firmware::kBreakQuestion);  // a Ctrl-C between two clocks
            }
            while (running.size() < parallel && next < addresses.size() && !question.Broken() &&
                   !question.Pending()) {
                running.push_back(std::make_unique<Transfer>(console, question, next,
                                                             addresses[next], path, mac));
                ++next;
                console.Started();
                running.back()->worker.Start();
            }
            if (running.empty()) {
                break;
            }
            // Ctrl-C is looked for between short waits for the end of an update.
            running.front()->worker.WaitFor(kEndWait);
            if (signals.Poll(kSignalPoll)) {
                question.Raise();
                for (const auto& transfer : running) {
                    transfer->state.breakFlag.store(true);
                }
            }
            for (auto it = running.begin(); it != running.end();) {
                if ((*it)->worker.IsRunning()) {
                    ++it;
                } else {
                    finish(**it);
                    it = running.erase(it);
                }
            }
        }
    }
    if (next < addresses.size()) {
        console.Say(firmware::kUserBreakMessage);
    }
    if (console.Batch()) {
        console.Conclude(std::to_string(updated) + " of " + std::to_string(addresses.size()) +
                         " clocks updated");
    }
    if (refused) {
        return kExitUsage;
    }
    return updated == static_cast<int>(addresses.size()) ? kExitSuccess : kExitNoAnswer;
}

int RunFirmware(const FirmwareArguments& arguments, Io& io) {
    const std::optional<std::string>& mac = arguments.mac;
    if (mac && !firmware::ParseMacAddress(*mac)) {
        return UsageError(io, kCommand,
                          "'" + Printable(*mac) + "' is not a MAC address (XX-XX-XX-XX-XX-XX)");
    }
    const std::vector<std::string>& positional = arguments.positional;
    if (positional.size() < 2) {
        return UsageError(io, kCommand, "needs ADDRESS and FILE");
    }
    std::size_t parallel = 1;
    if (arguments.parallel) {
        const std::optional<int> count = ParseParallel(*arguments.parallel);
        if (!count) {
            return UsageError(io, kCommand,
                              "--parallel takes a number of transfers from 1 to " +
                                  std::to_string(kMaxParallel) + ", not '" +
                                  Printable(*arguments.parallel) + "'");
        }
        parallel = static_cast<std::size_t>(*count);
    }
    const std::vector<std::string> words(positional.begin(), positional.end() - 1);
    const bool batch = words.size() > 1;
    if (mac && batch) {
        return UsageError(io, kCommand, "--mac goes with one ADDRESS only");
    }
    std::vector<platform::Ipv4> addresses;
    std::set<platform::Ipv4> seen;
    for (const std::string& word : words) {
        const auto address = platform::ParseDottedAddress(word);
        if (!address || *address == platform::kAnyAddress) {
            return UsageError(io, kCommand, "'" + Printable(word) + "' is not an address");
        }
        // One clock alone is refused by the update itself, as on the System page.
        if (batch && platform::LastOctet(*address) == platform::kNetworkAddressOctet) {
            return UsageError(io, kCommand,
                              "'" + word + "' is a network address (a group label), not a clock");
        }
        if (!seen.insert(*address).second) {
            return UsageError(io, kCommand, "'" + word + "' is given twice");
        }
        addresses.push_back(*address);
    }
    const std::string& path = positional.back();
    // A batch checks the file once with the update's own rules and messages, so that a bad
    // file is one message rather than one per clock.
    if (batch) {
        if (const auto refusal = firmware::FirmwareFileRefusal(path)) {
            return Failure(io, kCommand, *refusal, kExitUsage);
        }
    }
    return RunTransfers(io, addresses, path, mac.value_or(""), parallel);
}

}  // namespace

void AddFirmwareCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<FirmwareArguments>();
    CLI::App* command =
        AddSubcommand(tavlo, invocation, kCommand, "load a firmware file into one clock or several",
                      kFirmwareFooter, [arguments](Io& io) { return RunFirmware(*arguments, io); });
    command
        ->add_option("ADDRESS... FILE", arguments->positional, "the clocks and the firmware file")
        ->type_name("");
    command
        ->add_option_function<std::string>(
            "--mac", [arguments](const std::string& mac) { arguments->mac = mac; },
            "the clock's MAC address (one ADDRESS only); without it each\n"
            "address is looked up in this machine's neighbour (ARP) table")
        ->type_name("XX-XX-XX-XX-XX-XX");
    command
        ->add_option_function<std::string>(
            "--parallel", [arguments](const std::string& count) { arguments->parallel = count; },
            "update up to N clocks at once (default 1: one after the other)")
        ->type_name("N");
}

}  // namespace tavlo::cli
