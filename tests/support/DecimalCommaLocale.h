// Switches the process's LC_NUMERIC to a locale that writes a decimal comma, for checking that
// texts with fixed formats do not follow the process locale (the window's toolkit switches the
// C locale to the user's). Takes an installed German or French locale, or else builds a German
// one (where the system can) into a temporary folder. Restores everything when it goes away.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/LocaleSupport.h"

namespace tavlo::test {

class DecimalCommaLocale {
  public:
    DecimalCommaLocale() {
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        saved_ = previous != nullptr ? previous : "C";
        if (const char* path = std::getenv(kLocPath)) {
            savedLocPath_ = path;
        }
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                 "German_Germany.1252", "French_France.1252"}) {
            if (TrySwitch(name)) {
                return;
            }
        }
        BuildAndSwitch();
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_NUMERIC, saved_.c_str());
        SetEnvironment(kLocPath, savedLocPath_);
        if (!builtDir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(builtDir_, ignored);
        }
    }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    // True when printf now writes a decimal comma.
    bool active() const { return active_; }

  private:
    static constexpr const char* kLocPath = "LOCPATH";
    static constexpr const char* kBuiltName = "de_DE.UTF-8";

    bool TrySwitch(const char* name) {
        if (std::setlocale(LC_NUMERIC, name) == nullptr) {
            return false;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        active_ = std::string(text) == "1,5";
        if (!active_) {
            std::setlocale(LC_NUMERIC, saved_.c_str());
        }
        return active_;
    }

    void BuildAndSwitch() {
        builtDir_ = BuildLocale(kBuiltName);
        if (builtDir_.empty()) {
            return;
        }
        SetEnvironment(kLocPath, builtDir_.string());
        TrySwitch(kBuiltName);
    }

    std::string saved_;
    std::optional<std::string> savedLocPath_;
    std::filesystem::path builtDir_;
    bool active_ = false;
};

}  // namespace tavlo::test
