// The password file where POSIX rules apply: the folder from XDG_CONFIG_HOME or HOME, the
// file's permissions, and folders and files the user may not write (checked without root's
// rights).
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "login/PasswordFile.h"
#include "tests/login/PasswordFileFixture.h"

namespace tavlo::login::test {
namespace {

TEST(PasswordFilePathTest, ConfigHomeThenHome) {
    std::map<std::string, std::string> env;
    const platform::EnvironmentLookup lookup =
        [&env](const char* name) -> std::optional<std::string> {
        auto it = env.find(name);
        if (it == env.end()) {
            return std::nullopt;
        }
        return it->second;
    };
    EXPECT_FALSE(passwordFilePath(lookup).has_value());
    env["HOME"] = "/home/op";
    EXPECT_EQ(passwordFilePath(lookup), fs::path("/home/op/.config/TavloAdmin/ORX.dat"));
    env["XDG_CONFIG_HOME"] = "";
    EXPECT_EQ(passwordFilePath(lookup), fs::path("/home/op/.config/TavloAdmin/ORX.dat"));
    env["XDG_CONFIG_HOME"] = "relative/dir";  // not absolute: ignored
    EXPECT_EQ(passwordFilePath(lookup), fs::path("/home/op/.config/TavloAdmin/ORX.dat"));
    env["XDG_CONFIG_HOME"] = "/srv/cfg";
    EXPECT_EQ(passwordFilePath(lookup), fs::path("/srv/cfg/TavloAdmin/ORX.dat"));
}

TEST_F(PasswordFileTest, TheChangedFileIsTheOwnersAlone) {
    ASSERT_EQ(change("XKVnoctilume", "clock-room-7"), ChangeResult::kChanged);
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::others_read, fs::perms::none);
}

// File permissions do not bind root, so as root the check runs in a child process that has
// given up its rights (uid/gid 65534); as another user it runs in place.
constexpr uid_t kUnprivilegedId = 65534;

int runUnprivileged(const std::function<int()>& body) {
    if (::geteuid() != 0) {
        return body();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
            ::setuid(kUnprivilegedId) != 0) {
            ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr auto kReadAndSearch = fs::perms::owner_all | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec;

TEST_F(PasswordFileTest, UnwritableFolderGivesNoRight) {
    fs::permissions(
        root_, ::geteuid() == 0 ? kReadAndSearch : fs::perms::owner_read | fs::perms::owner_exec);
    const int result =
        runUnprivileged([this] { return static_cast<int>(change("XKVnoctilume", "new")); });
    EXPECT_EQ(result, static_cast<int>(ChangeResult::kNoRight));
    EXPECT_FALSE(fs::exists(file_.parent_path()));
}

TEST_F(PasswordFileTest, ReadOnlyFileIsLeftUntouched) {
    const auto digest = passwordDigest(bytes("pw"));
    writeFile({digest.begin(), digest.end()});
    fs::permissions(root_, kReadAndSearch);
    fs::permissions(file_.parent_path(), kReadAndSearch);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const int changeResult =
        runUnprivileged([this] { return static_cast<int>(change("pw", "new")); });
    EXPECT_EQ(changeResult, static_cast<int>(ChangeResult::kNoRight));
    EXPECT_EQ(readFile(), std::vector<std::uint8_t>(digest.begin(), digest.end()));
    // Reading alone still works.
    const int loginResult = runUnprivileged([this] { return static_cast<int>(login("pw")); });
    EXPECT_EQ(loginResult, static_cast<int>(LoginResult::kAccepted));
}

// A folder that cannot be searched hides whether the file exists: no login with the default.
TEST_F(PasswordFileTest, UnsearchableFolderRefusesTheDefault) {
    fs::create_directories(file_.parent_path());
    fs::permissions(root_, kReadAndSearch);
    fs::permissions(file_.parent_path(), fs::perms::owner_all);
    const int result = runUnprivileged([this] { return static_cast<int>(login("XKVnoctilume")); });
    EXPECT_EQ(result, static_cast<int>(LoginResult::kRejected));
}

}  // namespace
}  // namespace tavlo::login::test
