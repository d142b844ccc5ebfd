// tavlo read: reads clocks' settings the way the window does when a clock is clicked in the
// device tree, several at once, and prints every field of each record.
#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/ClockEdit.h"
#include "tools/tavlo/ClockOptions.h"
#include "tools/tavlo/ClockRuns.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/RecordFormat.h"
#include "workflow/ClockLine.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockRecord.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "read";

constexpr const char* kReadFooter =
    "Reads every setting of the clocks at ADDRESS... (for example 192.0.2.10) and prints one\n"
    "field per line, values as the window's pages show them; several clocks are read at once\n"
    "(--parallel N, default 8) and printed in the order given. --json prints one object per\n"
    "line, --csv a header and one row per clock. One of --wired, --wifi and --early is\n"
    "required.\n"
    "Exit status: 0 when every clock answered, 1 when one did not (the others are still\n"
    "printed), 2 on bad usage.";

enum class Format : std::uint8_t { kText, kJson, kCsv };

struct ReadArguments {
    std::vector<std::string> addresses;
    ClockKindFlags kinds;
    bool json = false;
    bool csv = false;
    bool withSecrets = false;
    std::optional<std::string> parallel;
};

void PrintRecord(std::ostream& out, const std::vector<FieldText>& record, Format format,
                 bool withSecrets) {
    switch (format) {
        case Format::kJson:
            PrintFieldsJson(out, record, withSecrets);
            return;
        case Format::kCsv: {
            std::vector<std::string> cells;
            for (const FieldText& field : record) {
                cells.push_back(field.value);
            }
            out << workflow::CsvLine(cells);
            return;
        }
        case Format::kText:
            PrintFieldsText(out, record, withSecrets);
            return;
    }
}

int RunRead(const ReadArguments& arguments, Io& io) {
    if (arguments.addresses.empty()) {
        return UsageError(io, kCommand, "give the address of the clock to read");
    }
    if (arguments.json && arguments.csv) {
        return UsageError(io, kCommand, "give --json or --csv, not both");
    }
    std::string error;
    const std::optional<NamedClocks> clocks =
        ClocksNamed(arguments.kinds, arguments.addresses, error);
    if (!clocks) {
        return UsageError(io, kCommand, error);
    }
    const std::optional<int> parallel = ParallelOf(arguments.parallel, error);
    if (!parallel) {
        return UsageError(io, kCommand, error);
    }
    const workflow::ClockKind kind = clocks->kind;
    const std::vector<platform::Ipv4>& addresses = clocks->addresses;
    const Format format = arguments.json  ? Format::kJson
                          : arguments.csv ? Format::kCsv
                                          : Format::kText;
    const bool withSecrets = arguments.withSecrets;
    if (format == Format::kCsv) {
        io.out << workflow::CsvLine(workflow::RecordColumns(kind, withSecrets));
    }

    std::vector<workflow::ReadResult> results(addresses.size());
    bool allAnswered = true;
    bool printed = false;
    InOrder output(addresses.size(), [&](std::size_t index) {
        const workflow::ReadResult& result = results[index];
        const std::string dotted = platform::FormatIpv4(addresses[index]);
        if (!result.answered) {
            allAnswered = false;
            NoAnswer(io, kCommand,
                     result.stopped ? std::string(kStoppedText) + ": " + dotted : result.failure,
                     dotted);
            return;
        }
        if (format == Format::kText && printed) {
            io.out << '\n';
        }
        PrintRecord(io.out, workflow::ClockRecord(addresses[index], result, kind, withSecrets),
                    format, withSecrets);
        io.out << std::flush;
        printed = true;
    });
    RunClocks(
        addresses, *parallel,
        [&](workflow::ClockLine& line, std::size_t index, const std::stop_token& stop) {
            results[index] = workflow::ReadClock(line, addresses[index], kind, stop);
            output.Done(index);
        },
        [&](std::size_t index) {
            results[index].stopped = true;
            output.Done(index);
        });
    return allAnswered ? kExitSuccess : kExitNoAnswer;
}

}  // namespace

void AddReadCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<ReadArguments>();
    CLI::App* read =
        AddSubcommand(tavlo, invocation, kCommand, "read every setting of one clock or many",
                      kReadFooter, [arguments](Io& io) { return RunRead(*arguments, io); });
    read->add_option("ADDRESS", arguments->addresses, "the clocks' addresses")->type_name("");
    AddClockKindFlags(*read, arguments->kinds);
    read->add_flag("--json", arguments->json, "one JSON object per clock and line instead of text");
    read->add_flag("--csv", arguments->csv,
                   "a header line, then one line of comma-separated values per clock");
    AddParallelOption(*read, arguments->parallel);
    read->add_flag("--passwords", arguments->withSecrets,
                   "also print the clock's passwords and keys (left out otherwise)");
}

}  // namespace tavlo::cli
