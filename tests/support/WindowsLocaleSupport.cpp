#include <stdlib.h>

#include "tests/support/LocaleSupport.h"

namespace tavlo::test {

void SetEnvironment(const char* name, const std::optional<std::string>& value) {
    // An empty value removes the variable.
    ::_putenv_s(name, value ? value->c_str() : "");
}

std::filesystem::path BuildLocale(const char*) {
    return {};  // the system's locales are all there is
}

}  // namespace tavlo::test
