#include <cstdlib>
#include <string_view>

#include "platform/UserFolder.h"

namespace tavlo::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kConfigHomeVariable = "XDG_CONFIG_HOME";
constexpr const char* kHomeVariable = "HOME";
constexpr std::string_view kDefaultConfigFolder = ".config";

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read-only use
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<fs::path> UserConfigFolder(const EnvironmentLookup& environment) {
    const auto configHome = environment(kConfigHomeVariable);
    if (configHome && !configHome->empty() && fs::path(*configHome).is_absolute()) {
        return fs::path(*configHome);
    }
    const auto home = environment(kHomeVariable);
    if (!home || home->empty()) {
        return std::nullopt;
    }
    return fs::path(*home) / kDefaultConfigFolder;
}

}  // namespace tavlo::platform
