#include "tools/tavlo/FoundClocks.h"

#include <CLI/CLI.hpp>

#include "platform/Ipv4.h"
#include "protocol/ProtocolState.h"

namespace tavlo::cli {
namespace {

// Keeps every clock of the finished groups.
class Collector final : public protocol::SearchReporter {
  public:
    explicit Collector(workflow::ClockKind current) : current_(current) {}

    void message(const std::string& text) override { message_ = text; }
    void networkError(const std::string& text) override { networkError_ = text; }
    void groupFinished(protocol::SearchGroup group, const std::vector<std::string>& items,
                       const std::string& /*label*/) override {
        for (const std::string& text : items) {
            // "address" or "address (serial)"
            const std::size_t blank = text.find(' ');
            const std::optional<platform::Ipv4> address =
                platform::ParseDottedAddress(text.substr(0, blank));
            if (!address) {
                continue;
            }
            FoundClock clock{*address, {}, current_};
            if (group == protocol::SearchGroup::kEarly) {
                clock.kind = workflow::ClockKind::kEarly;
            }
            if (blank != std::string::npos && text.size() >= blank + 3) {
                clock.serial = text.substr(blank + 2, text.size() - blank - 3);
            }
            (group == protocol::SearchGroup::kEarly ? early_ : clocks_).push_back(clock);
        }
    }

    std::vector<FoundClock> Clocks() const {
        std::vector<FoundClock> all = clocks_;
        all.insert(all.end(), early_.begin(), early_.end());
        return all;
    }
    const std::string& MessageText() const { return message_; }
    const std::string& NetworkErrorText() const { return networkError_; }

  private:
    workflow::ClockKind current_;
    std::vector<FoundClock> clocks_;
    std::vector<FoundClock> early_;
    std::string message_;
    std::string networkError_;
};

}  // namespace

void AddSearchFlags(CLI::App& command, SearchFlags& flags) {
    command.add_flag("--wired", flags.wired, "search wired clocks (the default)");
    command.add_flag("--wifi", flags.wifi, "search Wi-Fi clocks");
    command
        .add_option_function<std::string>(
            "--unicast", [&flags](const std::string& from) { flags.unicastFrom = from; },
            "search by probing FROM and every next address up to .254 of its\n"
            "network instead of one broadcast")
        ->type_name("FROM");
}

std::optional<std::vector<FoundClock>> FindClocks(const SearchFlags& flags, Io& io,
                                                  std::string_view command, int& status) {
    if (flags.wired + flags.wifi > 1) {
        status = UsageError(io, command, "give at most one of --wired and --wifi");
        return std::nullopt;
    }
    protocol::SearchOptions options;
    options.broadcastChecked = true;
    options.wiredChecked = flags.wired != 0;
    options.wifiChecked = flags.wifi != 0;
    if (flags.unicastFrom) {
        if (!platform::ParseDottedAddress(*flags.unicastFrom)) {
            status = UsageError(
                io, command,
                "'" + Printable(*flags.unicastFrom) + "' is not an address like 192.0.2.1");
            return std::nullopt;
        }
        options.unicastChecked = true;
        options.broadcastChecked = false;
        options.ipAddressText = *flags.unicastFrom;
    }
    const std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    protocol::ProtocolState protocolState;
    protocol::SearchState searchState;
    Collector collector(options.wifiChecked ? workflow::ClockKind::kWifi
                                            : workflow::ClockKind::kWired);
    protocol::SearchWorker worker(*network, protocolState, searchState, options, collector);
    worker.start();
    worker.join();
    switch (worker.outcome()) {
        case protocol::SearchOutcome::kInvalidAddress:
            status = UsageError(io, command, collector.MessageText());
            return std::nullopt;
        case protocol::SearchOutcome::kNoLocalAddress:
            status = Failure(io, command, "this machine has no IPv4 address", kExitNoAnswer);
            return std::nullopt;
        case protocol::SearchOutcome::kSocketFailed:
            status = Failure(io, command, "cannot open a UDP socket", kExitNoAnswer);
            return std::nullopt;
        case protocol::SearchOutcome::kBindFailed:
            status = Failure(io, command, collector.NetworkErrorText(), kExitNoAnswer);
            return std::nullopt;
        case protocol::SearchOutcome::kCompleted:
            break;
    }
    return collector.Clocks();
}

std::string FamilyWord(workflow::ClockKind kind) {
    switch (kind) {
        case workflow::ClockKind::kWifi:
            return "wifi";
        case workflow::ClockKind::kEarly:
            return "early";
        case workflow::ClockKind::kWired:
            break;
    }
    return "wired";
}

}  // namespace tavlo::cli
