// What the password file suites share: bytes of a text and a fixture with a folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "login/PasswordFile.h"

namespace tavlo::login::test {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

class PasswordFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("tavlo-pw-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        file_ = root_ / "TavloAdmin" / "ORX.dat";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(root_, fs::perms::owner_all, ignored);
        fs::permissions(root_ / "TavloAdmin", fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }
    void writeFile(const std::vector<std::uint8_t>& content) {
        fs::create_directories(file_.parent_path());
        std::ofstream out(file_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(content.data()),
                  static_cast<std::streamsize>(content.size()));
    }
    std::vector<std::uint8_t> readFile() const {
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    ChangeResult change(std::string_view oldPw, std::string_view newPw) {
        return changePassword(file_, bytes(oldPw), bytes(newPw), bytes(newPw));
    }
    LoginResult login(std::string_view pw) { return checkLogin(file_, bytes(pw)); }

    fs::path root_;
    fs::path file_;
};

}  // namespace tavlo::login::test
