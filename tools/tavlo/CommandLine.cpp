// The command line of `tavlo`: every subcommand joins here, and usage errors become one line.
#include <CLI/CLI.hpp>
#include <array>

#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace tavlo::cli {
namespace {

// Every subcommand: its own source file, and one line here.
constexpr std::array<CommandAdder, 7> kCommands = {
    AddSearchCommand, AddInterfacesCommand, AddReadCommand,     AddWriteCommand,
    AddBackupCommand, AddRestoreCommand,    AddFirmwareCommand,
};

constexpr const char* kDescription =
    "The command line of TavloAdmin: finds network wall clocks, reads and writes their settings\n"
    "and loads firmware into them, with the window's own texts.";
constexpr const char* kFooter =
    "Run 'tavlo COMMAND --help' for the options of a command.\n"
    "Exit status: 0 success, 1 no clock answered, 2 bad usage (3: a write refused by the\n"
    "clock's password check).";
// The word that asks for help like --help does.
constexpr std::string_view kHelpWord = "help";

}  // namespace

int RunCommandLine(std::vector<std::string> args, Io& io) {
    if (args.size() == 1 && args.front() == kHelpWord) {
        args.front() = "--help";
    }
    CLI::App tavlo(kDescription, kProgramName);
    tavlo.footer(kFooter);
    tavlo.require_subcommand(0, 1);
    tavlo.allow_extras();
    // Options start with a dash on every system: a path such as /data/image.bin is a path,
    // never a Windows-style option (the subcommands inherit this).
    tavlo.allow_windows_style_options(false);
    Invocation invocation{io};
    for (const CommandAdder add : kCommands) {
        add(tavlo, invocation);
    }
    // CLI11 takes the words last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        tavlo.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        io.out << tavlo.help();
        return kExitSuccess;
    } catch (const CLI::ParseError& error) {
        const std::vector<CLI::App*> chosen = tavlo.get_subcommands();
        return UsageError(io, chosen.empty() ? "" : chosen.front()->get_name(), error.what());
    }
    if (tavlo.get_subcommands().empty()) {
        const std::vector<std::string> left = tavlo.remaining();
        return UsageError(io, "",
                          left.empty() ? "no command given"
                                       : "unknown command '" + Printable(left.front()) + "'");
    }
    return invocation.status;
}

}  // namespace tavlo::cli
