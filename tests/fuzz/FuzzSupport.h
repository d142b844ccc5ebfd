// Shared pieces of the fuzz targets: the invariant check, a reader over the fuzzer's bytes,
// and the checks every decoded settings record must pass whatever the clock sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "protocol/ProtocolState.h"

namespace tavlo::fuzz {

// Reports the broken invariant and aborts, so the fuzzer keeps the input.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

// NOLINTNEXTLINE(cppcoreguidelines-macro-usage): the condition's text and place are the report.
#define FUZZ_CHECK(condition)                                    \
    do {                                                         \
        if (!(condition)) {                                      \
            ::tavlo::fuzz::Fail(#condition, __FILE__, __LINE__); \
        }                                                        \
    } while (false)

// Takes the fuzzer's bytes front to back; past the end it yields zeros and empty spans.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}
    bool empty() const { return next_ >= bytes_.size(); }
    std::size_t left() const { return bytes_.size() - next_; }
    std::uint8_t Byte();
    std::uint16_t Word();  // little-endian
    // Up to `count` bytes (fewer at the end).
    std::span<const std::uint8_t> Take(std::size_t count);
    // A length-prefixed piece: one length byte, then up to that many bytes.
    std::span<const std::uint8_t> Piece();
    std::span<const std::uint8_t> Rest() { return Take(left()); }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t next_ = 0;
};

bool IsValidUtf8(std::string_view text);

// Whatever a clock sent: every text read from the record stays within its field, the record
// prints as one line of valid UTF-8 JSON and as text without control characters, and what the
// pages load from it stores back (into a cleared frame) to the same entries.
void CheckSettingsRecord(const protocol::SettingsFrame& frame);
void CheckEarlyRecord(const protocol::CommandFrame& frame);

}  // namespace tavlo::fuzz
