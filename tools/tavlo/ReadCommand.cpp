// tavlo read: reads one clock's settings the way the window does when the clock is clicked in
// the device tree, and prints every field of the record.
#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/ClockOptions.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/RecordFormat.h"
#include "workflow/ClockLine.h"
#include "workflow/ClockRead.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "read";

constexpr const char* kReadFooter =
    "Reads every setting of the clock at ADDRESS (for example 192.0.2.10) and prints one\n"
    "field per line, values as the window's pages show them. One of --wired, --wifi and\n"
    "--early is required.\n"
    "Exit status: 0 when the clock answered, 1 when it did not, 2 on bad usage.";

struct ReadArguments {
    std::vector<std::string> addresses;
    ClockKindFlags kinds;
    bool json = false;
    bool withSecrets = false;
};

int RunRead(const ReadArguments& arguments, Io& io) {
    if (arguments.addresses.size() > 1) {
        return UsageError(io, kCommand, "give one address only");
    }
    if (arguments.addresses.empty()) {
        return UsageError(io, kCommand, "give the address of the clock to read");
    }
    std::string error;
    const std::optional<NamedClock> clock =
        ClockNamed(arguments.kinds, arguments.addresses.front(), error);
    if (!clock) {
        return UsageError(io, kCommand, error);
    }
    using workflow::ClockKind;
    const ClockKind kind = clock->kind;
    const platform::Ipv4 address = clock->address;
    const bool json = arguments.json;
    const bool withSecrets = arguments.withSecrets;

    workflow::OwnedClockLine line(platform::makeSystemNetwork());

    const std::string dotted = platform::FormatIpv4(address);
    const workflow::ReadResult result = workflow::ReadClock(line.line(), address, kind);
    if (!result.answered) {
        return NoAnswer(io, kCommand, result.failure, dotted);
    }
    std::vector<FieldText> fields = ReplyFields(result, kind);
    fields.insert(fields.begin(), FieldText{"address", 0, dotted});
    if (json) {
        PrintFieldsJson(io.out, fields, withSecrets);
    } else {
        PrintFieldsText(io.out, fields, withSecrets);
    }
    return kExitSuccess;
}

}  // namespace

void AddReadCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<ReadArguments>();
    CLI::App* read =
        AddSubcommand(tavlo, invocation, kCommand, "read every setting of one clock", kReadFooter,
                      [arguments](Io& io) { return RunRead(*arguments, io); });
    read->add_option("ADDRESS", arguments->addresses, "the clock's address")->type_name("");
    AddClockKindFlags(*read, arguments->kinds);
    read->add_flag("--json", arguments->json, "one JSON object instead of text");
    read->add_flag("--passwords", arguments->withSecrets,
                   "also print the clock's passwords and keys (left out otherwise)");
}

}  // namespace tavlo::cli
