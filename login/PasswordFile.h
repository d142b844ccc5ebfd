// The tool's login password, kept only as an MD5 digest in a 16-byte file in the user's
// configuration folder. While the file does not exist the built-in default password applies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Md5.h"
#include "platform/UserFolder.h"

namespace tavlo::login {

inline constexpr std::string_view kPasswordSalt = "qendrivasto";
inline constexpr std::string_view kDefaultPassword = "XKVnoctilume";
// The folder of the password file under the user's configuration folder. It spells the
// program's name but is its own constant: renaming the program must not move users' files.
inline constexpr std::string_view kPasswordFolderName = "TavloAdmin";
inline constexpr std::string_view kPasswordFileName = "ORX.dat";

// Password bytes (the entered text in code page 936, no terminator).
using PasswordBytes = std::span<const std::uint8_t>;

inline constexpr std::size_t kMd5DigestSize = platform::kMd5DigestSize;
using Md5Digest = platform::Md5Digest;

// MD5 (RFC 1321) of one message.
Md5Digest md5(std::span<const std::uint8_t> data);

// MD5 of the password bytes immediately followed by the salt: the file's content.
Md5Digest passwordDigest(PasswordBytes password);

// TavloAdmin/ORX.dat in the user's configuration folder (platform::UserConfigFolder): for
// example $XDG_CONFIG_HOME/TavloAdmin/ORX.dat or %APPDATA%\TavloAdmin\ORX.dat. Nothing when
// the environment gives no such folder.
std::optional<std::filesystem::path> passwordFilePath(
    const platform::EnvironmentLookup& environment);

enum class LoginResult {
    kAccepted,
    kRejected,  // wrong password, or the file is unreadable or shorter than 16 bytes
};

enum class ChangeResult {
    kChanged,
    kOldPasswordEmpty,
    kOldPasswordWrong,
    kNewPasswordsDiffer,
    kNoRight,  // the file (or its folder) cannot be created, opened or written
};

// Checks a login password against the file at `file`, or against the default password
// while that file does not exist (or no folder for it could be found: no `file`).
LoginResult checkLogin(const std::optional<std::filesystem::path>& file, PasswordBytes password);

// Replaces the password: checks the old one, then writes the digest of the new one into the
// first 16 bytes of the file (creating the folder and the file when needed). An existing
// file that cannot be opened for reading and writing is left untouched (kNoRight). Without a
// `file` the old password is checked against the default and the change ends in kNoRight.
ChangeResult changePassword(const std::optional<std::filesystem::path>& file,
                            PasswordBytes oldPassword, PasswordBytes newPassword,
                            PasswordBytes newPasswordAgain);

}  // namespace tavlo::login
