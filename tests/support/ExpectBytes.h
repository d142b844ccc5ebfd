// Byte checks for fixed-layout records: the expected bytes at their offsets, and every other
// byte of the buffer still zero (so a writer that strays outside its field is caught).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace tavlo::test {

// Bytes expected from an offset on.
using ByteRun = std::pair<std::size_t, std::vector<std::uint8_t>>;

inline void ExpectOnlyBytes(std::span<const std::uint8_t> buffer,
                            const std::vector<ByteRun>& expected) {
    std::vector<int> want(buffer.size(), 0);
    for (const auto& [offset, bytes] : expected) {
        ASSERT_LE(offset + bytes.size(), buffer.size()) << "expected bytes past the buffer";
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            want[offset + i] = bytes[i];
        }
    }
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], want[i]) << "byte " << i;
    }
}

inline void ExpectOnlyBytes(std::span<const std::uint8_t> buffer, std::size_t offset,
                            const std::vector<std::uint8_t>& expected) {
    ExpectOnlyBytes(buffer, std::vector<ByteRun>{{offset, expected}});
}

}  // namespace tavlo::test
