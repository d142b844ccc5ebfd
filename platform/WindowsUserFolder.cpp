#include <windows.h>

#include "platform/UserFolder.h"
#include "platform/WindowsText.h"

namespace tavlo::platform {
namespace {

constexpr const char* kAppDataVariable = "APPDATA";

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
    const std::wstring wideName = Utf8ToWide(name);
    const DWORD needed = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) {
        return std::nullopt;
    }
    std::wstring value(needed, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
    if (length >= needed) {
        return std::nullopt;  // changed meanwhile
    }
    value.resize(length);
    return WideToUtf8(value);
}

std::optional<std::filesystem::path> UserConfigFolder(const EnvironmentLookup& environment) {
    const auto appData = environment(kAppDataVariable);
    if (!appData || appData->empty()) {
        return std::nullopt;
    }
    std::filesystem::path folder(Utf8ToWide(*appData));
    if (!folder.is_absolute()) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace tavlo::platform
