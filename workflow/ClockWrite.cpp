#include "workflow/ClockWrite.h"

#include <algorithm>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"

namespace tavlo::workflow {
namespace {

constexpr std::string_view kCountPlaceholder = "%d";

KnownPasswords::Field PasswordField(const protocol::SettingsFrame& frame, std::size_t offset) {
    KnownPasswords::Field field{};
    std::copy(frame.begin() + static_cast<std::ptrdiff_t>(offset),
              frame.begin() + static_cast<std::ptrdiff_t>(offset + protocol::kPasswordSize),
              field.begin());
    return field;
}

// One run of Modify or Batch Modify over the shared frames.
class Writer {
  public:
    Writer(const WriteRequest& request, protocol::ClockExchanges& exchanges,
           protocol::ProtocolState& state, platform::Network& network, const std::stop_token& stop)
        : request_(request), exchanges_(exchanges), state_(state), network_(network), stop_(stop) {}

    WriteOutcome run() {
        const bool batch = request_.scope == WriteScope::kEveryClock;
        if (request_.generation == Generation::kEarly) {
            // Early-version clocks have the Basic page only.
            if (request_.page != WritePage::kBasic) {
                return finish(WriteStatus::kNothingToDo);
            }
            return batch ? batchEarly() : modifyEarly();
        }
        return batch ? batchCurrent() : modifyCurrent();
    }

  private:
    bool batch() const { return request_.scope == WriteScope::kEveryClock; }

    WriteOutcome finish(WriteStatus status, std::string_view message = {}) {
        outcome_.status = status;
        outcome_.message = std::string(message);
        return outcome_;
    }

    WriteOutcome refused(const settings::Refusal& refusal) {
        outcome_.focus = refusal.focus;
        return finish(WriteStatus::kRefused, refusal.message);
    }

    // Clears the SettingsFrame, sets the batch bit for Batch Modify, stores the page and runs
    // the password check; the outcome when any of it refuses. Every attempt starts from a
    // cleared frame, so a retry sends exactly the first request again.
    std::optional<WriteOutcome> storeCurrent() {
        protocol::SettingsFrame& frame = state_.settingsFrame;
        frame.fill(0);
        settings::ClockSettings(frame).setBatchBit(batch());
        if (request_.page == WritePage::kBasic) {
            if (const settings::StoreResult refusal =
                    settings::StoreClockSettings(request_.basic, frame)) {
                return refused(*refusal);
            }
        } else if (batch()) {
            // One request for every clock: it names the network itself, and nothing of the
            // clock the page shows goes with it.
            if (!wifi::NamesNetworkForEveryClock(request_.wifi)) {
                return refused(settings::Refusal{std::string(wifi::kBatchNeedsNetworkMessage), {}});
            }
            wifi::WifiPageModel page = request_.wifi;
            page.read.reset();
            wifi::StoreWifiPage(page, frame);
        } else {
            wifi::StoreWifiPage(request_.wifi, frame);
        }
        outcome_.settingsRequest = frame;
        if (batch()) {
            // Batch Modify checks the global password after every page's store.
            if (PasswordText(PasswordField(frame, protocol::kGlobalPasswordOffset)) !=
                PasswordText(request_.known.global)) {
                return finish(WriteStatus::kWrongGlobalPassword, kWrongGlobalPasswordMessage);
            }
        } else if (request_.page == WritePage::kBasic &&
                   PasswordText(PasswordField(frame, protocol::kUserPasswordOffset)) !=
                       PasswordText(request_.known.user)) {
            return finish(WriteStatus::kWrongUserPassword, kWrongUserPasswordMessage);
        }
        return std::nullopt;
    }

    bool stopped() const { return stop_.stop_requested(); }

    // Who may acknowledge the stored write: only a Basic page write carries the clock's
    // address settings.
    protocol::MovedClock movedByCurrent(platform::Ipv4 target) const {
        if (request_.page != WritePage::kBasic) {
            return {};
        }
        const settings::ConstClockSettings stored(state_.settingsFrame);
        return MovedClockOf(target, stored.ipAddress(), stored.dynamicIp(), stored.serialNumber());
    }

    // Modify: takes the request's target as the outcome's when it names one clock.
    bool targetChecked() {
        if (!request_.target || !protocol::IsSingleClockTarget(*request_.target)) {
            return false;
        }
        outcome_.target = request_.target;
        return true;
    }

    void noteFailure() {
        if (exchanges_.lastFailure() != protocol::ExchangeFailure::kNone) {
            outcome_.failure = exchanges_.lastFailureText();
        }
    }

    WriteOutcome modifyCurrent() {
        for (int attempt = 1;; ++attempt) {
            if (auto refused = storeCurrent()) {
                return *refused;
            }
            if (attempt == 1 && !targetChecked()) {
                return finish(WriteStatus::kInvalidTarget, kInvalidTargetMessage);
            }
            const platform::Ipv4 target = *outcome_.target;
            if (request_.family == protocol::ClockFamily::kNone) {
                return finish(WriteStatus::kNotSent);
            }
            if (request_.dryRun) {
                return finish(WriteStatus::kReady);
            }
            if (attempt > kWiredWriteAttempts) {
                return finish(WriteStatus::kNoAnswer);
            }
            if (stopped()) {
                return finish(WriteStatus::kStopped);
            }
            const bool wifi = request_.family == protocol::ClockFamily::kWifi;
            const protocol::MovedClock moved = movedByCurrent(target);
            ++outcome_.exchanges;
            // The exchange takes only this write's acknowledgement (never a late read reply).
            const int answer = wifi ? exchanges_.ExchangeFullFrame(target, moved)
                                    : exchanges_.ExchangeChunkedFrame(target, moved);
            if (answer == protocol::kExchangeAcknowledged) {
                return finish(WriteStatus::kAcknowledged, kSettingSuccessfulMessage);
            }
            noteFailure();
            // A Wi-Fi clock is asked once; nothing can arrive when the port is taken.
            if (wifi || !outcome_.failure.empty()) {
                return finish(WriteStatus::kNoAnswer);
            }
            if (!PauseUnlessStopped(network_, kWiredWritePause, stop_)) {
                return finish(WriteStatus::kStopped);
            }
        }
    }

    WriteOutcome batchCurrent() {
        if (auto refused = storeCurrent()) {
            return *refused;
        }
        if (request_.family == protocol::ClockFamily::kNone) {
            return finish(WriteStatus::kNotSent);
        }
        outcome_.target = platform::kLimitedBroadcast;
        if (request_.dryRun) {
            return finish(WriteStatus::kReady);
        }
        if (stopped()) {
            return finish(WriteStatus::kStopped);
        }
        ++outcome_.exchanges;
        const int answers = request_.family == protocol::ClockFamily::kWifi
                                ? exchanges_.ExchangeFullFrame(platform::kLimitedBroadcast)
                                : exchanges_.ExchangeChunkedFrame(platform::kLimitedBroadcast);
        noteFailure();
        return batchCount(answers);
    }

    WriteOutcome batchCount(int count) {
        outcome_.count = count;
        outcome_.acknowledgedBy = exchanges_.lastAcknowledgers();
        if (count > 0) {
            return finish(WriteStatus::kBatchAnswered, BatchCountMessage(count));
        }
        return finish(WriteStatus::kBatchUnanswered);
    }

    // StoreEarlyClockSettings clears the CommandFrame itself.
    std::optional<WriteOutcome> storeEarly() {
        if (const settings::StoreResult refusal =
                settings::StoreEarlyClockSettings(request_.basic, state_.commandFrame)) {
            return refused(*refusal);
        }
        outcome_.commandRequest = state_.commandFrame;
        return std::nullopt;
    }

    WriteOutcome modifyEarly() {
        if (auto refused = storeEarly()) {
            return *refused;
        }
        if (!targetChecked()) {
            return finish(WriteStatus::kInvalidTarget, kInvalidTargetMessage);
        }
        const platform::Ipv4 target = *outcome_.target;
        if (request_.dryRun) {
            return finish(WriteStatus::kReady);
        }
        if (stopped()) {
            return finish(WriteStatus::kStopped);
        }
        const settings::ConstEarlyClockSettings stored(state_.commandFrame);
        const protocol::MovedClock moved =
            MovedClockOf(target, stored.ipAddress(), stored.dynamicIp(), stored.serialNumber());
        ++outcome_.exchanges;
        // The exchange takes only a reply carrying command 2 (never a late read reply).
        const int answer = exchanges_.ExchangeCommandFrame(
            protocol::ToByte(protocol::CommandCode::kWrite), target, moved);
        if (answer == protocol::kCommandAcknowledged) {
            return finish(WriteStatus::kAcknowledged, kSettingSuccessfulMessage);
        }
        noteFailure();
        return finish(WriteStatus::kNoAnswer);
    }

    WriteOutcome batchEarly() {
        if (auto refused = storeEarly()) {
            return *refused;
        }
        if (!settings::ConstEarlyClockSettings(state_.commandFrame).dynamicIp()) {
            return finish(WriteStatus::kNeedsDynamicIp, kEarlyBatchNeedsDynamicIpMessage);
        }
        outcome_.target = platform::kLimitedBroadcast;
        if (request_.dryRun) {
            return finish(WriteStatus::kReady);
        }
        if (stopped()) {
            return finish(WriteStatus::kStopped);
        }
        ++outcome_.exchanges;
        const int answers = exchanges_.ExchangeCommandFrame(
            protocol::ToByte(protocol::CommandCode::kWrite), platform::kLimitedBroadcast);
        noteFailure();
        return batchCount(answers);
    }

    const WriteRequest& request_;
    protocol::ClockExchanges& exchanges_;
    protocol::ProtocolState& state_;
    platform::Network& network_;
    const std::stop_token& stop_;
    WriteOutcome outcome_;
};

}  // namespace

protocol::MovedClock MovedClockOf(platform::Ipv4 target, platform::Ipv4 newAddress, bool dynamicIp,
                                  const std::string& serialNumber) {
    protocol::MovedClock moved;
    if (newAddress != platform::kAnyAddress && newAddress != target) {
        moved.newAddress = newAddress;
    }
    if (dynamicIp) {
        moved.serialNumber = serialNumber;
    }
    return moved;
}

std::vector<platform::Ipv4> ByAddress(std::vector<platform::Ipv4> clocks) {
    std::sort(clocks.begin(), clocks.end(), [](platform::Ipv4 a, platform::Ipv4 b) {
        return platform::NetworkToHost32(a) < platform::NetworkToHost32(b);
    });
    return clocks;
}

std::string BatchCountMessage(int count) {
    std::string text(kBatchCountFormat);
    text.replace(text.find(kCountPlaceholder), kCountPlaceholder.size(), std::to_string(count));
    return text;
}

WriteOutcome RunWrite(const WriteRequest& request, ClockLine& line, const std::stop_token& stop) {
    line.exchanges.setBroadcastInterfaces(request.broadcastInterfaces);
    return Writer(request, line.exchanges, line.state, line.network, stop).run();
}

}  // namespace tavlo::workflow
