// Shared pieces of the fuzz targets: the invariant check, a reader over the fuzzer's bytes,
// and the checks every decoded settings record must pass whatever the clock sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/Exchanges.h"
#include "protocol/ProtocolState.h"
#include "tests/support/FakeNetwork.h"

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

// Always the same nonce (its low byte must not be zero).
class FixedNonce final : public protocol::NonceSource {
  public:
    explicit FixedNonce(std::uint32_t nonce) : nonce_(nonce) {}
    std::uint32_t nextNonce() override { return nonce_; }

  private:
    std::uint32_t nonce_;
};

// The PC at 198.18.0.1 and one clock at 198.18.0.10 on the fake network; the clock answers
// every request with `replies`, in order, 1 ms after it. `state` holds a read request.
struct FakeClockLine {
    explicit FakeClockLine(std::vector<std::vector<std::uint8_t>> replies);
    FakeClockLine(const FakeClockLine&) = delete;
    FakeClockLine& operator=(const FakeClockLine&) = delete;

    const platform::Ipv4 pc;
    const platform::Ipv4 clock;
    test::FakeNetwork net;
    protocol::ProtocolState state;
    FixedNonce nonce;
    protocol::ClockExchanges exchanges;
};

// Whatever a clock sent: every text read from the record stays within its field, the record
// prints as one line of valid UTF-8 JSON and as text without control characters, and what the
// pages load from it stores back (into a cleared frame) to the same entries.
void CheckSettingsRecord(const protocol::SettingsFrame& frame);
void CheckEarlyRecord(const protocol::CommandFrame& frame);

}  // namespace tavlo::fuzz
