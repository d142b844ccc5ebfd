// The login password file: whatever the file holds, a login is accepted exactly when its first
// 16 bytes are the digest of the password, and a password change replaces those 16 bytes and
// nothing else (or, refused, leaves the file as it was).
//
// Input: a mode byte (bit 0: the file starts with the digest of the password given; bit 1: no
// file at all), then length-prefixed old and new passwords, then the rest of the file.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "login/PasswordFile.h"
#include "tests/fuzz/FuzzSupport.h"

namespace tavlo::fuzz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kStartsWithDigest = 0x01;
constexpr std::uint8_t kNoFile = 0x02;

// One file in a folder of this process's own, made on first use.
const fs::path& FilePath() {
    static const fs::path path = [] {
        std::string folder = (fs::temp_directory_path() / "tavlo-fuzz-password-XXXXXX").string();
        FUZZ_CHECK(::mkdtemp(folder.data()) != nullptr);
        return fs::path(folder) / "ORX.dat";
    }();
    return path;
}

void WriteFile(const Bytes& content) {
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
    FUZZ_CHECK(static_cast<bool>(out));
}

Bytes ReadFile() {
    std::ifstream in(FilePath(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StartsWithDigestOf(const Bytes& content, login::PasswordBytes password) {
    const auto digest = login::passwordDigest(password);
    return content.size() >= digest.size() &&
           std::equal(digest.begin(), digest.end(), content.begin());
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    using namespace tavlo::fuzz;
    Input in(data, size);
    const std::uint8_t mode = in.Byte();
    const auto oldPassword = in.Piece();
    const auto newPassword = in.Piece();
    Bytes content;
    if ((mode & kStartsWithDigest) != 0) {
        const auto digest = login::passwordDigest(oldPassword);
        content.assign(digest.begin(), digest.end());
    }
    const auto rest = in.Rest();
    content.insert(content.end(), rest.begin(), rest.end());

    const bool noFile = (mode & kNoFile) != 0;
    std::error_code ignored;
    fs::remove(FilePath(), ignored);
    if (!noFile) {
        WriteFile(content);
    }
    const std::optional<fs::path> file = FilePath();

    const bool known = noFile ? std::ranges::equal(oldPassword, login::kDefaultPassword)
                              : StartsWithDigestOf(content, oldPassword);
    FUZZ_CHECK((login::checkLogin(file, oldPassword) == login::LoginResult::kAccepted) == known);

    const login::ChangeResult changed =
        login::changePassword(file, oldPassword, newPassword, newPassword);
    if (oldPassword.empty()) {
        FUZZ_CHECK(changed == login::ChangeResult::kOldPasswordEmpty);
    } else if (!known) {
        FUZZ_CHECK(changed == login::ChangeResult::kOldPasswordWrong);
    } else {
        FUZZ_CHECK(changed == login::ChangeResult::kChanged);
    }
    const Bytes after = ReadFile();
    if (changed == login::ChangeResult::kChanged) {
        // The new digest, and whatever followed the old one kept as it was.
        FUZZ_CHECK(StartsWithDigestOf(after, newPassword));
        const std::size_t digestSize = login::passwordDigest({}).size();
        if (!noFile) {
            FUZZ_CHECK(after.size() == content.size());
            FUZZ_CHECK(std::equal(content.begin() + digestSize, content.end(),
                                  after.begin() + digestSize));
        } else {
            FUZZ_CHECK(after.size() == digestSize);
        }
        FUZZ_CHECK(login::checkLogin(file, newPassword) == login::LoginResult::kAccepted);
    } else {
        FUZZ_CHECK(after == (noFile ? Bytes{} : content));
    }
    return 0;
}
