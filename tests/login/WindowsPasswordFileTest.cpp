// The password file's folder on Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "login/PasswordFile.h"

namespace tavlo::login {
namespace {

TEST(PasswordFilePathTest, AppDataOnly) {
    std::map<std::string, std::string> env{{"HOME", "C:\\Users\\op"}};
    const platform::EnvironmentLookup lookup =
        [&env](const char* name) -> std::optional<std::string> {
        const auto it = env.find(name);
        return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    EXPECT_FALSE(passwordFilePath(lookup).has_value());
    env["APPDATA"] = "relative\\dir";  // not absolute: ignored
    EXPECT_FALSE(passwordFilePath(lookup).has_value());
    env["APPDATA"] = "C:\\Users\\op\\AppData\\Roaming";
    EXPECT_EQ(passwordFilePath(lookup),
              std::filesystem::path("C:\\Users\\op\\AppData\\Roaming\\TavloAdmin\\ORX.dat"));
}

}  // namespace
}  // namespace tavlo::login
