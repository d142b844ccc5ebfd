#include "tools/tavlo/ClockRead.h"

#include "protocol/Frames.h"

namespace tavlo::cli {
namespace {

ReadOutcome Failed(const protocol::ClockExchanges& exchanges) {
    ReadOutcome outcome;
    if (exchanges.lastFailure() != protocol::ExchangeFailure::kNone) {
        outcome.failure = exchanges.lastFailureText();
    }
    return outcome;
}

ReadOutcome ReadEarlyClock(protocol::ClockExchanges& exchanges, protocol::ProtocolState& state,
                           platform::Ipv4 address) {
    const std::uint8_t read = protocol::ToByte(protocol::CommandCode::kRead);
    const std::int32_t result = exchanges.ExchangeCommandFrame(read, address);
    if (result <= 0 || state.commandFrame[protocol::kCommandCodeOffset] != read) {
        return Failed(exchanges);
    }
    return {true, {}};
}

}  // namespace

ReadOutcome ReadClock(protocol::ClockExchanges& exchanges, protocol::ProtocolState& state,
                      platform::Network& network, platform::Ipv4 address, ClockFamily family) {
    if (family == ClockFamily::kEarly) {
        return ReadEarlyClock(exchanges, state, address);
    }
    const bool wifi = family == ClockFamily::kWifi;
    const std::uint8_t read = protocol::ToByte(protocol::FrameType::kReadSettings);
    state.settingsFrame.fill(0);
    protocol::SettingsFrame answered{};
    bool anyAnswer = false;
    const int maxAttempts = wifi ? kWifiReadAttempts : kWiredMaxReadAttempts;
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        state.settingsFrame[protocol::kFlagsOffset] |= protocol::kFlagCarriedOut;
        state.settingsFrame[protocol::kFrameTypeOffset] = read;
        const std::uint8_t result =
            wifi ? exchanges.ExchangeFullFrame(address) : exchanges.ExchangeChunkedFrame(address);
        // Only a read reply counts: acknowledged and carrying the read's type.
        const bool ok = result == protocol::kExchangeAcknowledged &&
                        state.settingsFrame[protocol::kFrameTypeOffset] == read;
        if (ok) {
            // A later silent attempt clears the frame; keep the last complete answer.
            answered = state.settingsFrame;
            anyAnswer = true;
        }
        if (exchanges.lastFailure() != protocol::ExchangeFailure::kNone) {
            break;  // nothing can arrive (the port is taken): asking again would not help
        }
        if (!wifi) {
            network.sleep(kWiredReadPause);
        }
        if (ok && (wifi || attempt >= kWiredMinReadAttempts)) {
            break;
        }
    }
    if (!anyAnswer) {
        return Failed(exchanges);
    }
    state.settingsFrame = answered;
    return {true, {}};
}

}  // namespace tavlo::cli
