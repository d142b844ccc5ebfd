#include "login/PasswordFile.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <vector>

namespace tavlo::login {
namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool isDefaultPassword(PasswordBytes password) {
    return std::ranges::equal(password, asBytes(kDefaultPassword));
}

enum class FileState { kAbsent, kPresent };

// A path whose state cannot be determined (for example a folder without search right)
// counts as present, so the default password never opens a door it should not.
FileState fileState(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        return FileState::kAbsent;
    }
    return FileState::kPresent;
}

// Reads the stored digest; nothing when the stream holds fewer than 16 bytes.
std::optional<Md5Digest> readDigest(std::istream& in) {
    Md5Digest stored{};
    in.read(reinterpret_cast<char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
    if (in.gcount() != static_cast<std::streamsize>(stored.size())) {
        return std::nullopt;
    }
    return stored;
}

bool writeDigest(std::ostream& out, const Md5Digest& digest) {
    out.seekp(0);
    out.write(reinterpret_cast<const char*>(digest.data()),
              static_cast<std::streamsize>(digest.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

Md5Digest md5(std::span<const std::uint8_t> data) {
    return platform::Md5(data);
}

Md5Digest passwordDigest(PasswordBytes password) {
    std::vector<std::uint8_t> message(password.begin(), password.end());
    const auto salt = asBytes(kPasswordSalt);
    message.insert(message.end(), salt.begin(), salt.end());
    return md5(message);
}

std::optional<fs::path> passwordFilePath(const platform::EnvironmentLookup& environment) {
    const auto folder = platform::UserConfigFolder(environment);
    if (!folder) {
        return std::nullopt;
    }
    return *folder / kPasswordFolderName / kPasswordFileName;
}

LoginResult checkLogin(const std::optional<fs::path>& file, PasswordBytes password) {
    if (!file || fileState(*file) == FileState::kAbsent) {
        return isDefaultPassword(password) ? LoginResult::kAccepted : LoginResult::kRejected;
    }
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
        return LoginResult::kRejected;
    }
    const auto stored = readDigest(in);
    if (!stored || *stored != passwordDigest(password)) {
        return LoginResult::kRejected;
    }
    return LoginResult::kAccepted;
}

ChangeResult changePassword(const std::optional<fs::path>& file, PasswordBytes oldPassword,
                            PasswordBytes newPassword, PasswordBytes newPasswordAgain) {
    if (oldPassword.empty()) {
        return ChangeResult::kOldPasswordEmpty;
    }
    const bool present = file && fileState(*file) == FileState::kPresent;
    if (present) {
        std::fstream existing(*file, std::ios::in | std::ios::out | std::ios::binary);
        if (!existing) {
            return ChangeResult::kNoRight;
        }
        const auto stored = readDigest(existing);
        if (!stored || *stored != passwordDigest(oldPassword)) {
            return ChangeResult::kOldPasswordWrong;
        }
    } else if (!isDefaultPassword(oldPassword)) {
        return ChangeResult::kOldPasswordWrong;
    }

    if (!std::ranges::equal(newPassword, newPasswordAgain)) {
        return ChangeResult::kNewPasswordsDiffer;
    }
    if (!file) {
        return ChangeResult::kNoRight;  // nowhere to keep the new password
    }
    const Md5Digest digest = passwordDigest(newPassword);

    if (present) {
        // Only the first 16 bytes are replaced; anything after them stays as it was.
        std::fstream out(*file, std::ios::in | std::ios::out | std::ios::binary);
        return out && writeDigest(out, digest) ? ChangeResult::kChanged : ChangeResult::kNoRight;
    }
    std::error_code error;
    fs::create_directories(file->parent_path(), error);
    if (error) {
        return ChangeResult::kNoRight;
    }
    std::ofstream out(*file, std::ios::out | std::ios::binary);
    if (!out) {
        return ChangeResult::kNoRight;
    }
    // The digest is readable by its owner only.
    fs::permissions(*file, fs::perms::owner_read | fs::perms::owner_write, error);
    return writeDigest(out, digest) ? ChangeResult::kChanged : ChangeResult::kNoRight;
}

}  // namespace tavlo::login
