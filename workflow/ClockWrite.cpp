#include "workflow/ClockWrite.h"

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

    WriteOutcome Run() {
        const bool batch = request_.scope == WriteScope::kEveryClock;
        if (request_.generation == Generation::kEarly) {
            // Early-version clocks have the Basic page only.
            if (request_.page != WritePage::kBasic) {
                return Finish(WriteStatus::kNothingToDo);
            }
            return batch ? BatchEarly() : ModifyEarly();
        }
        return batch ? BatchCurrent() : ModifyCurrent();
    }

  private:
    bool Batch() const { return request_.scope == WriteScope::kEveryClock; }

    WriteOutcome Finish(WriteStatus status, std::string_view message = {}) {
        outcome_.status = status;
        outcome_.message = std::string(message);
        return outcome_;
    }

    WriteOutcome Refused(const settings::Refusal& refusal) {
        outcome_.focus = refusal.focus;
        return Finish(WriteStatus::kRefused, refusal.message);
    }

    // Clears the SettingsFrame, sets the batch bit for Batch Modify, stores the page and runs
    // the password check; the outcome when any of it refuses. Every attempt starts from a
    // cleared frame, so a retry sends exactly the first request again.
    std::optional<WriteOutcome> StoreCurrent() {
        protocol::SettingsFrame& frame = state_.settingsFrame;
        frame.fill(0);
        settings::ClockSettings(frame).setBatchBit(Batch());
        if (request_.page == WritePage::kBasic) {
            if (const settings::StoreResult refusal =
                    settings::StoreClockSettings(request_.basic, frame)) {
                return Refused(*refusal);
            }
        } else if (Batch()) {
            // One request for every clock: it names the network itself, and nothing of the
            // clock the page shows goes with it.
            if (!wifi::NamesNetworkForEveryClock(request_.wifi)) {
                return Refused(settings::Refusal{std::string(wifi::kBatchNeedsNetworkMessage), {}});
            }
            wifi::WifiPageModel page = request_.wifi;
            page.read.reset();
            wifi::StoreWifiPage(page, frame);
        } else {
            wifi::StoreWifiPage(request_.wifi, frame);
        }
        outcome_.settingsRequest = frame;
        if (Batch()) {
            // Batch Modify checks the global password after every page's store.
            if (PasswordText(PasswordField(frame, protocol::kGlobalPasswordOffset)) !=
                PasswordText(request_.known.global)) {
                return Finish(WriteStatus::kWrongGlobalPassword, kWrongGlobalPasswordMessage);
            }
        } else if (request_.page == WritePage::kBasic &&
                   PasswordText(PasswordField(frame, protocol::kUserPasswordOffset)) !=
                       PasswordText(request_.known.user)) {
            return Finish(WriteStatus::kWrongUserPassword, kWrongUserPasswordMessage);
        }
        return std::nullopt;
    }

    bool Stopped() const { return stop_.stop_requested(); }

    // Who may acknowledge the stored write: only a Basic page write carries the clock's
    // address settings.
    protocol::MovedClock MovedByCurrent(platform::Ipv4 target) const {
        if (request_.page != WritePage::kBasic) {
            return {};
        }
        const settings::ConstClockSettings stored(state_.settingsFrame);
        return MovedClockOf(target, stored.ipAddress(), stored.dynamicIp(), stored.serialNumber());
    }

    // Modify: takes the request's target as the outcome's when it names one clock.
    bool TargetChecked() {
        if (!request_.target || !protocol::IsSingleClockTarget(*request_.target)) {
            return false;
        }
        outcome_.target = request_.target;
        return true;
    }

    void NoteFailure() {
        if (exchanges_.lastFailure() != protocol::ExchangeFailure::kNone) {
            outcome_.failure = exchanges_.lastFailureText();
        }
    }

    WriteOutcome ModifyCurrent() {
        for (int attempt = 1;; ++attempt) {
            if (auto refused = StoreCurrent()) {
                return *refused;
            }
            if (attempt == 1 && !TargetChecked()) {
                return Finish(WriteStatus::kInvalidTarget, kInvalidTargetMessage);
            }
            const platform::Ipv4 target = *outcome_.target;
            if (request_.family == protocol::ClockFamily::kNone) {
                return Finish(WriteStatus::kNotSent);
            }
            if (request_.dryRun) {
                return Finish(WriteStatus::kReady);
            }
            if (attempt > kWiredWriteAttempts) {
                return Finish(WriteStatus::kNoAnswer);
            }
            if (Stopped()) {
                return Finish(WriteStatus::kStopped);
            }
            const bool wifi = request_.family == protocol::ClockFamily::kWifi;
            const protocol::MovedClock moved = MovedByCurrent(target);
            ++outcome_.exchanges;
            // The exchange takes only this write's acknowledgement (never a late read reply).
            const int answer = wifi ? exchanges_.ExchangeFullFrame(target, moved)
                                    : exchanges_.ExchangeChunkedFrame(target, moved);
            if (answer == protocol::kExchangeAcknowledged) {
                return Finish(WriteStatus::kAcknowledged, kSettingSuccessfulMessage);
            }
            NoteFailure();
            // A Wi-Fi clock is asked once; nothing can arrive when the port is taken.
            if (wifi || !outcome_.failure.empty()) {
                return Finish(WriteStatus::kNoAnswer);
            }
            if (!PauseUnlessStopped(network_, kWiredWritePause, stop_)) {
                return Finish(WriteStatus::kStopped);
            }
        }
    }

    WriteOutcome BatchCurrent() {
        if (auto refused = StoreCurrent()) {
            return *refused;
        }
        if (request_.family == protocol::ClockFamily::kNone) {
            return Finish(WriteStatus::kNotSent);
        }
        outcome_.target = platform::kLimitedBroadcast;
        if (request_.dryRun) {
            return Finish(WriteStatus::kReady);
        }
        if (Stopped()) {
            return Finish(WriteStatus::kStopped);
        }
        ++outcome_.exchanges;
        const int answers = request_.family == protocol::ClockFamily::kWifi
                                ? exchanges_.ExchangeFullFrame(platform::kLimitedBroadcast)
                                : exchanges_.ExchangeChunkedFrame(platform::kLimitedBroadcast);
        NoteFailure();
        return BatchCount(answers);
    }

    WriteOutcome BatchCount(int count) {
        outcome_.count = count;
        outcome_.acknowledgedBy = exchanges_.lastAcknowledgers();
        if (count > 0) {
            return Finish(WriteStatus::kBatchAnswered, BatchCountMessage(count));
        }
        return Finish(WriteStatus::kBatchUnanswered);
    }

    // StoreEarlyClockSettings clears the CommandFrame itself.
    std::optional<WriteOutcome> StoreEarly() {
        if (const settings::StoreResult refusal =
                settings::StoreEarlyClockSettings(request_.basic, state_.commandFrame)) {
            return Refused(*refusal);
        }
        outcome_.commandRequest = state_.commandFrame;
        return std::nullopt;
    }

    WriteOutcome ModifyEarly() {
        if (auto refused = StoreEarly()) {
            return *refused;
        }
        if (!TargetChecked()) {
            return Finish(WriteStatus::kInvalidTarget, kInvalidTargetMessage);
        }
        const platform::Ipv4 target = *outcome_.target;
        if (request_.dryRun) {
            return Finish(WriteStatus::kReady);
        }
        if (Stopped()) {
            return Finish(WriteStatus::kStopped);
        }
        const settings::ConstEarlyClockSettings stored(state_.commandFrame);
        const protocol::MovedClock moved =
            MovedClockOf(target, stored.ipAddress(), stored.dynamicIp(), stored.serialNumber());
        ++outcome_.exchanges;
        // The exchange takes only a reply carrying command 2 (never a late read reply).
        const int answer = exchanges_.ExchangeCommandFrame(
            protocol::ToByte(protocol::CommandCode::kWrite), target, moved);
        if (answer == protocol::kCommandAcknowledged) {
            return Finish(WriteStatus::kAcknowledged, kSettingSuccessfulMessage);
        }
        NoteFailure();
        return Finish(WriteStatus::kNoAnswer);
    }

    WriteOutcome BatchEarly() {
        if (auto refused = StoreEarly()) {
            return *refused;
        }
        if (!settings::ConstEarlyClockSettings(state_.commandFrame).dynamicIp()) {
            return Finish(WriteStatus::kNeedsDynamicIp, kEarlyBatchNeedsDynamicIpMessage);
        }
        outcome_.target = platform::kLimitedBroadcast;
        if (request_.dryRun) {
            return Finish(WriteStatus::kReady);
        }
        if (Stopped()) {
            return Finish(WriteStatus::kStopped);
        }
        ++outcome_.exchanges;
        const int answers = exchanges_.ExchangeCommandFrame(
            protocol::ToByte(protocol::CommandCode::kWrite), platform::kLimitedBroadcast);
        NoteFailure();
        return BatchCount(answers);
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

std::string BatchCountMessage(int count) {
    std::string text(kBatchCountFormat);
    text.replace(text.find(kCountPlaceholder), kCountPlaceholder.size(), std::to_string(count));
    return text;
}

WriteOutcome RunWrite(const WriteRequest& request, ClockLine& line, const std::stop_token& stop) {
    return Writer(request, line.exchanges, line.state, line.network, stop).Run();
}

}  // namespace tavlo::workflow
