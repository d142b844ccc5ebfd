// tavlo write: the operator's Modify and Batch Modify from the command line. Reads the clock
// as a click in the device tree does, shows the reply on the page model, applies the input's
// values as the operator would, then stores, checks and sends with the window's own workflow.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>

#include "platform/Broadcast.h"
#include "platform/Ipv4.h"
#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/ClockEdit.h"
#include "tools/tavlo/ClockOptions.h"
#include "tools/tavlo/ClockRuns.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/PageEdits.h"
#include "tools/tavlo/RecordFormat.h"
#include "workflow/ClockLine.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockWrite.h"
#include "workflow/ManyClocks.h"
#include "workflow/PageModels.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "write";
constexpr std::string_view kBasicPage = "basic";
constexpr std::string_view kWifiPage = "wifi";
// The key whose value would give every clock of a run the same address.
constexpr std::string_view kAddressKey = "ipAddress";

constexpr const char* kWriteFooter =
    "Writes settings to the clock at ADDRESS as the window's \"Modify\" does, or with --batch\n"
    "to every clock of its kind as \"Batch Modify\" does with that clock selected. FILE (or -\n"
    "for standard input) is a JSON object whose keys and values are those 'tavlo read --json'\n"
    "prints, for example {\"timeZone\": \"UTC +5:30\", \"displayText\": \"Lobby\"}; keys not "
    "given\n"
    "keep what the clock reported. The clock is read first, each value is entered on the page\n"
    "as the operator would, and the page's own checks run before anything is written.\n"
    "--page wifi writes the WIFI page instead of the Basic page.\n"
    "Several ADDRESSes are written at once (--parallel N, default 8), each read, edited and\n"
    "written as one is, with one line per clock and then \"N of M clocks written\".\n"
    "A batch broadcasts on every network interface that has a broadcast address ('tavlo\n"
    "interfaces' lists them); --interface NAME (repeatable) keeps it to the named ones.\n"
    "--batch also lists the clocks that acknowledged, one address per line.\n"
    "Exit status: 0 acknowledged (by every clock), 1 no answer (or no clock acknowledged the\n"
    "batch; with several clocks: any clock failed), 2 bad usage or a refused entry, 3 refused\n"
    "by the password check (with several clocks: 2 and 3 only when nothing was sent).";

struct WriteArguments {
    std::vector<std::string> words;  // ADDRESS FILE
    ClockKindFlags kinds;
    bool batch = false;
    std::vector<std::string> interfaces;  // --interface: where a batch broadcasts
    bool dryRun = false;
    bool json = false;
    std::string page = std::string(kBasicPage);
    std::optional<std::string> parallel;
};

// The one-line note on the keys the page cannot edit.
void NoteIgnored(Io& io, const std::vector<std::string>& ignored) {
    if (ignored.empty()) {
        return;
    }
    std::string names;
    for (const std::string& name : ignored) {
        names += (names.empty() ? "" : ", ") + name;
    }
    io.err << kProgramName << ' ' << kCommand
           << ": note: ignored (the page cannot edit them): " << names << '\n';
}

// The request of a dry run, with the address it would go to.
void PrintRequest(Io& io, const workflow::WriteOutcome& outcome, bool json) {
    std::vector<FieldText> fields = outcome.commandRequest
                                        ? EarlyReplyFields(*outcome.commandRequest)
                                        : ClockReplyFields(*outcome.settingsRequest);
    fields.insert(fields.begin(), FieldText{"address", 0, platform::FormatIpv4(*outcome.target)});
    constexpr bool kWithoutSecrets = false;
    if (json) {
        PrintFieldsJson(io.out, fields, kWithoutSecrets);
    } else {
        PrintFieldsText(io.out, fields, kWithoutSecrets);
    }
}

// The exit status of a workflow's outcome, with its line. `dotted` is the clock named.
int Report(Io& io, const workflow::WriteOutcome& outcome, const std::string& dotted, bool json) {
    using workflow::WriteStatus;
    switch (outcome.status) {
        case WriteStatus::kReady:
            PrintRequest(io, outcome, json);
            return kExitSuccess;
        case WriteStatus::kBatchAnswered:
            for (const platform::Ipv4 clock : workflow::ByAddress(outcome.acknowledgedBy)) {
                io.out << platform::FormatIpv4(clock) << '\n';
            }
            [[fallthrough]];
        case WriteStatus::kAcknowledged:
            io.out << outcome.message << '\n';
            return kExitSuccess;
        case WriteStatus::kRefused: {
            const std::string key = FocusKey(outcome.focus);
            return Failure(io, kCommand, outcome.message + (key.empty() ? "" : " (" + key + ")"),
                           kExitUsage);
        }
        case WriteStatus::kWrongUserPassword:
        case WriteStatus::kWrongGlobalPassword:
            return Failure(io, kCommand, outcome.message, kExitPasswordRefused);
        case WriteStatus::kInvalidTarget:
        case WriteStatus::kNeedsDynamicIp:
            return Failure(io, kCommand, outcome.message, kExitUsage);
        case WriteStatus::kBatchUnanswered:
            return Failure(
                io, kCommand,
                outcome.failure.empty() ? "no clock acknowledged the batch" : outcome.failure,
                kExitNoAnswer);
        case WriteStatus::kNoAnswer:
        case WriteStatus::kNothingToDo:
        case WriteStatus::kNotSent:
        case WriteStatus::kStopped:
            break;
    }
    return NoAnswer(io, kCommand, outcome.failure, dotted);
}

// What the command line names, checked before anything is read.
struct WriteTarget {
    NamedClocks clocks;
    workflow::WritePage page = workflow::WritePage::kBasic;
    int parallel = workflow::kDefaultParallel;
};

// The command line's clock and page; nothing once a usage error has been printed.
std::optional<WriteTarget> CheckUsage(const WriteArguments& arguments, Io& io) {
    if (arguments.words.size() < 2) {
        UsageError(io, kCommand, "give ADDRESS and FILE (- for standard input)");
        return std::nullopt;
    }
    std::string error;
    const std::optional<NamedClocks> clocks =
        ClocksNamed(arguments.kinds, {arguments.words.begin(), arguments.words.end() - 1}, error);
    const std::optional<int> parallel = ParallelOf(arguments.parallel, error);
    if (!clocks || !parallel) {
        UsageError(io, kCommand, error);
        return std::nullopt;
    }
    if (clocks->addresses.size() > 1 && (arguments.batch || arguments.dryRun)) {
        UsageError(io, kCommand,
                   std::string(arguments.batch ? "--batch" : "--dry-run") + " takes one ADDRESS");
        return std::nullopt;
    }
    const workflow::WritePage page =
        arguments.page == kWifiPage ? workflow::WritePage::kWifi : workflow::WritePage::kBasic;
    if (clocks->kind == workflow::ClockKind::kEarly && page == workflow::WritePage::kWifi) {
        UsageError(io, kCommand, "early-version clocks have no WIFI page");
        return std::nullopt;
    }
    if (!arguments.interfaces.empty() && !arguments.batch) {
        UsageError(io, kCommand, "--interface goes with --batch");
        return std::nullopt;
    }
    const std::vector<platform::NetworkInterface> interfaces =
        platform::makeSystemNetwork()->interfaces();
    for (const std::string& name : arguments.interfaces) {
        if (platform::BroadcastInterfaces(interfaces, {name}).empty()) {
            UsageError(io, kCommand,
                       "no interface '" + Printable(name) +
                           "' with a broadcast address ('tavlo interfaces' lists them)");
            return std::nullopt;
        }
    }
    if (arguments.json && !arguments.dryRun) {
        UsageError(io, kCommand, "--json prints the request of --dry-run; give both");
        return std::nullopt;
    }
    return WriteTarget{*clocks, page, *parallel};
}

// The input's values, refused before anything is sent when they are not what the read
// prints; nothing once the refusal has been printed.
std::optional<std::vector<KeyValue>> ReadValues(const std::string& path, workflow::ClockKind kind,
                                                Io& io) {
    std::string error;
    const std::optional<std::string> input = json::ReadText(path, std::cin, error);
    if (!input) {
        Failure(io, kCommand, error, kExitUsage);
        return std::nullopt;
    }
    const std::optional<json::Json> document = json::Read(*input, error);
    if (!document) {
        Failure(io, kCommand, Printable(path) + ": " + error, kExitUsage);
        return std::nullopt;
    }
    std::optional<std::vector<KeyValue>> values = TakeValues(*document, kind, error);
    if (!values) {
        Failure(io, kCommand, error, kExitUsage);
    }
    return values;
}

// Several clocks: each read, edited and written on a line of its own, at once up to the
// parallel count; one line per clock in the order given, then the count.
int WriteMany(const WriteTarget& target, const std::vector<KeyValue>& values, Io& io) {
    const std::vector<platform::Ipv4>& addresses = target.clocks.addresses;
    std::vector<workflow::ReadResult> reads(addresses.size());
    std::vector<ClockEdit> edits(addresses.size());
    std::vector<ClockEnd> ends(addresses.size());
    bool noted = false;
    InOrder output(addresses.size(), [&](std::size_t index) {
        const ClockLineText line = LineOf(reads[index], edits[index]);
        ends[index] = line.end;
        io.out << platform::FormatIpv4(addresses[index]) << ": " << line.text << '\n' << std::flush;
        if (!noted && !edits[index].edits.ignored.empty()) {
            NoteIgnored(io, edits[index].edits.ignored);
            noted = true;
        }
    });
    RunClocks(
        addresses, target.parallel,
        [&](workflow::ClockLine& line, std::size_t index, const std::stop_token& stop) {
            const ClockEditRequest request{addresses[index], target.clocks.kind, target.page};
            reads[index] = workflow::ReadClock(line, addresses[index], request.kind, stop);
            if (reads[index].answered) {
                edits[index] = EditAndWrite(line, reads[index], values, request, stop);
            }
            output.Done(index);
        },
        [&](std::size_t index) {
            reads[index].stopped = true;
            output.Done(index);
        });
    const auto written = std::count(ends.begin(), ends.end(), ClockEnd::kWritten);
    io.out << CountLine(static_cast<std::size_t>(written), ends.size(), "written") << '\n';
    return ManyClocksStatus(ends);
}

int RunWriteCommand(const WriteArguments& arguments, Io& io) {
    const std::optional<WriteTarget> target = CheckUsage(arguments, io);
    if (!target) {
        return kExitUsage;
    }
    const workflow::ClockKind kind = target->clocks.kind;
    const std::optional<std::vector<KeyValue>> values =
        ReadValues(arguments.words.back(), kind, io);
    if (!values) {
        return kExitUsage;
    }
    if (target->clocks.addresses.size() > 1) {
        if (std::any_of(values->begin(), values->end(),
                        [](const KeyValue& value) { return value.first == kAddressKey; })) {
            return Failure(io, kCommand,
                           std::string(kAddressKey) +
                               " would give every clock the same address; write it to one "
                               "ADDRESS at a time",
                           kExitUsage);
        }
        return WriteMany(*target, *values, io);
    }

    // Read the clock as a click does, show it on both pages, and enter the values there.
    const platform::Ipv4 address = target->clocks.addresses.front();
    workflow::OwnedClockLine line(platform::makeSystemNetwork());
    const std::string dotted = platform::FormatIpv4(address);
    const workflow::ReadResult read = workflow::ReadClock(line.line(), address, kind);
    if (!read.answered) {
        return NoAnswer(io, kCommand, read.failure, dotted);
    }
    const ClockEditRequest request{
        address,
        kind,
        target->page,
        arguments.batch ? workflow::WriteScope::kEveryClock : workflow::WriteScope::kOneClock,
        arguments.dryRun,
        arguments.interfaces};
    const ClockEdit edit = EditAndWrite(line.line(), read, *values, request);
    if (!edit.edits.error.empty()) {
        return Failure(io, kCommand, edit.edits.error, kExitUsage);
    }
    NoteIgnored(io, edit.edits.ignored);
    return Report(io, *edit.outcome, dotted, arguments.json);
}

}  // namespace

void AddWriteCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<WriteArguments>();
    CLI::App* write = AddSubcommand(
        tavlo, invocation, kCommand, "write settings to clocks, or to all with --batch",
        kWriteFooter, [arguments](Io& io) { return RunWriteCommand(*arguments, io); });
    write->add_option("ADDRESS FILE", arguments->words, "the clocks' addresses and the settings")
        ->type_name("");
    AddClockKindFlags(*write, arguments->kinds);
    write->add_flag("--batch", arguments->batch,
                    "Batch Modify: send to every clock of ADDRESS's kind at once");
    write
        ->add_option("--interface", arguments->interfaces,
                     "with --batch: broadcast on this interface only; repeatable")
        ->type_name("NAME")
        ->allow_extra_args(false);
    write->add_option("--page", arguments->page, "the page to write: basic (default) or wifi")
        ->check(CLI::IsMember({std::string(kBasicPage), std::string(kWifiPage)}).description(""))
        ->type_name("basic|wifi");
    write->add_flag("--dry-run", arguments->dryRun,
                    "read, enter and check, then print the request instead of sending it");
    write->add_flag("--json", arguments->json, "with --dry-run: the request as one JSON object");
    AddParallelOption(*write, arguments->parallel);
}

}  // namespace tavlo::cli
