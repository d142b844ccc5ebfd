// What DecimalCommaLocale needs of the system, one implementation per system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavlo::test {

// Sets an environment variable, or removes it (nullopt).
void SetEnvironment(const char* name, const std::optional<std::string>& value);

// Builds the German UTF-8 locale `name` into a new temporary folder, for LOCPATH; the folder,
// or an empty path where the system builds no locales.
std::filesystem::path BuildLocale(const char* name);

}  // namespace tavlo::test
