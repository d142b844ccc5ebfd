// The subcommands of `tavlo`, one source file each.
#pragma once

#include <span>
#include <string_view>

#include "tools/tavlo/Cli.h"

namespace tavlo::cli {

// tavlo search [--wired|--wifi] [--unicast FROM] [--json]
int RunSearchCommand(std::span<const std::string_view> args, Io& io);
// tavlo read ADDRESS --wired|--wifi|--early [--json] [--passwords]
int RunReadCommand(std::span<const std::string_view> args, Io& io);
// tavlo firmware ADDRESS FILE [--mac XX-XX-XX-XX-XX-XX]
int RunFirmwareCommand(std::span<const std::string_view> args, Io& io);

}  // namespace tavlo::cli
