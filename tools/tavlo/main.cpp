// tavlo: the command line of TavloAdmin. Finds clocks, reads their settings and loads firmware
// without the window, for scripts and for field engineers.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/tavlo/Cli.h"

int main(int argc, char** argv) {
    tavlo::cli::Io io{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    return tavlo::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), io);
}
