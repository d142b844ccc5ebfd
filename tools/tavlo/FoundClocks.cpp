#include "tools/tavlo/FoundClocks.h"

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

std::optional<std::vector<FoundClock>> FindClocks(const SearchPlan& plan, Io& io,
                                                  std::string_view command, int& status) {
    const protocol::SearchOptions& options = plan.options;
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
