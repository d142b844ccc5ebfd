// tavlo search: the window's search, printed. Groups appear as each one is finished (sorted,
// de-duplicated and labelled), in the window's own texts; a terminal also sees a progress
// line. Ctrl-C stops the search the way "Stop to Search" does: the groups are still labelled.
#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/Console.h"
#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "protocol/Discovery.h"
#include "protocol/ProtocolState.h"
#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "search";
// A unicast sweep probes up to a.b.c.254.
constexpr int kLastSweepNumber = 254;
// How soon the command notices the end of the search (or a Ctrl-C).
constexpr std::chrono::milliseconds kSignalPoll{5};

constexpr const char* kSearchFooter =
    "Finds the clocks of one family and the clocks of the early firmware versions, as the\n"
    "window's \"Search\" button does, and prints each group when it is complete:\n"
    "\n"
    "  192.0.2.0 (WIRED:3)          group label: network and number of clocks\n"
    "    192.0.2.10 (SN0042)        one line per clock: address (serial number)\n"
    "  Early Versions: 0\n"
    "\n"
    "A unicast sweep is slow: a silent address costs 3.6 s for wired clocks and 60 s for\n"
    "Wi-Fi clocks. Ctrl-C stops the search; the groups found so far are still printed.\n"
    "Exit status: 0 when a clock answered, 1 when none did, 2 on bad usage.";

struct SearchArguments {
    int wired = 0;
    int wifi = 0;
    std::optional<std::string> unicastFrom;
    bool json = false;
};

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
        ShowProgress();
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
        ShowProgress();
    }
    void itemAdded(protocol::SearchGroup group, const std::string& text) override {
        if (seen_.insert({group, text}).second) {
            ++found_;
            ShowProgress();
        }
    }
    void groupFinished(protocol::SearchGroup group, const std::vector<std::string>& items,
                       const std::string& label) override {
        progress_.Clear();
        clocks_ += items.size();
        if (json_) {
            PrintJson(group, items, label);
        } else {
            io_.out << Printable(label) << '\n';
            for (const std::string& item : items) {
                io_.out << "  " << Printable(item) << '\n';
            }
        }
        io_.out.flush();
        ShowProgress();
    }
    void searchEnded() override { progress_.Clear(); }

    const std::string& MessageText() const { return message_; }
    const std::string& NetworkErrorText() const { return networkError_; }
    std::size_t Clocks() const { return clocks_; }

  private:
    void ShowProgress() {
        progress_.Show(std::string("Searching ") + (wifi_ ? "Wi-Fi" : "wired") +
                       " clocks: " + probing_ + ", " + std::to_string(found_) + " found");
    }

    void PrintJson(protocol::SearchGroup group, const std::vector<std::string>& items,
                   const std::string& label) {
        const bool early = group == protocol::SearchGroup::kEarly;
        json::Json clocks = json::Json::array();
        for (const std::string& text : items) {
            const std::size_t blank = text.find(' ');
            std::string serial;
            if (blank != std::string::npos && text.size() >= blank + 3) {
                // "address (serial)"
                serial = text.substr(blank + 2, text.size() - blank - 3);
            }
            clocks.push_back(
                {{"text", text}, {"address", text.substr(0, blank)}, {"serial", serial}});
        }
        const json::Json line = {{"group", label},
                                 {"generation", early ? "early" : "current"},
                                 {"family", wifi_ ? "wifi" : "wired"},
                                 {"count", items.size()},
                                 {"clocks", std::move(clocks)}};
        io_.out << json::Write(line) << '\n';
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

int RunSearch(const SearchArguments& arguments, Io& io) {
    if (arguments.wired + arguments.wifi > 1) {
        return UsageError(io, kCommand, "give at most one of --wired and --wifi");
    }
    protocol::SearchOptions options;
    options.broadcastChecked = true;
    options.wiredChecked = arguments.wired != 0;
    options.wifiChecked = arguments.wifi != 0;
    if (arguments.unicastFrom) {
        const std::string& from = *arguments.unicastFrom;
        // 0.0.0.0 goes on to the search, which refuses it with the window's own message.
        if (!platform::ParseDottedAddress(from)) {
            return UsageError(io, kCommand,
                              "'" + Printable(from) + "' is not an address like 192.0.2.1");
        }
        options.unicastChecked = true;
        options.broadcastChecked = false;
        options.ipAddressText = from;
    }
    const bool json = arguments.json;

    std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    protocol::ProtocolState protocolState;
    protocol::SearchState searchState;
    CliReporter reporter(io, json, options.wifiChecked,
                         options.unicastChecked ? options.ipAddressText : std::string());
    protocol::SearchOutcome outcome;
    {
        platform::ConsoleBreak signals;
        protocol::SearchWorker worker(*network, protocolState, searchState, options, reporter);
        worker.start();
        while (worker.isRunning()) {
            if (signals.Poll(kSignalPoll)) {
                worker.requestStop();
            }
        }
        worker.join();
        outcome = worker.outcome();
    }

    switch (outcome) {
        case protocol::SearchOutcome::kInvalidAddress:
            return UsageError(io, kCommand, reporter.MessageText());
        case protocol::SearchOutcome::kNoLocalAddress:
            return Failure(io, kCommand, "this machine has no IPv4 address", kExitNoAnswer);
        case protocol::SearchOutcome::kSocketFailed:
            return Failure(io, kCommand, "cannot open a UDP socket", kExitNoAnswer);
        case protocol::SearchOutcome::kBindFailed:
            return Failure(io, kCommand, reporter.NetworkErrorText(), kExitNoAnswer);
        case protocol::SearchOutcome::kCompleted:
            break;
    }
    if (reporter.Clocks() == 0) {
        return Failure(io, kCommand, "no clock answered", kExitNoAnswer);
    }
    return kExitSuccess;
}

}  // namespace

void AddSearchCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<SearchArguments>();
    CLI::App* search =
        AddSubcommand(tavlo, invocation, kCommand, "find the clocks on the network", kSearchFooter,
                      [arguments](Io& io) { return RunSearch(*arguments, io); });
    search->add_flag("--wired", arguments->wired, "wired clocks (the default)");
    search->add_flag("--wifi", arguments->wifi, "Wi-Fi clocks");
    search
        ->add_option_function<std::string>(
            "--unicast", [arguments](const std::string& from) { arguments->unicastFrom = from; },
            "probe FROM and every next address up to .254 of its\n"
            "network, one by one, instead of one broadcast")
        ->type_name("FROM");
    search->add_flag("--json", arguments->json,
                     "one JSON object per group and line instead of text");
}

}  // namespace tavlo::cli
