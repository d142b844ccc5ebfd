// The password file on every system: the digest, logins and changes in a folder of the test's
// own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "login/PasswordFile.h"
#include "tests/login/PasswordFileFixture.h"

namespace tavlo::login::test {
namespace {

std::string hex(const Md5Digest& digest) {
    std::string out;
    char two[3];
    for (auto b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Test, RfcVectors) {
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890"
         "123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [message, digest] : vectors) {
        EXPECT_EQ(hex(md5(bytes(message))), digest) << '"' << message << '"';
    }
}

TEST(PasswordDigestTest, SaltFollowsThePassword) {
    EXPECT_EQ(passwordDigest(bytes("abc")), md5(bytes("abcqendrivasto")));
    // The empty password is the digest of the salt alone.
    EXPECT_EQ(passwordDigest({}), md5(bytes("qendrivasto")));
}

TEST_F(PasswordFileTest, DefaultPasswordWhileNoFile) {
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kAccepted);
    for (auto wrong : {"XKVnoctilume ", "XKVnoctilumeX", "xkvnoctilume", "XKVnoctilum", ""}) {
        EXPECT_EQ(login(wrong), LoginResult::kRejected) << wrong;
    }
    EXPECT_FALSE(fs::exists(file_.parent_path()));  // checking never creates anything
}

TEST_F(PasswordFileTest, ChangeCreatesSixteenByteFileAndRetiresDefault) {
    ASSERT_EQ(change("XKVnoctilume", "clock-room-7"), ChangeResult::kChanged);
    const auto digest = passwordDigest(bytes("clock-room-7"));
    EXPECT_EQ(readFile(), std::vector<std::uint8_t>(digest.begin(), digest.end()));
    EXPECT_EQ(login("clock-room-7"), LoginResult::kAccepted);
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kRejected);
    EXPECT_EQ(change("XKVnoctilume", "x"), ChangeResult::kOldPasswordWrong);
}

TEST_F(PasswordFileTest, EmptyNewPasswordLogsInEmpty) {
    ASSERT_EQ(change("XKVnoctilume", ""), ChangeResult::kChanged);
    EXPECT_EQ(login(""), LoginResult::kAccepted);
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kRejected);
    // ...but an empty old password is refused before anything else.
    EXPECT_EQ(change("", "y"), ChangeResult::kOldPasswordEmpty);
}

// A password file as the tool writes it for "clock-room-7": its 16 bytes, fixed here.
TEST_F(PasswordFileTest, StoredFileOfAKnownPassword) {
    writeFile({0xa8, 0x90, 0xde, 0xf5, 0xa0, 0x92, 0xca, 0x1a, 0xea, 0x69, 0xef, 0x8e, 0x94, 0x5a,
               0x6b, 0x26});
    EXPECT_EQ(login("clock-room-7"), LoginResult::kAccepted);
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kRejected);
}

TEST_F(PasswordFileTest, TwentyCharacterPassword) {
    const std::string twenty = "ABCDEFGHIJ0123456789";
    ASSERT_EQ(change("XKVnoctilume", twenty), ChangeResult::kChanged);
    EXPECT_EQ(login(twenty), LoginResult::kAccepted);
    EXPECT_EQ(login(twenty.substr(0, 19)), LoginResult::kRejected);
}

TEST_F(PasswordFileTest, MismatchedNewPasswordsChangeNothing) {
    EXPECT_EQ(changePassword(file_, bytes("XKVnoctilume"), bytes("one"), bytes("two")),
              ChangeResult::kNewPasswordsDiffer);
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kAccepted);
}

TEST_F(PasswordFileTest, ShortFileRefusesEverything) {
    const auto digest = passwordDigest(bytes("pw"));
    writeFile(std::vector<std::uint8_t>(digest.begin(), digest.begin() + 15));
    for (auto pw : {"pw", "XKVnoctilume", ""}) {
        EXPECT_EQ(login(pw), LoginResult::kRejected) << pw;
        EXPECT_EQ(change(pw, "new"),
                  pw[0] ? ChangeResult::kOldPasswordWrong : ChangeResult::kOldPasswordEmpty);
    }
    EXPECT_EQ(readFile().size(), 15u);
    writeFile({});
    EXPECT_EQ(login(""), LoginResult::kRejected);
}

TEST_F(PasswordFileTest, LongerFileUsesAndReplacesOnlyFirstSixteenBytes) {
    const auto digest = passwordDigest(bytes("pw"));
    std::vector<std::uint8_t> content(digest.begin(), digest.end());
    const std::vector<std::uint8_t> tail = {1, 2, 3, 4, 5, 0, 0xFF};
    content.insert(content.end(), tail.begin(), tail.end());
    writeFile(content);
    EXPECT_EQ(login("pw"), LoginResult::kAccepted);
    ASSERT_EQ(change("pw", "next"), ChangeResult::kChanged);
    const auto after = readFile();
    const auto next = passwordDigest(bytes("next"));
    ASSERT_EQ(after.size(), 16u + tail.size());
    EXPECT_TRUE(std::equal(next.begin(), next.end(), after.begin()));
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), after.begin() + 16));
    EXPECT_EQ(login("next"), LoginResult::kAccepted);
}

// A folder in the way of the file (as root too): the change is refused, nothing is made.
TEST_F(PasswordFileTest, ParentIsAFileGivesNoRight) {
    std::ofstream(root_ / "TavloAdmin") << "not a folder";
    EXPECT_EQ(change("XKVnoctilume", "new"), ChangeResult::kNoRight);
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kAccepted);
}

// A folder where the file should be: present, unreadable as a digest.
TEST_F(PasswordFileTest, DirectoryInPlaceOfFile) {
    fs::create_directories(file_);
    EXPECT_EQ(login("XKVnoctilume"), LoginResult::kRejected);
    EXPECT_EQ(change("XKVnoctilume", "new"), ChangeResult::kNoRight);
}

// No folder for the file at all (no HOME): the default still logs in, and a change gives the
// same answers as with a missing file until the moment it would be written.
TEST(PasswordWithoutFolderTest, DefaultAppliesAndChangesCannotBeKept) {
    const std::optional<fs::path> none;
    EXPECT_EQ(checkLogin(none, bytes("XKVnoctilume")), LoginResult::kAccepted);
    EXPECT_EQ(checkLogin(none, bytes("other")), LoginResult::kRejected);
    const auto change = [&](std::string_view oldPw, std::string_view a, std::string_view b) {
        return changePassword(none, bytes(oldPw), bytes(a), bytes(b));
    };
    EXPECT_EQ(change("", "n", "n"), ChangeResult::kOldPasswordEmpty);
    EXPECT_EQ(change("wrong", "n", "n"), ChangeResult::kOldPasswordWrong);
    EXPECT_EQ(change("XKVnoctilume", "n", "m"), ChangeResult::kNewPasswordsDiffer);
    EXPECT_EQ(change("XKVnoctilume", "n", "n"), ChangeResult::kNoRight);
}

}  // namespace
}  // namespace tavlo::login::test
