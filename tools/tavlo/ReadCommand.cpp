// tavlo read: reads one clock's settings the way the window does when the clock is clicked in
// the device tree, and prints every field of the record.
#include <memory>
#include <optional>
#include <string>

#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/RecordFormat.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "read";

// Wi-Fi clocks are asked until they answer, at most twice. Wired clocks are asked at least
// three times and at most five, with a pause after every request.
constexpr int kWifiReadAttempts = 2;
constexpr int kWiredMinAttempts = 3;
constexpr int kWiredMaxAttempts = 5;
constexpr std::chrono::milliseconds kWiredReadPause{500};

constexpr const char* kReadHelp =
    "Usage: tavlo read ADDRESS --wired|--wifi|--early [--json] [--passwords]\n"
    "\n"
    "Reads every setting of the clock at ADDRESS (for example 192.0.2.10) and prints one\n"
    "field per line, values as the window's pages show them.\n"
    "\n"
    "Options (one of the first three is required):\n"
    "  --wired      a wired clock (listed under a \"(WIRED:n)\" group)\n"
    "  --wifi       a Wi-Fi clock (listed under a \"(WIFI:n)\" group)\n"
    "  --early      a clock of the early firmware versions (\"Early Versions\")\n"
    "  --json       one JSON object instead of text\n"
    "  --passwords  also print the clock's passwords and keys (left out otherwise)\n"
    "\n"
    "Exit status: 0 when the clock answered, 1 when it did not, 2 on bad usage.\n";

enum class Family { kNone, kWired, kWifi, kEarly };

// The clock's reply stays in the protocol state's frames; returns true when it answered.
bool ReadCurrentClock(protocol::ClockExchanges& exchanges, protocol::ProtocolState& state,
                      platform::Network& network, platform::Ipv4 address, bool wifi) {
    state.settingsFrame.fill(0);
    protocol::SettingsFrame answered{};
    bool anyAnswer = false;
    const int maxAttempts = wifi ? kWifiReadAttempts : kWiredMaxAttempts;
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        state.settingsFrame[protocol::kFlagsOffset] |= protocol::kFlagCarriedOut;
        state.settingsFrame[protocol::kFrameTypeOffset] =
            protocol::ToByte(protocol::FrameType::kReadSettings);
        const std::uint8_t result =
            wifi ? exchanges.ExchangeFullFrame(address) : exchanges.ExchangeChunkedFrame(address);
        const bool ok = result == protocol::kExchangeAcknowledged;
        if (ok) {
            // A later silent attempt clears the frame; keep the last complete answer.
            answered = state.settingsFrame;
            anyAnswer = true;
        }
        if (!wifi) {
            network.sleep(kWiredReadPause);
        }
        if (exchanges.lastFailure() != protocol::ExchangeFailure::kNone) {
            break;
        }
        if (ok && (wifi || attempt >= kWiredMinAttempts)) {
            break;
        }
    }
    if (anyAnswer) {
        state.settingsFrame = answered;
    }
    return anyAnswer;
}

}  // namespace

int RunReadCommand(std::span<const std::string_view> args, Io& io) {
    Family family = Family::kNone;
    bool json = false;
    bool withSecrets = false;
    std::optional<platform::Ipv4> address;
    ArgReader reader(args);
    while (!reader.done()) {
        const std::string_view arg = reader.take();
        if (arg == "--help" || arg == "-h") {
            io.out << kReadHelp;
            return kExitSuccess;
        } else if (arg == "--wired" || arg == "--wifi" || arg == "--early") {
            if (family != Family::kNone) {
                return UsageError(io, kCommand, "give exactly one of --wired, --wifi and --early");
            }
            family = arg == "--wired"  ? Family::kWired
                     : arg == "--wifi" ? Family::kWifi
                                       : Family::kEarly;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--passwords") {
            withSecrets = true;
        } else if (!arg.empty() && arg.front() == '-') {
            return UsageError(io, kCommand, "unknown option '" + Printable(arg) + "'");
        } else if (address) {
            return UsageError(io, kCommand, "give one address only");
        } else {
            address = ParseDottedAddress(arg);
            if (!address) {
                return UsageError(io, kCommand,
                                  "'" + Printable(arg) + "' is not an address like 192.0.2.10");
            }
            const std::uint8_t last = platform::LastOctet(*address);
            if (protocol::IsRejectedTarget(*address) || protocol::IsBroadcastTarget(*address)) {
                return UsageError(io, kCommand,
                                  "'" + std::string(arg) + "' is a network or broadcast address" +
                                      (last == 0 ? " (a group label), not a clock" : ""));
            }
        }
    }
    if (!address) {
        return UsageError(io, kCommand, "give the address of the clock to read");
    }
    if (family == Family::kNone) {
        return UsageError(io, kCommand, "give one of --wired, --wifi and --early");
    }

    std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    protocol::ProtocolState state;
    state.LocalAddressList = network->localAddresses();
    protocol::ClockNonceSource nonces(*network);
    protocol::ClockExchanges exchanges(*network, state, nonces);

    const std::string dotted = platform::FormatIpv4(*address);
    std::vector<FieldText> fields;
    if (family == Family::kEarly) {
        const std::int32_t result = exchanges.ExchangeCommandFrame(
            protocol::ToByte(protocol::CommandCode::kRead), *address);
        if (result <= 0 || state.commandFrame[protocol::kCommandCodeOffset] !=
                               protocol::ToByte(protocol::CommandCode::kRead)) {
            const std::string why = exchanges.lastFailure() != protocol::ExchangeFailure::kNone
                                        ? exchanges.lastFailureText()
                                        : "no answer from " + dotted;
            return Failure(io, kCommand, why, kExitNoAnswer);
        }
        fields = EarlyReplyFields(state.commandFrame);
    } else {
        const bool wifi = family == Family::kWifi;
        if (!ReadCurrentClock(exchanges, state, *network, *address, wifi) ||
            state.settingsFrame[protocol::kFrameTypeOffset] !=
                protocol::ToByte(protocol::FrameType::kReadSettings)) {
            const std::string why = exchanges.lastFailure() != protocol::ExchangeFailure::kNone
                                        ? exchanges.lastFailureText()
                                        : "no answer from " + dotted;
            return Failure(io, kCommand, why, kExitNoAnswer);
        }
        fields = ClockReplyFields(state.settingsFrame);
    }

    fields.insert(fields.begin(), FieldText{"address", 0, dotted});
    if (json) {
        PrintFieldsJson(io.out, fields, withSecrets);
    } else {
        PrintFieldsText(io.out, fields, withSecrets);
    }
    return kExitSuccess;
}

}  // namespace tavlo::cli
