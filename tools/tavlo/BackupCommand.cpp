// tavlo backup and tavlo restore: every clock a search finds, read into one file each and
// written back from them. A backup file is the object `tavlo read --json` prints plus the
// clock's family; restore matches clocks to files by serial number (by address for a clock
// without one) and writes each file as `tavlo write` does.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Ipv4.h"
#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"
#include "tools/tavlo/ClockEdit.h"
#include "tools/tavlo/ClockOptions.h"
#include "tools/tavlo/ClockRuns.h"
#include "tools/tavlo/Commands.h"
#include "tools/tavlo/FoundClocks.h"
#include "tools/tavlo/PageEdits.h"
#include "tools/tavlo/RecordFormat.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockRecord.h"

namespace tavlo::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBackup = "backup";
constexpr std::string_view kRestore = "restore";
constexpr std::string_view kFamilyKey = "family";
constexpr std::string_view kSerialKey = "serialNumber";
constexpr std::string_view kFileExtension = ".json";
constexpr std::string_view kTemporarySuffix = ".tmp";
// A backup file is one clock's record: far below this.
constexpr std::size_t kMaxBackupFile = 64 * 1024;
// The address settings restore leaves alone unless --addresses is given.
constexpr std::array<std::string_view, 5> kAddressKeys = {"ipAddress", "subnetMask", "gateway",
                                                          "dnsServer", "ipMode"};

constexpr const char* kBackupFooter =
    "Searches as 'tavlo search' does, reads every clock found (several at once, --parallel N,\n"
    "default 8) and writes DIR/SERIAL.json for each (ADDRESS.json for a clock without a\n"
    "serial number): the object 'tavlo read --json' prints plus the clock's family. Files are\n"
    "readable by their owner only and hold no passwords or keys unless --passwords is given.\n"
    "Exit status: 0 when every clock found was saved, 1 when one was not (or none was found),\n"
    "2 on bad usage.";

constexpr const char* kRestoreFooter =
    "Searches as 'tavlo search' does and writes to each clock found the settings of its file\n"
    "in DIR, as 'tavlo write' does (a Wi-Fi clock: the WIFI page, then the Basic page). A\n"
    "clock is matched by its serial number (by its address when it reports none). The address\n"
    "settings (ipAddress, subnetMask, gateway, dnsServer, ipMode) stay as the clock has them\n"
    "unless --addresses is given; passwords and keys are written only when the file has them.\n"
    "--dry-run prints what would change (key: old -> new) and writes nothing.\n"
    "Exit status: 0 when every clock with a file took it, 1 when one did not, 2 on bad usage\n"
    "or when every clock refused an entry, 3 when every clock refused the password check.";

struct BackupArguments {
    std::string dir;
    SearchFlags search;
    bool withSecrets = false;
    bool addresses = false;
    bool dryRun = false;
    std::optional<std::string> parallel;
};

std::string Dotted(platform::Ipv4 address) {
    return platform::FormatIpv4(address);
}

// How a clock is named on its line: "ADDRESS (SERIAL)" or "ADDRESS".
std::string ClockName(const FoundClock& clock) {
    return Dotted(clock.address) + (clock.serial.empty() ? "" : " (" + clock.serial + ")");
}

// A serial number (from the clock, so anything) made into a file name: letters, digits, '.',
// '-' and '_' kept, every other byte '_', no leading dot.
std::string SafeFileStem(const std::string& text) {
    std::string stem;
    for (const char c : text) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        stem += kept ? c : '_';
    }
    if (!stem.empty() && stem.front() == '.') {
        stem.front() = '_';
    }
    return stem;
}

// Writes `text` to `path` readable by its owner only, through a temporary file renamed over
// it, so that a reader never sees half a file. The reason when it fails.
std::optional<std::string> WriteAtomically(const fs::path& path, const std::string& text) {
    fs::path temporary = path;
    temporary += kTemporarySuffix;
    std::error_code error;
    fs::remove(temporary, error);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return "cannot create " + platform::Utf8FromPath(temporary);
        }
        fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::replace, error);
        if (error) {
            return "cannot restrict " + platform::Utf8FromPath(temporary) + ": " + error.message();
        }
        out << text;
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary, error);
            return "cannot write " + platform::Utf8FromPath(temporary);
        }
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return "cannot rename to " + platform::Utf8FromPath(path);
    }
    return std::nullopt;
}

// The file names of the clocks, in their order: SERIAL.json or ADDRESS.json, a name taken
// twice getting "-2", "-3", ... (with a warning).
std::vector<std::string> FileNames(const std::vector<FoundClock>& clocks, Io& io) {
    std::set<std::string> taken;
    std::vector<std::string> names;
    for (const FoundClock& clock : clocks) {
        const std::string stem =
            clock.serial.empty() ? Dotted(clock.address) : SafeFileStem(clock.serial);
        std::string name = stem + std::string(kFileExtension);
        for (int suffix = 2; !taken.insert(name).second; ++suffix) {
            name = stem + "-" + std::to_string(suffix) + std::string(kFileExtension);
        }
        if (name != stem + std::string(kFileExtension)) {
            io.err << kProgramName << ' ' << kBackup << ": warning: " << ClockName(clock)
                   << " has the name of another clock; saved as " << Printable(name) << '\n';
        }
        names.push_back(name);
    }
    return names;
}

std::vector<platform::Ipv4> AddressesOf(const std::vector<FoundClock>& clocks) {
    std::vector<platform::Ipv4> addresses;
    for (const FoundClock& clock : clocks) {
        addresses.push_back(clock.address);
    }
    return addresses;
}

// Reads every clock, each on a line of its own; `done` runs for each in the order given.
void ReadEvery(const std::vector<FoundClock>& clocks, int parallel,
               std::vector<workflow::ReadResult>& reads,
               const std::function<void(std::size_t)>& done) {
    reads.assign(clocks.size(), {});
    InOrder output(clocks.size(), done);
    const std::vector<platform::Ipv4> addresses = AddressesOf(clocks);
    RunClocks(
        addresses, parallel,
        [&](workflow::ClockLine& line, std::size_t index, const std::stop_token& stop) {
            reads[index] = workflow::ReadClock(line, addresses[index], clocks[index].kind, stop);
            output.Done(index);
        },
        [&](std::size_t index) {
            reads[index].stopped = true;
            output.Done(index);
        });
}

int RunBackup(const BackupArguments& arguments, Io& io) {
    std::string error;
    const std::optional<int> parallel = ParallelOf(arguments.parallel, error);
    if (!parallel) {
        return UsageError(io, kBackup, error);
    }
    int status = kExitSuccess;
    const std::optional<SearchPlan> plan = PlanSearch(arguments.search, io, kBackup, status);
    if (!plan) {
        return status;
    }
    const fs::path dir = platform::PathFromUtf8(arguments.dir);
    std::error_code made;
    fs::create_directories(dir, made);
    if (made || !fs::is_directory(dir)) {
        return Failure(io, kBackup, "cannot make the folder " + Printable(arguments.dir),
                       kExitUsage);
    }
    const std::optional<std::vector<FoundClock>> clocks = FindClocks(*plan, io, kBackup, status);
    if (!clocks) {
        return status;
    }
    if (clocks->empty()) {
        return Failure(io, kBackup, "no clock answered", kExitNoAnswer);
    }
    const std::vector<std::string> names = FileNames(*clocks, io);
    std::vector<workflow::ReadResult> reads;
    std::size_t saved = 0;
    ReadEvery(*clocks, *parallel, reads, [&](std::size_t index) {
        const FoundClock& clock = (*clocks)[index];
        io.out << ClockName(clock) << ": ";
        if (!reads[index].answered) {
            io.out << LineOf(reads[index], {}).text << '\n';
            return;
        }
        json::Json record = json::Json::object();
        for (const FieldText& field : workflow::ClockRecord(clock.address, reads[index], clock.kind,
                                                            arguments.withSecrets)) {
            record[field.name] = field.value;
        }
        record[std::string(kFamilyKey)] = FamilyWord(clock.kind);
        const fs::path path = dir / names[index];
        if (const auto failed = WriteAtomically(path, json::Write(record) + "\n")) {
            io.out << Printable(*failed) << '\n';
            return;
        }
        ++saved;
        io.out << "saved to " << Printable(platform::Utf8FromPath(path)) << '\n' << std::flush;
    });
    io.out << CountLine(saved, clocks->size(), "saved") << '\n';
    return saved == clocks->size() ? kExitSuccess : kExitNoAnswer;
}

// One backup file as restore takes it.
struct BackupFile {
    std::string name;
    json::Json record;
    std::string serial;
    std::string address;
    std::string family;
    bool used = false;
};

// Every *.json file of `dir` that holds a backup record; a file that does not is named on
// standard error and left out.
std::optional<std::vector<BackupFile>> ReadBackups(const fs::path& dir, Io& io) {
    std::error_code error;
    fs::directory_iterator entries(dir, error);
    if (error) {
        Failure(io, kRestore, "cannot read the folder " + Printable(platform::Utf8FromPath(dir)),
                kExitUsage);
        return std::nullopt;
    }
    std::vector<BackupFile> files;
    for (const fs::directory_entry& entry : entries) {
        if (!entry.is_regular_file(error) || entry.path().extension() != kFileExtension) {
            continue;
        }
        std::string problem;
        const std::string name = platform::Utf8FromPath(entry.path().filename());
        const std::optional<std::string> text =
            json::ReadText(platform::Utf8FromPath(entry.path()), std::cin, problem, kMaxBackupFile);
        std::optional<json::Json> record = text ? json::Read(*text, problem) : std::nullopt;
        const auto textOf = [&](std::string_view key) {
            const auto found = record->find(std::string(key));
            return found != record->end() && found->is_string() ? found->get<std::string>()
                                                                : std::string();
        };
        if (record && (!record->is_object() || textOf(kFamilyKey).empty() ||
                       textOf(workflow::kAddressKey).empty())) {
            problem = "not a backup of one clock";
            record.reset();
        }
        if (!record) {
            io.err << kProgramName << ' ' << kRestore << ": " << Printable(name) << ": "
                   << Printable(problem) << " (left out)\n";
            continue;
        }
        files.push_back(BackupFile{name, *record, textOf(kSerialKey), textOf(workflow::kAddressKey),
                                   textOf(kFamilyKey)});
    }
    std::sort(files.begin(), files.end(),
              [](const BackupFile& a, const BackupFile& b) { return a.name < b.name; });
    return files;
}

// The file of `clock`: the one with its serial number (at its address first), or for a
// clock without one, the one of its address that has none either.
BackupFile* FileOf(const FoundClock& clock, std::vector<BackupFile>& files) {
    BackupFile* match = nullptr;
    const std::string address = Dotted(clock.address);
    for (BackupFile& file : files) {
        if (file.used || file.serial != clock.serial ||
            (clock.serial.empty() && file.address != address)) {
            continue;
        }
        if (match == nullptr || file.address == address) {
            match = &file;
        }
    }
    return match;
}

// A clock to restore and the values of its file, by page.
struct Restoration {
    FoundClock clock;
    const BackupFile* file = nullptr;
    std::string refusal;  // why the file cannot go to this clock; nothing is sent then
    std::vector<KeyValue> wifi;
    std::vector<KeyValue> basic;
};

// The values of `file` for `clock`, split by page; the address settings only `withAddresses`.
void TakeFile(Restoration& restoration, bool withAddresses) {
    const BackupFile& file = *restoration.file;
    const workflow::ClockKind kind = restoration.clock.kind;
    if (file.family != FamilyWord(kind)) {
        restoration.refusal = file.name + " is the backup of a " + Printable(file.family) +
                              " clock, not of a " + FamilyWord(kind) + " one";
        return;
    }
    json::Json values = file.record;
    values.erase(std::string(kFamilyKey));
    if (!withAddresses) {
        for (const std::string_view key : kAddressKeys) {
            values.erase(std::string(key));
        }
    }
    std::string error;
    const std::optional<std::vector<KeyValue>> taken = TakeValues(values, kind, error);
    if (!taken) {
        restoration.refusal = file.name + ": " + error;
        return;
    }
    for (const KeyValue& value : *taken) {
        const bool wifiKey = PageOfKey(value.first) == workflow::WritePage::kWifi;
        if (wifiKey && kind == workflow::ClockKind::kWifi) {
            restoration.wifi.push_back(value);
        } else if (!wifiKey) {
            restoration.basic.push_back(value);
        }
    }
}

// The values that differ from what the clock reported, as "key: old -> new" lines.
std::vector<std::string> Changes(const std::vector<KeyValue>& values,
                                 const std::vector<FieldText>& reported) {
    std::vector<std::string> lines;
    for (const KeyValue& value : values) {
        if (!PageOfKey(value.first)) {
            continue;  // no page edits it
        }
        const auto found =
            std::find_if(reported.begin(), reported.end(),
                         [&](const FieldText& field) { return field.name == value.first; });
        const std::string old = found == reported.end() ? std::string() : found->value;
        if (old != value.second) {
            lines.push_back(value.first + ": " + Printable(old) + " -> " + Printable(value.second));
        }
    }
    return lines;
}

// Restores one clock that answered its read: the WIFI page (Wi-Fi clocks), then the Basic
// page, each only when its values change something. The line's text and how it ended.
ClockLineText RestoreClock(workflow::ClockLine& line, const workflow::ReadResult& read,
                           const Restoration& restoration, bool dryRun, std::string& changes,
                           const std::stop_token& stop) {
    const workflow::ClockKind kind = restoration.clock.kind;
    const std::vector<FieldText> reported = ReplyFields(read, kind);
    ClockLineText result{ClockEnd::kWritten, "unchanged"};
    std::size_t changed = 0;
    for (const auto& [page, values] :
         {std::pair{workflow::WritePage::kWifi, &restoration.wifi},
          std::pair{workflow::WritePage::kBasic, &restoration.basic}}) {
        const std::vector<std::string> lines = Changes(*values, reported);
        for (const std::string& change : lines) {
            changes += "  " + change + "\n";
        }
        changed += lines.size();
        if (lines.empty() || dryRun) {
            continue;
        }
        ClockEditRequest request;
        request.address = restoration.clock.address;
        request.kind = kind;
        request.page = page;
        const ClockEdit edit = EditAndWrite(line, read, *values, request, stop);
        result = LineOf(read, edit);
        if (result.end != ClockEnd::kWritten) {
            return result;
        }
    }
    if (dryRun) {
        result.text = changed == 0 ? "unchanged" : std::to_string(changed) + " to change";
    }
    return result;
}

// The clocks found that have a file, each with what will be written; the clocks without one
// are listed as skipped, the files of the family searched without a clock as missing.
std::vector<Restoration> MatchFiles(const std::vector<FoundClock>& found,
                                    std::vector<BackupFile>& files,
                                    const BackupArguments& arguments, Io& io) {
    std::vector<Restoration> restorations;
    for (const FoundClock& clock : found) {
        BackupFile* file = FileOf(clock, files);
        if (file == nullptr) {
            io.out << ClockName(clock) << ": skipped (no file)\n";
            continue;
        }
        file->used = true;
        Restoration restoration{clock, file, {}, {}, {}};
        TakeFile(restoration, arguments.addresses);
        restorations.push_back(std::move(restoration));
    }
    // Files of the other family's clocks are not looked for by this search.
    const std::string otherFamily = FamilyWord(
        arguments.search.wifi != 0 ? workflow::ClockKind::kWired : workflow::ClockKind::kWifi);
    for (const BackupFile& file : files) {
        if (!file.used && file.family != otherFamily) {
            io.out << Printable(file.name) << ": missing (no clock found with "
                   << (file.serial.empty() ? "address " + Printable(file.address)
                                           : "serial number " + Printable(file.serial))
                   << ")\n";
        }
    }
    return restorations;
}

int RunRestore(const BackupArguments& arguments, Io& io) {
    std::string error;
    const std::optional<int> parallel = ParallelOf(arguments.parallel, error);
    if (!parallel) {
        return UsageError(io, kRestore, error);
    }
    int status = kExitSuccess;
    const std::optional<SearchPlan> plan = PlanSearch(arguments.search, io, kRestore, status);
    if (!plan) {
        return status;
    }
    std::optional<std::vector<BackupFile>> files =
        ReadBackups(platform::PathFromUtf8(arguments.dir), io);
    if (!files) {
        return kExitUsage;
    }
    const std::optional<std::vector<FoundClock>> found = FindClocks(*plan, io, kRestore, status);
    if (!found) {
        return status;
    }
    const std::vector<Restoration> restorations = MatchFiles(*found, *files, arguments, io);

    std::vector<FoundClock> clocks;
    for (const Restoration& restoration : restorations) {
        clocks.push_back(restoration.clock);
    }
    const std::vector<platform::Ipv4> addresses = AddressesOf(clocks);
    std::vector<ClockLineText> lines(clocks.size());
    std::vector<std::string> changes(clocks.size());
    std::vector<ClockEnd> ends(clocks.size());
    InOrder output(clocks.size(), [&](std::size_t index) {
        ends[index] = lines[index].end;
        io.out << ClockName(clocks[index]) << ": " << Printable(lines[index].text) << '\n'
               << changes[index] << std::flush;
    });
    RunClocks(
        addresses, *parallel,
        [&](workflow::ClockLine& line, std::size_t index, const std::stop_token& stop) {
            const Restoration& restoration = restorations[index];
            if (!restoration.refusal.empty()) {
                lines[index] = {ClockEnd::kRefused, restoration.refusal};
            } else {
                const workflow::ReadResult read =
                    workflow::ReadClock(line, addresses[index], restoration.clock.kind, stop);
                lines[index] = read.answered ? RestoreClock(line, read, restoration,
                                                            arguments.dryRun, changes[index], stop)
                                             : LineOf(read, {});
            }
            output.Done(index);
        },
        [&](std::size_t index) {
            lines[index] = {ClockEnd::kNoAnswer, std::string(kStoppedText)};
            output.Done(index);
        });
    const auto restored = std::count(ends.begin(), ends.end(), ClockEnd::kWritten);
    io.out << CountLine(static_cast<std::size_t>(restored), ends.size(),
                        arguments.dryRun ? "checked" : "restored")
           << '\n';
    if (ends.empty()) {
        return Failure(io, kRestore, "no clock found has a file in the folder", kExitNoAnswer);
    }
    return ManyClocksStatus(ends);
}

void AddBackupOptions(CLI::App& command, BackupArguments& arguments) {
    command.add_option("DIR", arguments.dir, "the folder of the backup files")
        ->required()
        ->type_name("");
    AddSearchFlags(command, arguments.search);
    AddParallelOption(command, arguments.parallel);
}

}  // namespace

void AddBackupCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<BackupArguments>();
    CLI::App* backup =
        AddSubcommand(tavlo, invocation, kBackup, "save the settings of every clock found",
                      kBackupFooter, [arguments](Io& io) { return RunBackup(*arguments, io); });
    AddBackupOptions(*backup, *arguments);
    backup->add_flag("--passwords", arguments->withSecrets,
                     "also save the clocks' passwords and keys (left out otherwise)");
}

void AddRestoreCommand(CLI::App& tavlo, Invocation& invocation) {
    auto arguments = std::make_shared<BackupArguments>();
    CLI::App* restore =
        AddSubcommand(tavlo, invocation, kRestore, "write saved settings back to the clocks found",
                      kRestoreFooter, [arguments](Io& io) { return RunRestore(*arguments, io); });
    AddBackupOptions(*restore, *arguments);
    restore->add_flag("--addresses", arguments->addresses,
                      "also write the address settings (ipAddress, subnetMask, gateway,\n"
                      "dnsServer, ipMode)");
    restore->add_flag("--dry-run", arguments->dryRun,
                      "print what would change (key: old -> new) and write nothing");
}

}  // namespace tavlo::cli
