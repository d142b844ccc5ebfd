// The command line and the clock file of tavlo-clocksim.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Network.h"
#include "tools/clocksim/SimClock.h"
#include "tools/common/AddressList.h"

namespace CLI {
class App;
}

namespace tavlo::clocksim {

inline constexpr int kDefaultBufferBytes = 8 * 1024 * 1024;
inline constexpr std::size_t kMaxClocks = common::kMaxListedAddresses;

struct SimConfig {
    std::vector<SimClock> clocks;
    std::string logPath;                // empty: no log
    std::optional<std::uint32_t> seed;  // nothing: from the clock
    int bufferBytes = kDefaultBufferBytes;
    bool listOnly = false;
    bool help = false;
    std::string helpText;  // the --help text, when asked for
};

// Reads the whole file ("-": standard input); nothing and `error` when it cannot (or it is
// larger than the JSON reader's limit).
using FileReader = std::optional<std::string> (*)(const std::string& path, std::string& error);
std::optional<std::string> ReadTextFile(const std::string& path, std::string& error);

// Adds options of another part of the simulator (its TFTP side) to the command line.
using OptionAdder = std::function<void(CLI::App& app)>;

// Parses the arguments (without the program name). Nothing and a one-line `error` on bad
// usage. `readFile` loads the clock file of --clocks.
std::optional<SimConfig> ParseCommandLine(const std::vector<std::string>& args, std::string& error,
                                          FileReader readFile = ReadTextFile,
                                          const OptionAdder& moreOptions = {});

// The clocks of a clock file (see the help text), with `baseFaults` under each clock's own.
std::optional<std::vector<SimClock>> LoadClockFile(std::string_view text, const Faults& baseFaults,
                                                   std::string& error);

}  // namespace tavlo::clocksim
