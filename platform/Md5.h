// MD5 (RFC 1321) of one message: the login password file's digest. It comes from the system's
// own cryptography on Windows and from nettle elsewhere (its own library, tavlo_md5, so that
// only what needs it links nettle).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavlo::platform {

inline constexpr std::size_t kMd5DigestSize = 16;
using Md5Digest = std::array<std::uint8_t, kMd5DigestSize>;

Md5Digest Md5(std::span<const std::uint8_t> data);

}  // namespace tavlo::platform
