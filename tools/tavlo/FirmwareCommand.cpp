// tavlo firmware: loads a firmware file into one clock or several over TFTP with the same
// engine the System page uses. Several clocks are updated one after the other, as the
// window's batch does, or up to N at once (--parallel N), each transfer with its own socket,
// update state and reporter; with --retries N a clock whose transfer failed is tried again
// after the others. A terminal sees a progress bar, one line per running clock and a summary
// under them, redrawn in place; each clock's outcome is one line on standard output as it
// ends. Ctrl-C works like the page's "Break" button: every running update asks (one question
// for all, on a terminal) or stops (otherwise) before its next packet, and no further clock is
// started after a break.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
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
#include "platform/Console.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "platform/Network.h"
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
// Further tries of a clock whose transfer failed.
constexpr int kMaxRetries = 10;
// Running clocks shown on lines of their own; more are summed up on one line.
constexpr std::size_t kMaxClockLines = 16;
// A batch's lines are drawn again at most this often (every block would flood the terminal).
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr double kPercent = 100.0;
constexpr const char* kWaiting = "Waiting";
// Cursor to the start of the line, and everything from there to the end of the screen gone.
constexpr const char* kClearBelow = "\r\033[J";

constexpr const char* kFirmwareFooter =
    "Loads the firmware FILE (a path containing \".bin\" or \".hex\") into the wired clock at\n"
    "each ADDRESS over TFTP, as the System page's update does: a write request named by the\n"
    "clock's MAC address, a 3-second pause while the clock prepares, then 512-byte blocks,\n"
    "each sent again after a wait that follows the measured round trip (20 ms to 1 s) until\n"
    "the clock acknowledges it; a clock that has not acknowledged a block for 60 s has\n"
    "failed. --fixed-wait keeps a wait of one second, 60 sends at most, for clocks that\n"
    "misbehave with quicker resends. An ADDRESS ending in .255 always waits one second.\n"
    "\n"
    "Several ADDRESSes are updated one after the other, or up to N at once with --parallel N;\n"
    "--retries N tries a clock whose transfer failed up to N times more, after the others.\n"
    "An ADDRESS ending in .255 sends every packet as a broadcast. Ctrl-C asks whether to\n"
    "break the updates (without a terminal it breaks at once); no further clock starts then.\n"
    "Prints one line per clock as it ends: \"Update Successful!\" or \"Update False!\" with\n"
    "the details (each try its own line); several clocks end with a line such as \"3 of 4\n"
    "clocks updated\". On a terminal each running clock has a progress line.\n"
    "A clock whose MAC address is not in the neighbour table (no answer to ARP) fails like\n"
    "a clock that never answers; when a clock refuses the file, its line gives its answer.\n"
    "Exit status: 0 when every clock took the file, 1 when a transfer failed, 2 on bad\n"
    "usage or a refused file (also an empty one), address or MAC address.";

struct FirmwareArguments {
    std::vector<std::string> positional;  // ADDRESS... FILE
    std::optional<std::string> mac;
    std::optional<std::string> parallel;
    std::optional<std::string> retries;
    bool fixedWait = false;
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

// "42.3 %, block 887 of 2049": a batch's line for one clock.
std::string BlockLine(int block, double share, std::uint32_t fileLength) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.1f %%, block %d of %u", share * kPercent, block,
                  static_cast<unsigned>(fileLength / firmware::kBlockSize + 1));
    return text.data();
}

std::string Prefix() {
    return std::string(kProgramName) + " " + std::string(kCommand) + ": ";
}

// Lines at the bottom of a terminal that are drawn again in place; everything printed while
// they are cleared goes above them. Nothing when standard error is not a terminal.
class LiveLines {
  public:
    explicit LiveLines(Io& io) : io_(io) {}
    ~LiveLines() { Clear(); }

    void Draw(const std::vector<std::string>& lines) {
        if (!io_.errIsTerminal) {
            return;
        }
        ToFirst();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            io_.err << (i == 0 ? "" : "\n") << Printable(lines[i]);
        }
        io_.err << std::flush;
        shown_ = lines.size();
    }
    void Clear() {
        if (shown_ > 0) {
            ToFirst();
            io_.err << std::flush;
            shown_ = 0;
        }
    }

  private:
    // The cursor to the first line drawn, and those lines gone.
    void ToFirst() {
        if (shown_ > 1) {
            io_.err << "\r\033[" << shown_ - 1 << 'A';
        }
        io_.err << kClearBelow;
    }

    Io& io_;
    std::size_t shown_ = 0;
};

// How a clock's try ended.
enum class TryEnd { kUpdated, kFailed, kRetry };

// The terminal as every transfer of one run shares it: the progress lines, the messages and
// result lines, and the break question. One clock shows its System page progress line
// under a bar; several show one line per running clock ("198.18.0.10 [###...] 42.3 %, block
// 887 of 2049") and a summary under them. One mutex keeps the lines whole when transfers
// report at the same moment.
class Console {
  public:
    // `clocks` names each transfer in its messages and lines (not when there is only one).
    Console(Io& io, std::vector<std::string> clocks)
        : io_(io), clocks_(std::move(clocks)), live_(io), state_(clocks_.size()) {}

    bool Batch() const { return clocks_.size() > 1; }

    void Waiting() {
        std::lock_guard lock(mutex_);
        if (!Batch()) {
            single_ = kWaiting;
        }
        Draw(true);
    }
    void Started(std::size_t index) {
        std::lock_guard lock(mutex_);
        ClockState& clock = state_[index];
        clock.running = true;
        clock.share = 0;
        clock.line = clocks_[index] + " " + kWaiting;
        ++sending_;
        Draw(true);
    }
    // Transfer `index` has `share` (0 to 1) of its file acknowledged; `line` makes its
    // progress text. Lines are drawn when they change visibly (thousands of blocks go by a
    // second) or when `always`.
    void Progress(std::size_t index, double share, const std::function<std::string()>& line,
                  bool always = false) {
        if (!io_.errIsTerminal) {
            return;
        }
        std::lock_guard lock(mutex_);
        ClockState& clock = state_[index];
        const int permille = static_cast<int>(share * kPermille);
        if (permille == clock.permille && !always) {
            return;
        }
        clock.permille = permille;
        clock.share = share;
        if (Batch()) {
            clock.line = clocks_[index] + " " + Bar(share) + line();
        } else {
            single_ = Bar(share) + line();
        }
        Draw(always);
    }
    // The page cleared its progress line (one clock only: a batch keeps its lines).
    void ClearProgress() {
        std::lock_guard lock(mutex_);
        if (!Batch()) {
            single_.clear();
            Draw(true);
        }
    }
    void Message(std::size_t index, const std::string& text) {
        std::lock_guard lock(mutex_);
        live_.Clear();
        io_.err << Prefix() << (Batch() ? clocks_[index] + ": " : "") << OneLine(text) << '\n'
                << std::flush;
        Draw(true);
    }
    // Transfer `index` has ended; `line` tells how (nothing for a refused single clock).
    void Ended(std::size_t index, TryEnd end, const std::string& line) {
        std::lock_guard lock(mutex_);
        live_.Clear();
        if (!line.empty()) {
            io_.out << line << '\n' << std::flush;
        }
        --sending_;
        ClockState& clock = state_[index];
        clock.running = false;
        clock.permille = -1;
        clock.share = end == TryEnd::kRetry ? 0.0 : 1.0;
        updated_ += end == TryEnd::kUpdated ? 1 : 0;
        failed_ += end == TryEnd::kFailed ? 1 : 0;
        single_.clear();
        Draw(true);
    }
    // A line of the command's own on standard error, or its last line on standard output;
    // the progress lines go first.
    void Say(const std::string& text) {
        std::lock_guard lock(mutex_);
        live_.Clear();
        io_.err << Prefix() << text << '\n' << std::flush;
    }
    void Conclude(const std::string& line) {
        std::lock_guard lock(mutex_);
        live_.Clear();
        io_.out << line << '\n' << std::flush;
    }
    // Asks `text` on the terminal; true for yes (and when standard input has ended).
    bool AskYesNo(const std::string& text) {
        {
            std::lock_guard lock(mutex_);
            live_.Clear();
            questionOpen_ = true;
            io_.err << text << " [y/N] " << std::flush;
        }
        std::string answer;
        const bool read = static_cast<bool>(std::getline(std::cin, answer));
        std::lock_guard lock(mutex_);
        questionOpen_ = false;
        Draw(true);
        return !read || (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'));
    }

  private:
    struct ClockState {
        bool running = false;
        double share = 0;
        int permille = -1;
        std::string line;
    };

    // The live lines: one clock's bar and page line; or the running clocks' lines and
    // "[####......] 8 clocks: 2 updated, 1 failed, 3 sending". A batch draws at most every
    // kRedrawInterval unless `now`.
    void Draw(bool now) {
        if (questionOpen_ || !io_.errIsTerminal) {
            return;
        }
        const auto time = std::chrono::steady_clock::now();
        if (Batch() && !now && time - lastDraw_ < kRedrawInterval) {
            return;
        }
        lastDraw_ = time;
        std::vector<std::string> lines;
        if (!Batch()) {
            if (!single_.empty()) {
                lines.push_back(single_);
            }
            live_.Draw(lines);
            return;
        }
        double total = 0;
        std::size_t hidden = 0;
        for (const ClockState& clock : state_) {
            total += clock.share;
            if (clock.running && lines.size() < kMaxClockLines) {
                lines.push_back(clock.line);
            } else if (clock.running) {
                ++hidden;
            }
        }
        if (hidden > 0) {
            lines.push_back("... and " + std::to_string(hidden) + " more sending");
        }
        const double share = total / static_cast<double>(state_.size());
        lines.push_back(Bar(share) + std::to_string(clocks_.size()) + " clocks: " +
                        std::to_string(updated_) + " updated, " + std::to_string(failed_) +
                        " failed, " + std::to_string(sending_) + " sending");
        live_.Draw(lines);
    }

    Io& io_;
    const std::vector<std::string> clocks_;
    std::mutex mutex_;
    LiveLines live_;
    std::vector<ClockState> state_;
    std::string single_;
    bool questionOpen_ = false;
    int updated_ = 0;
    int failed_ = 0;
    int sending_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
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
        console_.Progress(index_, share, [&] {
            return console_.Batch() ? BlockLine(block, share, fileLength)
                                    : firmware::FormatProgressLine(block, bytes, percent);
        });
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
             const std::string& path, const std::string& mac, firmware::WaitPolicy policy,
             int attempt)
        : index(clock),
          address(target),
          tries(attempt),
          network(platform::makeSystemNetwork()),
          reporter(console, question, clock, mac),
          worker(*network, state, firmware::UpdateTarget{target, path, mac, policy}, reporter,
                 [](platform::Ipv4 clock) { return platform::LookupMacAddress(clock); }) {}

    const std::size_t index;  // in the command line's order
    const platform::Ipv4 address;
    const int tries;  // this clock's tries so far, this one included
    std::unique_ptr<platform::Network> network;
    firmware::UpdateState state;
    CliUpdateReporter reporter;
    firmware::UpdateWorker worker;
};

// "Update Successful! 1024 bytes to 198.18.0.10 (02-54-56-00-00-0A), data phase 0.015 s",
// "Update False! 198.18.0.10 (02-54-56-00-00-0A), 60 packets sent", "Update False! The
// clock refused the file: MESSAGE (error CODE), 198.18.0.10 (...), 60 packets sent", or
// "No MAC address known for 198.18.0.11 (no answer to ARP)".
std::string FirstTryLine(Transfer& transfer, const firmware::UpdateOutcome& outcome) {
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

// The line of a try; a retry's ends with ", try N".
std::string ResultLine(Transfer& transfer, const firmware::UpdateOutcome& outcome) {
    const std::string line = FirstTryLine(transfer, outcome);
    return transfer.tries > 1 ? line + ", try " + std::to_string(transfer.tries) : line;
}

// What the transfers of one run share.
struct RunSettings {
    std::string path;
    std::string mac;
    std::size_t parallel = 1;
    int retries = 0;
    firmware::WaitPolicy policy = firmware::WaitPolicy::kAdaptive;
};

// Runs the updates, at most `parallel` at once, in the order given; a clock whose transfer
// failed goes to the end of the queue while it has retries left. Returns the exit status.
// What the ended tries of one run add up to, and the clocks that wait for a try.
struct RunTally {
    std::deque<std::size_t> queue;
    int updated = 0;
    bool refused = false;
};

// Joins an ended transfer, counts it, queues its clock again when a retry is due, and prints
// its line.
void FinishTransfer(Transfer& transfer, const RunSettings& run, Console& console,
                    BreakQuestion& question, RunTally& tally) {
    transfer.worker.Join();
    const firmware::UpdateOutcome outcome = transfer.worker.Outcome();
    const bool ok = outcome.exitCode == firmware::WorkerExit::kSucceeded;
    tally.refused = tally.refused || outcome.refused;
    tally.updated += ok ? 1 : 0;
    // A refused entry or file fails the same way again; a break ends the run.
    const bool retry = !ok && !outcome.refused && transfer.tries <= run.retries &&
                       !question.Broken() && !question.Pending();
    if (retry) {
        tally.queue.push_back(transfer.index);
    }
    // A refused single clock has said why; the line would only repeat it.
    const bool silent = outcome.refused && !console.Batch();
    console.Ended(transfer.index,
                  ok ? TryEnd::kUpdated : (retry ? TryEnd::kRetry : TryEnd::kFailed),
                  silent ? "" : ResultLine(transfer, outcome));
}

int RunTransfers(Io& io, const std::vector<platform::Ipv4>& addresses, const RunSettings& run) {
    std::vector<std::string> clocks;
    for (const platform::Ipv4 address : addresses) {
        clocks.push_back(platform::FormatIpv4(address));
    }
    Console console(io, clocks);
    BreakQuestion question(
        console, platform::IsTerminal(platform::StandardStream::kInput) && io.errIsTerminal);
    std::list<std::unique_ptr<Transfer>> running;
    RunTally tally;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        tally.queue.push_back(i);
    }
    std::vector<int> tries(addresses.size(), 0);

    {
        platform::ConsoleBreak signals;
        console.Waiting();
        for (;;) {
            if (running.empty() && question.Pending()) {
                question.Ask(firmware::kBreakQuestion);  // a Ctrl-C between two clocks
            }
            while (running.size() < run.parallel && !tally.queue.empty() && !question.Broken() &&
                   !question.Pending()) {
                const std::size_t clock = tally.queue.front();
                tally.queue.pop_front();
                running.push_back(std::make_unique<Transfer>(console, question, clock,
                                                             addresses[clock], run.path, run.mac,
                                                             run.policy, ++tries[clock]));
                console.Started(clock);
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
                    FinishTransfer(**it, run, console, question, tally);
                    it = running.erase(it);
                }
            }
        }
    }
    if (!tally.queue.empty()) {
        console.Say(firmware::kUserBreakMessage);
    }
    if (console.Batch()) {
        console.Conclude(std::to_string(tally.updated) + " of " + std::to_string(addresses.size()) +
                         " clocks updated");
    }
    if (tally.refused) {
        return kExitUsage;
    }
    return tally.updated == static_cast<int>(addresses.size()) ? kExitSuccess : kExitNoAnswer;
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
    RunSettings run;
    run.policy =
        arguments.fixedWait ? firmware::WaitPolicy::kFixed : firmware::WaitPolicy::kAdaptive;
    if (arguments.parallel) {
        const std::optional<int> count = ParseCount(*arguments.parallel, 1, kMaxParallel);
        if (!count) {
            return UsageError(io, kCommand,
                              "--parallel takes a number of transfers from 1 to " +
                                  std::to_string(kMaxParallel) + ", not '" +
                                  Printable(*arguments.parallel) + "'");
        }
        run.parallel = static_cast<std::size_t>(*count);
    }
    if (arguments.retries) {
        const std::optional<int> count = ParseCount(*arguments.retries, 0, kMaxRetries);
        if (!count) {
            return UsageError(io, kCommand,
                              "--retries takes a number of further tries from 0 to " +
                                  std::to_string(kMaxRetries) + ", not '" +
                                  Printable(*arguments.retries) + "'");
        }
        run.retries = *count;
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
    run.path = path;
    run.mac = mac.value_or("");
    return RunTransfers(io, addresses, run);
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
    command
        ->add_option_function<std::string>(
            "--retries", [arguments](const std::string& count) { arguments->retries = count; },
            "try a clock whose transfer failed up to N times more, after the\n"
            "others (default 0)")
        ->type_name("N");
    command->add_flag("--fixed-wait", arguments->fixedWait,
                      "wait one second before a block goes again, as clocks have always\n"
                      "seen (for a clock that misbehaves with quicker resends)");
}

}  // namespace tavlo::cli
