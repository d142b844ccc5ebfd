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
#include "tools/tavlo/ClockRead.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/RecordFormat.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "read";

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

}  // namespace

int RunReadCommand(std::span<const std::string_view> args, Io& io) {
    std::optional<ClockFamily> family;
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
            if (family) {
                return UsageError(io, kCommand, "give exactly one of --wired, --wifi and --early");
            }
            family = arg == "--wired"  ? ClockFamily::kWired
                     : arg == "--wifi" ? ClockFamily::kWifi
                                       : ClockFamily::kEarly;
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
    if (!family) {
        return UsageError(io, kCommand, "give one of --wired, --wifi and --early");
    }

    std::unique_ptr<platform::Network> network = platform::makeSystemNetwork();
    protocol::ProtocolState state;
    state.LocalAddressList = network->localAddresses();
    protocol::ClockNonceSource nonces(*network);
    protocol::ClockExchanges exchanges(*network, state, nonces);

    const std::string dotted = platform::FormatIpv4(*address);
    const ReadOutcome outcome = ReadClock(exchanges, state, *network, *address, *family);
    if (!outcome.answered) {
        return Failure(io, kCommand,
                       outcome.failure.empty() ? "no answer from " + dotted : outcome.failure,
                       kExitNoAnswer);
    }
    std::vector<FieldText> fields = *family == ClockFamily::kEarly
                                        ? EarlyReplyFields(state.commandFrame)
                                        : ClockReplyFields(state.settingsFrame);
    fields.insert(fields.begin(), FieldText{"address", 0, dotted});
    if (json) {
        PrintFieldsJson(io.out, fields, withSecrets);
    } else {
        PrintFieldsText(io.out, fields, withSecrets);
    }
    return kExitSuccess;
}

}  // namespace tavlo::cli
