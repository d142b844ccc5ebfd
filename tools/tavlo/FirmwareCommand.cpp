// tavlo firmware: loads a firmware file into one clock over TFTP with the same engine the
// System page uses. A terminal sees a progress bar; the outcome is one line on standard
// output. Ctrl-C works like the page's "Break" button: the update asks whether to stop
// (on a terminal) or stops (otherwise) before its next packet.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "firmware/TftpPacket.h"
#include "firmware/UpdatePage.h"
#include "firmware/UpdateState.h"
#include "firmware/UpdateWorker.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "platform/Network.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "firmware";
constexpr long kSignalPollNanoseconds = 1'000'000;  // 1 ms
constexpr std::chrono::milliseconds kEndWait{20};
constexpr int kBarWidth = 30;
constexpr double kPermille = 1000.0;
constexpr double kMillisecondsPerSecond = 1000.0;

constexpr const char* kFirmwareFooter =
    "Loads the firmware FILE (a path containing \".bin\" or \".hex\") into the wired clock at\n"
    "ADDRESS over TFTP, as the System page's update does: a write request named by the\n"
    "clock's MAC address, a 3-second pause while the clock prepares, then 512-byte blocks,\n"
    "each sent up to 60 times a second apart until the clock acknowledges it.\n"
    "\n"
    "An ADDRESS ending in .255 sends every packet as a broadcast. Ctrl-C asks whether to\n"
    "break the update (without a terminal it breaks at once).\n"
    "Prints one line: \"Update Successful!\" or \"Update False!\" with the details.\n"
    "Exit status: 0 when the clock took the file, 1 when the transfer failed, 2 on bad\n"
    "usage or a refused file, address or MAC address.";

struct FirmwareArguments {
    std::vector<std::string> positional;  // ADDRESS FILE
    std::optional<std::string> mac;
};

// SIGINT and SIGTERM are blocked for the whole process while the update runs (the worker
// thread inherits the mask) and taken here with sigtimedwait.
class BlockedSignals {
  public:
    BlockedSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;
    bool poll() {
        const timespec wait{0, kSignalPollNanoseconds};
        return sigtimedwait(&set_, nullptr, &wait) > 0;
    }

  private:
    sigset_t set_{};
    sigset_t previous_{};
};

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

// The System page as the command line shows it.
class CliUpdatePage final : public firmware::UpdatePage {
  public:
    CliUpdatePage(Io& io, platform::Ipv4 address, std::string path, std::string mac,
                  bool askOnTerminal)
        : io_(io),
          address_(address),
          path_(std::move(path)),
          mac_(std::move(mac)),
          askOnTerminal_(askOnTerminal),
          progress_(io) {}

    platform::Ipv4 TargetAddress() override { return address_; }
    std::string FirmwarePath() override { return path_; }
    std::string MacAddressText() override { return mac_; }
    void SetMacAddressText(const std::string& text) override {
        std::lock_guard lock(mutex_);
        mac_ = text;
    }
    // Called on the worker's thread only.
    void SetProgressLine(const std::string& text) override {
        if (text.empty()) {
            progress_.clear();
        } else {
            progress_.show(Bar(1.0) + text);
        }
    }
    void SetBlockProgress(int block, int bytes, double percent, std::uint32_t fileLength) override {
        // Redraw only when the bar moves visibly: thousands of blocks go by a second.
        const double share = fileLength == 0 ? 1.0 : static_cast<double>(bytes) / fileLength;
        const int permille = static_cast<int>(share * kPermille);
        if (!io_.errIsTerminal || permille == lastPermille_) {
            return;
        }
        lastPermille_ = permille;
        progress_.show(Bar(share) + firmware::FormatProgressLine(block, bytes, percent));
    }
    void SetCounterLine(const std::string&) override {}
    void ShowMessage(const std::string& text) override {
        progress_.clear();
        std::lock_guard lock(mutex_);
        io_.err << Prefix() << OneLine(text) << '\n' << std::flush;
    }
    void ShowUpdateResult(const std::string& text) override {
        progress_.clear();
        std::lock_guard lock(mutex_);
        result_ = text;
    }
    bool AskYesNo(const std::string& text) override {
        progress_.clear();
        if (!askOnTerminal_) {
            return true;
        }
        std::string answer;
        {
            std::lock_guard lock(mutex_);
            io_.err << text << " [y/N] " << std::flush;
        }
        if (!std::getline(std::cin, answer)) {
            return true;
        }
        return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }
    void FocusAddressControl() override {}
    void FocusMacAddressField() override {}
    void ShowWaiting(const std::string& text) { progress_.show(text); }

    std::string Result() {
        std::lock_guard lock(mutex_);
        return result_;
    }
    std::string Mac() {
        std::lock_guard lock(mutex_);
        return mac_;
    }

  private:
    static std::string Bar(double share) {
        const int filled = static_cast<int>(share * kBarWidth);
        return "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
    }
    static std::string Prefix() {
        return std::string(kProgramName) + " " + std::string(kCommand) + ": ";
    }

    Io& io_;
    const platform::Ipv4 address_;
    const std::string path_;
    std::string mac_;
    const bool askOnTerminal_;
    ProgressLine progress_;
    std::mutex mutex_;
    std::string result_;
    int lastPermille_ = -1;
};

int RunFirmware(const FirmwareArguments& arguments, Io& io) {
    const std::optional<std::string>& mac = arguments.mac;
    if (mac && !firmware::ParseMacAddress(*mac)) {
        return UsageError(io, kCommand,
                          "'" + Printable(*mac) + "' is not a MAC address (XX-XX-XX-XX-XX-XX)");
    }
    const std::vector<std::string>& positional = arguments.positional;
    if (positional.size() != 2) {
        return UsageError(io, kCommand, "needs ADDRESS and FILE");
    }
    auto address = platform::ParseDottedAddress(positional[0]);
    if (!address || *address == platform::kAnyAddress) {
        return UsageError(io, kCommand, "'" + Printable(positional[0]) + "' is not an address");
    }

    std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    firmware::UpdateState state;
    CliUpdatePage page(io, *address, positional[1], mac.value_or(""),
                       ::isatty(STDIN_FILENO) == 1 && io.errIsTerminal);
    firmware::UpdateWorker worker(*network, state, page, [](platform::Ipv4 target) {
        return platform::LookupMacAddress(target);
    });
    {
        BlockedSignals signals;
        page.ShowWaiting("Waiting");
        worker.Start();
        // Ctrl-C is looked for between short waits for the end of the update.
        while (!worker.WaitFor(kEndWait)) {
            if (signals.poll()) {
                state.breakFlag.store(true);
            }
        }
        worker.Join();
    }
    const firmware::UpdateOutcome outcome = worker.Outcome();
    if (outcome.refused) {
        return kExitUsage;
    }
    const std::string target = platform::FormatIpv4(*address) + " (" + page.Mac() + ")";
    if (outcome.exitCode == firmware::kWorkerSucceeded) {
        const double seconds = outcome.dataPhaseMs / kMillisecondsPerSecond;
        std::array<char, 64> figures{};
        std::snprintf(figures.data(), figures.size(), "%.3f s", seconds);
        io.out << page.Result() << " " << outcome.fileLength << " bytes to " << target
               << ", data phase " << figures.data() << '\n';
        return kExitSuccess;
    }
    io.out << (page.Result().empty() ? std::string(firmware::kUpdateFalseMessage) : page.Result())
           << " " << target << ", " << outcome.datagramsSent << " packets sent\n";
    return kExitNoAnswer;
}

}  // namespace

void AddFirmwareCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<FirmwareArguments>();
    CLI::App* command =
        AddSubcommand(tavlo, invocation, kCommand, "load a firmware file into one clock",
                      kFirmwareFooter, [arguments](Io& io) { return RunFirmware(*arguments, io); });
    command->add_option("ADDRESS FILE", arguments->positional, "the clock and the firmware file")
        ->type_name("");
    command
        ->add_option_function<std::string>(
            "--mac", [arguments](const std::string& mac) { arguments->mac = mac; },
            "the clock's MAC address; without it the address is looked\n"
            "up in this machine's neighbour (ARP) table")
        ->type_name("XX-XX-XX-XX-XX-XX");
}

}  // namespace tavlo::cli
