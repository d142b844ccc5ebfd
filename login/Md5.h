// MD5 message digest (RFC 1321), used for the login password file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavlo::login {

inline constexpr std::size_t kMd5DigestSize = 16;
using Md5Digest = std::array<std::uint8_t, kMd5DigestSize>;

// Incremental MD5: feed any number of pieces, then take the digest once.
class Md5 {
  public:
    Md5();
    void update(std::span<const std::uint8_t> data);
    // Pads, finishes and returns the digest. The object must not be updated afterwards.
    Md5Digest finish();

  private:
    static constexpr std::size_t kBlockSize = 64;
    void transform(const std::uint8_t* block);

    std::array<std::uint32_t, 4> state_;
    std::array<std::uint8_t, kBlockSize> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};

// Digest of one message.
Md5Digest md5(std::span<const std::uint8_t> data);

}  // namespace tavlo::login
