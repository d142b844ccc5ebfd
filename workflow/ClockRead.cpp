#include "workflow/ClockRead.h"

#include <algorithm>

namespace tavlo::workflow {
namespace {

// Pauses are cut into steps this long so that a stop request ends them soon.
constexpr std::chrono::milliseconds kPauseStep{50};

void NoteFailure(const protocol::ClockExchanges& exchanges, ReadResult& result) {
    if (exchanges.lastFailure() != protocol::ExchangeFailure::kNone) {
        result.failure = exchanges.lastFailureText();
    }
}

ReadResult ReadEarlyClock(protocol::ClockExchanges& exchanges, protocol::ProtocolState& state,
                          platform::Ipv4 address) {
    ReadResult result;
    const std::uint8_t read = protocol::ToByte(protocol::CommandCode::kRead);
    const int answer = exchanges.ExchangeCommandFrame(read, address);
    if (answer <= 0 || state.commandFrame[protocol::kCommandCodeOffset] != read) {
        NoteFailure(exchanges, result);
        return result;
    }
    result.answered = true;
    result.commandFrame = state.commandFrame;
    return result;
}

ReadResult ReadCurrentClock(protocol::ClockExchanges& exchanges, protocol::ProtocolState& state,
                            platform::Network& network, platform::Ipv4 address, bool wifi,
                            const std::stop_token& stop) {
    ReadResult result;
    const std::uint8_t read = protocol::ToByte(protocol::FrameType::kReadSettings);
    state.settingsFrame.fill(0);
    const int maxAttempts = wifi ? kWifiReadAttempts : kWiredMaxReadAttempts;
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        if (stop.stop_requested()) {
            result.stopped = true;
            return result;
        }
        state.settingsFrame[protocol::kFlagsOffset] |= protocol::kFlagCarriedOut;
        state.settingsFrame[protocol::kFrameTypeOffset] = read;
        const int answer =
            wifi ? exchanges.ExchangeFullFrame(address) : exchanges.ExchangeChunkedFrame(address);
        // Only a read reply counts: acknowledged and carrying the read's type.
        const bool ok = answer == protocol::kExchangeAcknowledged &&
                        state.settingsFrame[protocol::kFrameTypeOffset] == read;
        if (ok) {
            // A later silent attempt clears the frame; keep the last complete answer.
            result.settingsFrame = state.settingsFrame;
            result.answered = true;
        }
        if (exchanges.lastFailure() != protocol::ExchangeFailure::kNone) {
            break;  // nothing can arrive (the port is taken): asking again would not help
        }
        if (!wifi && !PauseUnlessStopped(network, kWiredReadPause, stop)) {
            result.stopped = true;
            return result;
        }
        if (ok && (wifi || attempt >= kWiredMinReadAttempts)) {
            break;
        }
    }
    if (!result.answered) {
        NoteFailure(exchanges, result);
    }
    state.settingsFrame = result.settingsFrame;
    result.passwords = PasswordsOf(result.settingsFrame);
    return result;
}

}  // namespace

KnownPasswords PasswordsOf(const protocol::SettingsFrame& frame) {
    KnownPasswords passwords;
    const auto user = frame.begin() + protocol::kUserPasswordOffset;
    const auto global = frame.begin() + protocol::kGlobalPasswordOffset;
    std::copy(user, user + protocol::kPasswordSize, passwords.user.begin());
    std::copy(global, global + protocol::kPasswordSize, passwords.global.begin());
    return passwords;
}

std::string PasswordText(const KnownPasswords::Field& field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

ReadResult ReadClock(ClockLine& line, platform::Ipv4 address, ClockKind kind,
                     const std::stop_token& stop) {
    protocol::ProtocolState& state = line.state;
    if (!protocol::IsSingleClockTarget(address)) {
        ReadResult nothing;
        if (kind != ClockKind::kEarly) {
            state.settingsFrame.fill(0);
            nothing.passwords = KnownPasswords{};
        }
        return nothing;
    }
    if (stop.stop_requested()) {
        ReadResult stopped;
        stopped.stopped = true;
        return stopped;
    }
    if (kind == ClockKind::kEarly) {
        return ReadEarlyClock(line.exchanges, state, address);
    }
    return ReadCurrentClock(line.exchanges, state, line.network, address, kind == ClockKind::kWifi,
                            stop);
}

bool PauseUnlessStopped(platform::Network& network, std::chrono::milliseconds duration,
                        const std::stop_token& stop) {
    while (duration.count() > 0) {
        if (stop.stop_requested()) {
            return false;
        }
        const std::chrono::milliseconds step = std::min(duration, kPauseStep);
        network.sleep(step);
        duration -= step;
    }
    return !stop.stop_requested();
}

}  // namespace tavlo::workflow
