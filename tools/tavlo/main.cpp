// tavlo: the command line of TavloAdmin. Finds clocks, reads their settings and loads firmware
// without the window, for scripts and for field engineers.
#include <iostream>

#include "platform/Console.h"
#include "tools/tavlo/Cli.h"

int main(int argc, char** argv) {
    tavlo::platform::UseBinaryOutput();
    tavlo::cli::Io io{std::cout, std::cerr,
                      tavlo::platform::IsTerminal(tavlo::platform::StandardStream::kError)};
    return tavlo::cli::RunCommandLine(tavlo::platform::Utf8Arguments(argc, argv), io);
}
