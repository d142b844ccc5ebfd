// tavlo: the command line of TavloAdmin. Finds clocks and reads their settings without the
// window, for scripts and for field engineers.
#include <unistd.h>

#include <array>
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "tools/tavlo/Cli.h"
#include "tools/tavlo/Commands.h"

namespace {

using tavlo::cli::Io;

struct Command {
    std::string_view name;
    std::string_view summary;
    int (*run)(std::span<const std::string_view> args, Io& io);
};

// Every subcommand; a new one is one line here and one function in its own file.
constexpr std::array kCommands = {
    Command{"search", "find the clocks on the network", tavlo::cli::RunSearchCommand},
    Command{"read", "read every setting of one clock", tavlo::cli::RunReadCommand},
    Command{"firmware", "load a firmware file into one clock", tavlo::cli::RunFirmwareCommand},
};

void PrintUsage(std::ostream& out) {
    out << "Usage: tavlo COMMAND [OPTIONS]\n\nCommands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.name << std::string(10 - command.name.size(), ' ') << command.summary
            << '\n';
    }
    out << "\nRun 'tavlo COMMAND --help' for the options of a command.\n"
           "Exit status: 0 success, 1 no clock answered, 2 bad usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
    Io io{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        return tavlo::cli::UsageError(io, "", "no command given");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(std::cout);
        return tavlo::cli::kExitSuccess;
    }
    for (const Command& command : kCommands) {
        if (command.name == args[0]) {
            return command.run(std::span(args).subspan(1), io);
        }
    }
    return tavlo::cli::UsageError(io, "", "unknown command '" + std::string(args[0]) + "'");
}
