// tavlo write: the operator's Modify and Batch Modify from the command line. Reads the clock
// as a click in the device tree does, shows the reply on the page model, applies the input's
// values as the operator would, then stores, checks and sends with the window's own workflow.
#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>

#include "platform/Broadcast.h"
#include "platform/Ipv4.h"
#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/ClockOptions.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/PageEdits.h"
#include "tools/tavlo/RecordFormat.h"
#include "workflow/ClockLine.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockWrite.h"
#include "workflow/PageModels.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kCommand = "write";
constexpr std::string_view kBasicPage = "basic";
constexpr std::string_view kWifiPage = "wifi";
// The clock's password check refused the write.
constexpr int kExitPasswordRefused = 3;

constexpr const char* kWriteFooter =
    "Writes settings to the clock at ADDRESS as the window's \"Modify\" does, or with --batch\n"
    "to every clock of its kind as \"Batch Modify\" does with that clock selected. FILE (or -\n"
    "for standard input) is a JSON object whose keys and values are those 'tavlo read --json'\n"
    "prints, for example {\"timeZone\": \"UTC +5:30\", \"displayText\": \"Lobby\"}; keys not "
    "given\n"
    "keep what the clock reported. The clock is read first, each value is entered on the page\n"
    "as the operator would, and the page's own checks run before anything is written.\n"
    "--page wifi writes the WIFI page instead of the Basic page.\n"
    "A batch broadcasts on every network interface that has a broadcast address ('tavlo\n"
    "interfaces' lists them); --interface NAME (repeatable) keeps it to the named ones.\n"
    "Exit status: 0 acknowledged, 1 no answer (or no clock acknowledged the batch), 2 bad\n"
    "usage or a refused entry, 3 refused by the password check.";

struct WriteArguments {
    std::vector<std::string> words;  // ADDRESS FILE
    ClockKindFlags kinds;
    bool batch = false;
    std::vector<std::string> interfaces;  // --interface: where a batch broadcasts
    bool dryRun = false;
    bool json = false;
    std::string page = std::string(kBasicPage);
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
        case WriteStatus::kAcknowledged:
        case WriteStatus::kBatchAnswered:
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
    NamedClock clock;
    workflow::WritePage page = workflow::WritePage::kBasic;
};

// The command line's clock and page; nothing once a usage error has been printed.
std::optional<WriteTarget> CheckUsage(const WriteArguments& arguments, Io& io) {
    if (arguments.words.size() != 2) {
        UsageError(io, kCommand, "give ADDRESS and FILE (- for standard input)");
        return std::nullopt;
    }
    std::string error;
    const std::optional<NamedClock> clock =
        ClockNamed(arguments.kinds, arguments.words.front(), error);
    if (!clock) {
        UsageError(io, kCommand, error);
        return std::nullopt;
    }
    const workflow::WritePage page =
        arguments.page == kWifiPage ? workflow::WritePage::kWifi : workflow::WritePage::kBasic;
    if (clock->kind == workflow::ClockKind::kEarly && page == workflow::WritePage::kWifi) {
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
    return WriteTarget{*clock, page};
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

// The request for the clock a read answered: its generation, family and passwords.
workflow::WriteRequest RequestFor(const workflow::ReadResult& read, workflow::ClockKind kind) {
    workflow::WriteRequest request;
    if (kind == workflow::ClockKind::kEarly) {
        request.generation = workflow::Generation::kEarly;
    } else {
        request.family = workflow::FamilyOfKind(kind);
        request.known = read.passwords.value_or(workflow::KnownPasswords{});
    }
    return request;
}

int RunWriteCommand(const WriteArguments& arguments, Io& io) {
    const std::optional<WriteTarget> target = CheckUsage(arguments, io);
    if (!target) {
        return kExitUsage;
    }
    const workflow::ClockKind kind = target->clock.kind;
    const platform::Ipv4 address = target->clock.address;
    const std::optional<std::vector<KeyValue>> values =
        ReadValues(arguments.words.back(), kind, io);
    if (!values) {
        return kExitUsage;
    }

    // Read the clock as a click does, show it on both pages, and enter the values there.
    workflow::OwnedClockLine line(platform::makeSystemNetwork());
    const std::string dotted = platform::FormatIpv4(address);
    const workflow::ReadResult read = workflow::ReadClock(line.line(), address, kind);
    if (!read.answered) {
        return NoAnswer(io, kCommand, read.failure, dotted);
    }
    workflow::PageModels models;
    workflow::ClearPagesForRead(kind, models);
    workflow::ShowRead(read, kind, models);
    const EditResult edits =
        ApplyValues(*values, ReplyFields(read, kind), kind, target->page, models);
    if (!edits.error.empty()) {
        return Failure(io, kCommand, edits.error, kExitUsage);
    }
    NoteIgnored(io, edits.ignored);

    workflow::WriteRequest request = RequestFor(read, kind);
    request.scope =
        arguments.batch ? workflow::WriteScope::kEveryClock : workflow::WriteScope::kOneClock;
    request.target = address;
    request.page = target->page;
    request.basic = models.basic;
    request.wifi = models.wifi;
    request.dryRun = arguments.dryRun;
    request.broadcastInterfaces = arguments.interfaces;
    return Report(io, workflow::RunWrite(request, line.line()), dotted, arguments.json);
}

}  // namespace

void AddWriteCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<WriteArguments>();
    CLI::App* write = AddSubcommand(
        tavlo, invocation, kCommand, "write settings to one clock, or to all with --batch",
        kWriteFooter, [arguments](Io& io) { return RunWriteCommand(*arguments, io); });
    write->add_option("ADDRESS FILE", arguments->words, "the clock's address and the settings")
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
}

}  // namespace tavlo::cli
