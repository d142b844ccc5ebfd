#include <stdlib.h>

#include "tests/support/LocaleSupport.h"

namespace tavlo::test {

void SetEnvironment(const char* name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

std::filesystem::path BuildLocale(const char* name) {
    char pattern[] = "/tmp/tavlo-locale-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return {};
    }
    const std::filesystem::path folder = pattern;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + folder.string() + "/" + name + "' >/dev/null 2>&1";
    // localedef may warn and still build the locale; only the result counts.
    static_cast<void>(std::system(command.c_str()));
    return folder;
}

}  // namespace tavlo::test
