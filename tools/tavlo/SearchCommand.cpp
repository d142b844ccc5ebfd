// tavlo search: the window's search, printed. Groups appear as each one is finished (sorted,
// de-duplicated and labelled), in the window's own texts; a terminal also sees a progress
// line. Ctrl-C stops the search the way "Stop to Search" does: the groups are still labelled.
#include <signal.h>

#include <ctime>
#include <memory>
#include <set>
#include <string>

#include "platform/Network.h"
#include "protocol/Discovery.h"
#include "protocol/ProtocolState.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "search";
// A unicast sweep probes up to a.b.c.254.
constexpr int kLastSweepNumber = 254;
// How soon the command notices the end of the search (or a Ctrl-C).
constexpr long kSignalPollNanoseconds = 5'000'000;  // 5 ms

constexpr const char* kSearchHelp =
    "Usage: tavlo search [--wired|--wifi] [--unicast FROM] [--json]\n"
    "\n"
    "Finds the clocks of one family and the clocks of the early firmware versions, as the\n"
    "window's \"Search\" button does, and prints each group when it is complete:\n"
    "\n"
    "  192.0.2.0 (WIRED:3)          group label: network and number of clocks\n"
    "    192.0.2.10 (SN0042)        one line per clock: address (serial number)\n"
    "  Early Versions: 0\n"
    "\n"
    "Options:\n"
    "  --wired         wired clocks (the default)\n"
    "  --wifi          Wi-Fi clocks\n"
    "  --unicast FROM  probe FROM and every next address up to .254 of its network, one by\n"
    "                  one, instead of one broadcast (slow: a silent address costs 3.6 s for\n"
    "                  wired clocks and 60 s for Wi-Fi clocks)\n"
    "  --json          one JSON object per group and line instead of text\n"
    "\n"
    "Ctrl-C stops the search; the groups found so far are still printed.\n"
    "Exit status: 0 when a clock answered, 1 when none did, 2 on bad usage.\n";

struct Group {
    std::string label;
    std::vector<std::string> items;
};

class CliReporter final : public protocol::SearchReporter {
  public:
    // `sweepStart`: the first address of a unicast sweep, empty for a broadcast.
    CliReporter(Io& io, bool json, bool wifi, std::string sweepStart)
        : io_(io), json_(json), wifi_(wifi), progress_(io), sweepStart_(std::move(sweepStart)) {}

    void message(const std::string& text) override { message_ = text; }
    void networkError(const std::string& text) override { networkError_ = text; }
    void searchStarted() override {
        probing_ = sweepStart_.empty() ? "broadcast" : sweepStart_;
        showProgress();
    }
    void addressProbed(const std::string& address) override {
        // A unicast sweep ends at .254 of the network; say how far it has come.
        probing_ = address;
        const int last = LastNumber(address);
        const int first = LastNumber(sweepStart_);
        if (first >= 0 && last >= first) {
            probing_ += " (" + std::to_string(last - first + 1) + " of " +
                        std::to_string(kLastSweepNumber - first + 1) + ")";
        }
        showProgress();
    }
    void itemAdded(protocol::SearchGroup group, const std::string& text) override {
        if (seen_.insert({group, text}).second) {
            ++found_;
            showProgress();
        }
    }
    void groupFinished(protocol::SearchGroup group, const std::vector<std::string>& items,
                       const std::string& label) override {
        progress_.clear();
        clocks_ += items.size();
        if (json_) {
            printJson(group, items, label);
        } else {
            io_.out << Printable(label) << '\n';
            for (const std::string& item : items) {
                io_.out << "  " << Printable(item) << '\n';
            }
        }
        io_.out.flush();
        showProgress();
    }
    void searchEnded() override { progress_.clear(); }

    const std::string& messageText() const { return message_; }
    const std::string& networkErrorText() const { return networkError_; }
    std::size_t clocks() const { return clocks_; }

  private:
    void showProgress() {
        progress_.show(std::string("Searching ") + (wifi_ ? "Wi-Fi" : "wired") +
                       " clocks: " + probing_ + ", " + std::to_string(found_) + " found");
    }

    void printJson(protocol::SearchGroup group, const std::vector<std::string>& items,
                   const std::string& label) {
        const bool early = group == protocol::SearchGroup::kEarly;
        io_.out << "{\"group\":" << JsonString(label)
                << ",\"generation\":" << JsonString(early ? "early" : "current")
                << ",\"family\":" << JsonString(wifi_ ? "wifi" : "wired")
                << ",\"count\":" << items.size() << ",\"clocks\":[";
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string& text = items[i];
            const std::size_t blank = text.find(' ');
            std::string serial;
            if (blank != std::string::npos && text.size() >= blank + 3) {
                // "address (serial)"
                serial = text.substr(blank + 2, text.size() - blank - 3);
            }
            io_.out << (i == 0 ? "" : ",") << "{\"text\":" << JsonString(text)
                    << ",\"address\":" << JsonString(text.substr(0, blank))
                    << ",\"serial\":" << JsonString(serial) << '}';
        }
        io_.out << "]}\n";
    }

    // The last number of a dotted address, -1 when there is none.
    static int LastNumber(const std::string& dotted) {
        const std::size_t dot = dotted.rfind('.');
        if (dot == std::string::npos || dot + 1 >= dotted.size()) {
            return -1;
        }
        int value = 0;
        for (char c : dotted.substr(dot + 1)) {
            if (c < '0' || c > '9') {
                return -1;
            }
            value = value * 10 + (c - '0');
        }
        return value;
    }

    Io& io_;
    bool json_;
    bool wifi_;
    ProgressLine progress_;
    std::string sweepStart_;
    std::string probing_;
    std::set<std::pair<protocol::SearchGroup, std::string>> seen_;
    std::size_t found_ = 0;
    std::size_t clocks_ = 0;
    std::string message_;
    std::string networkError_;
};

// Blocks SIGINT and SIGTERM in this thread (and so in the worker it starts) for its lifetime;
// the command takes them with sigtimedwait instead.
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
    // True when one of the signals came within the poll interval.
    bool poll() const {
        const timespec wait{0, kSignalPollNanoseconds};
        return sigtimedwait(&set_, nullptr, &wait) > 0;
    }

  private:
    sigset_t set_{};
    sigset_t previous_{};
};

}  // namespace

int RunSearchCommand(std::span<const std::string_view> args, Io& io) {
    protocol::SearchOptions options;
    options.broadcastChecked = true;
    bool json = false;
    bool familyGiven = false;
    ArgReader reader(args);
    while (!reader.done()) {
        const std::string_view arg = reader.take();
        if (arg == "--help" || arg == "-h") {
            io.out << kSearchHelp;
            return kExitSuccess;
        } else if (arg == "--wired" || arg == "--wifi") {
            if (familyGiven) {
                return UsageError(io, kCommand, "give at most one of --wired and --wifi");
            }
            familyGiven = true;
            options.wiredChecked = arg == "--wired";
            options.wifiChecked = arg == "--wifi";
        } else if (arg == "--unicast") {
            if (reader.done()) {
                return UsageError(io, kCommand, "--unicast needs the first address");
            }
            const std::string_view from = reader.take();
            if (from != "0.0.0.0" && !ParseDottedAddress(from)) {
                return UsageError(io, kCommand,
                                  "'" + Printable(from) + "' is not an address like 192.0.2.1");
            }
            options.unicastChecked = true;
            options.broadcastChecked = false;
            options.ipAddressText = std::string(from);
        } else if (arg == "--json") {
            json = true;
        } else {
            return UsageError(io, kCommand, "unknown argument '" + Printable(arg) + "'");
        }
    }

    std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    protocol::ProtocolState protocolState;
    protocol::SearchState searchState;
    CliReporter reporter(io, json, options.wifiChecked,
                         options.unicastChecked ? options.ipAddressText : std::string());
    protocol::SearchOutcome outcome;
    {
        BlockedSignals signals;
        protocol::SearchWorker worker(*network, protocolState, searchState, options, reporter);
        while (worker.running()) {
            if (signals.poll()) {
                worker.requestStop();
            }
        }
        worker.join();
        outcome = worker.outcome();
    }

    switch (outcome) {
        case protocol::SearchOutcome::kInvalidAddress:
            return UsageError(io, kCommand, reporter.messageText());
        case protocol::SearchOutcome::kNoLocalAddress:
            return Failure(io, kCommand, "this machine has no IPv4 address", kExitNoAnswer);
        case protocol::SearchOutcome::kSocketFailed:
            return Failure(io, kCommand, "cannot open a UDP socket", kExitNoAnswer);
        case protocol::SearchOutcome::kBindFailed:
            return Failure(io, kCommand, reporter.networkErrorText(), kExitNoAnswer);
        case protocol::SearchOutcome::kCompleted:
            break;
    }
    if (reporter.clocks() == 0) {
        return Failure(io, kCommand, "no clock answered", kExitNoAnswer);
    }
    return kExitSuccess;
}

}  // namespace tavlo::cli
