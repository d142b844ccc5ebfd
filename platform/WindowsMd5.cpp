// MD5 from the system's cryptography (CNG, bcrypt.dll).
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <limits>

#include "platform/Md5.h"

namespace tavlo::platform {

// CNG gives MD5 on every Windows; should it ever fail, the digest is all zeros, which no
// password file holds for a password (the login then refuses).
Md5Digest Md5(std::span<const std::uint8_t> data) {
    Md5Digest digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
        return digest;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    for (std::size_t done = 0; ok && done < data.size();) {
        const auto part = static_cast<ULONG>(
            std::min<std::size_t>(data.size() - done, std::numeric_limits<ULONG>::max()));
        // The API takes a non-const pointer but only reads the message.
        ok =
            BCRYPT_SUCCESS(::BCryptHashData(hash, const_cast<PUCHAR>(data.data() + done), part, 0));
        done += part;
    }
    Md5Digest result{};
    ok = ok && BCRYPT_SUCCESS(::BCryptFinishHash(hash, result.data(), result.size(), 0));
    if (hash != nullptr) {
        ::BCryptDestroyHash(hash);
    }
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok ? result : digest;
}

}  // namespace tavlo::platform
