#include "login/Md5.h"

#include <algorithm>
#include <bit>

namespace tavlo::login {
namespace {

constexpr std::array<std::uint32_t, 4> kInitialState = {0x67452301u, 0xefcdab89u, 0x98badcfeu,
                                                        0x10325476u};

// Per-step shift amounts, four per round.
constexpr std::array<int, 16> kShift = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

// T[i] = floor(2^32 * |sin(i + 1)|).
constexpr std::array<std::uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr std::size_t kLengthFieldSize = 8;
constexpr std::uint8_t kPadMarker = 0x80;

std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void writeLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace

Md5::Md5() : state_(kInitialState) {}

void Md5::transform(const std::uint8_t* block) {
    std::array<std::uint32_t, 16> x{};
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = readLe32(block + 4 * i);
    }
    std::uint32_t a = state_[0];
    std::uint32_t b = state_[1];
    std::uint32_t c = state_[2];
    std::uint32_t d = state_[3];
    for (std::size_t i = 0; i < 64; ++i) {
        std::uint32_t f = 0;
        std::size_t g = 0;
        const std::size_t round = i / 16;
        if (round == 0) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (round == 1) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (round == 2) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const std::uint32_t sum = a + f + kSine[i] + x[g];
        a = d;
        d = c;
        c = b;
        b = b + std::rotl(sum, kShift[round * 4 + i % 4]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::update(std::span<const std::uint8_t> data) {
    totalBytes_ += data.size();
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::size_t take = std::min(kBlockSize - buffered_, data.size() - pos);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(pos), take,
                    buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_));
        buffered_ += take;
        pos += take;
        if (buffered_ == kBlockSize) {
            transform(buffer_.data());
            buffered_ = 0;
        }
    }
}

Md5Digest Md5::finish() {
    const std::uint64_t bitLength = totalBytes_ * 8;
    std::array<std::uint8_t, kBlockSize + kLengthFieldSize> pad{};
    pad[0] = kPadMarker;
    const std::size_t used = buffered_ + 1;
    const std::size_t room = kBlockSize - kLengthFieldSize;
    const std::size_t padLength = used <= room ? room - buffered_ : kBlockSize + room - buffered_;
    update(std::span(pad.data(), padLength));
    std::array<std::uint8_t, kLengthFieldSize> length{};
    for (std::size_t i = 0; i < kLengthFieldSize; ++i) {
        length[i] = static_cast<std::uint8_t>(bitLength >> (8 * i));
    }
    update(length);
    Md5Digest digest{};
    for (std::size_t i = 0; i < state_.size(); ++i) {
        writeLe32(digest.data() + 4 * i, state_[i]);
    }
    return digest;
}

Md5Digest md5(std::span<const std::uint8_t> data) {
    Md5 hasher;
    hasher.update(data);
    return hasher.finish();
}

}  // namespace tavlo::login
