// tavlo search: the window's search, printed. Groups appear as each one is finished (sorted,
// de-duplicated and labelled), in the window's own texts; a terminal also sees a progress
// line. Ctrl-C stops the search the way "Stop to Search" does: the groups are still labelled.
// Besides the window's broadcast and "Unicast" sweep it sweeps address ranges (--range).
#include <CLI/CLI.hpp>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Console.h"
#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "protocol/AddressRange.h"
#include "protocol/Discovery.h"
#include "protocol/ProtocolState.h"
#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/SearchPlan.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "search";
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
    "A broadcast goes out on every network interface that has a broadcast address ('tavlo\n"
    "interfaces' lists them) but never crosses a router: --range sweeps addresses anywhere.\n"
    "A sweep asks every address of its ranges in each round, at --rate probes a second, and\n"
    "then waits as long as a broadcast round: a /24 costs about what a broadcast costs (7 s\n"
    "wired, 4.5 s Wi-Fi); a /16 about 55 s wired and 140 s Wi-Fi at the default rate (about\n"
    "10 Mbit/s of probes: 8000 wired, 1500 Wi-Fi and 9000 early probes a second), 17 s and\n"
    "11 s at --rate 40000 where the network takes it. --range and --unicast together ask\n"
    "at most 65536 addresses.\n"
    "Ctrl-C stops the search; the groups found so far are still printed.\n"
    "Exit status: 0 when a clock answered, 1 when none did, 2 on bad usage.";

struct SearchArguments {
    SearchFlags search;
    bool json = false;
};

struct Group {
    std::string label;
    std::vector<std::string> items;
};

class CliReporter final : public protocol::SearchReporter {
  public:
    // `sweep`: the ranges of a sweep (joined), empty for a broadcast.
    CliReporter(Io& io, bool json, bool wifi, std::vector<protocol::AddressRange> sweep)
        : io_(io), json_(json), wifi_(wifi), progress_(io), sweep_(std::move(sweep)) {}

    void message(const std::string& text) override { message_ = text; }
    void networkError(const std::string& text) override { networkError_ = text; }
    void warning(const std::string& text) override {
        progress_.Clear();
        io_.err << kProgramName << ' ' << kCommand << ": " << text << '\n';
        io_.err.flush();
    }
    void searchStarted() override {
        probing_ = sweep_.empty() ? "broadcast" : "sweep";
        ShowProgress();
    }
    void addressProbed(const std::string& address) override {
        // Say how far the round has come.
        probing_ = address;
        const std::optional<platform::Ipv4> probed = platform::ParseDottedAddress(address);
        std::uint64_t before = 0;
        for (const protocol::AddressRange& range : sweep_) {
            const std::uint32_t host = probed ? platform::NetworkToHost32(*probed) : 0;
            if (range.contains(host)) {
                probing_ += " (" + std::to_string(before + host - range.first + 1) + " of " +
                            std::to_string(protocol::CountAddresses(sweep_)) + ")";
                break;
            }
            before += range.size();
        }
        ShowProgress();
    }
    void itemHeardOn(protocol::SearchGroup group, const std::string& text,
                     const std::string& interfaceName) override {
        interfaces_[{group, text}] = interfaceName;
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
            const auto heard = interfaces_.find({group, text});
            clocks.push_back({{"text", text},
                              {"address", text.substr(0, blank)},
                              {"serial", serial},
                              {"interface", heard == interfaces_.end() ? "" : heard->second}});
        }
        const json::Json line = {{"group", label},
                                 {"generation", early ? "early" : "current"},
                                 {"family", wifi_ ? "wifi" : "wired"},
                                 {"count", items.size()},
                                 {"clocks", std::move(clocks)}};
        io_.out << json::Write(line) << '\n';
    }

    Io& io_;
    bool json_;
    bool wifi_;
    ProgressLine progress_;
    std::vector<protocol::AddressRange> sweep_;
    std::string probing_;
    std::map<std::pair<protocol::SearchGroup, std::string>, std::string> interfaces_;
    std::set<std::pair<protocol::SearchGroup, std::string>> seen_;
    std::size_t found_ = 0;
    std::size_t clocks_ = 0;
    std::string message_;
    std::string networkError_;
};

int RunSearch(const SearchArguments& arguments, Io& io) {
    int status = kExitSuccess;
    const std::optional<SearchPlan> plan = PlanSearch(arguments.search, io, kCommand, status);
    if (!plan) {
        return status;
    }
    const protocol::SearchOptions& options = plan->options;
    const std::vector<protocol::AddressRange>& sweep = plan->sweep;
    const bool json = arguments.json;

    std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    protocol::ProtocolState protocolState;
    protocol::SearchState searchState;
    CliReporter reporter(io, json, options.wifiChecked, sweep);
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
    AddSearchFlags(*search, arguments->search);
    search->add_flag("--json", arguments->json,
                     "one JSON object per group and line instead of text");
}

}  // namespace tavlo::cli
