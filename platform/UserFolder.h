// The user's own folder for program state (the login password file lives below it), and the
// process environment it is found through.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tavlo::platform {

// Reads an environment variable (UTF-8); returns nothing when unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> ProcessEnvironment(const char* name);

// The folder under which a program keeps its per-user state: $XDG_CONFIG_HOME, or
// $HOME/.config when XDG_CONFIG_HOME is unset, empty or not absolute (POSIX systems);
// %APPDATA% (Windows). Nothing when the environment names no absolute folder.
std::optional<std::filesystem::path> UserConfigFolder(const EnvironmentLookup& environment);

}  // namespace tavlo::platform
