// The subcommands of `tavlo`, one source file each (see Cli.h).
#pragma once

#include "tools/tavlo/Cli.h"

namespace tavlo::cli {

// tavlo search [--wired|--wifi] [--unicast FROM] [--range R]... [--rate N] [--json]
void AddSearchCommand(CLI::App& tavlo, Invocation& invocation);
void AddInterfacesCommand(CLI::App& tavlo, Invocation& invocation);
// tavlo read ADDRESS... --wired|--wifi|--early [--json|--csv] [--passwords] [--parallel N]
void AddReadCommand(CLI::App& tavlo, Invocation& invocation);
// tavlo write [--batch] ADDRESS... --wired|--wifi|--early [--page basic|wifi]
//             [--dry-run [--json]] [--parallel N] FILE|-
void AddWriteCommand(CLI::App& tavlo, Invocation& invocation);
// tavlo backup DIR [--wired|--wifi] [--unicast FROM] [--range R]... [--rate N] [--passwords]
//              [--parallel N]
void AddBackupCommand(CLI::App& tavlo, Invocation& invocation);
// tavlo restore DIR [--wired|--wifi] [--unicast FROM] [--range R]... [--rate N] [--addresses]
//               [--dry-run] [--parallel N]
void AddRestoreCommand(CLI::App& tavlo, Invocation& invocation);
// tavlo firmware ADDRESS [ADDRESS...] FILE [--parallel N] [--mac XX-XX-XX-XX-XX-XX]
void AddFirmwareCommand(CLI::App& tavlo, Invocation& invocation);

}  // namespace tavlo::cli
