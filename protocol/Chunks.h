// Cutting the SettingsFrame into scrambled FrameChunk datagrams and putting a received frame
// together again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Network.h"
#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"

namespace tavlo::protocol {

// Where chunk nonces come from. The application uses one ClockNonceSource; tests inject
// chosen nonces.
class NonceSource {
  public:
    virtual ~NonceSource() = default;
    // A nonce of 0 to 32767 whose low byte is not zero.
    virtual std::uint32_t nextNonce() = 0;
};

// Seeds the run-time library's generator with the time in seconds plus the tick count and
// draws one value, drawing again while its low byte (chunk byte 101) is zero: a zero there
// would empty the nonce text and the chunk would carry no data. Keeps no state between
// calls, so one instance may serve every thread.
class ClockNonceSource final : public NonceSource {
  public:
    explicit ClockNonceSource(platform::Network& network) : network_(network) {}
    std::uint32_t nextNonce() override;

    // The draw itself, for a given seed.
    static std::uint32_t nonceForSeed(std::uint32_t seed);

  private:
    platform::Network& network_;
};

// Keyed XOR pass: for each key byte in turn, destination[j] = source[j] ^ key byte for j below
// `length`. Passes do not accumulate unless destination and source are the same bytes; an
// empty key leaves the destination untouched. `length` is cut to both spans.
void XorPass(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source,
             std::uint16_t length, std::span<const std::uint8_t> key);

// The chunk's nonce text: the bytes from 101 up to the first zero, at most 4.
std::span<const std::uint8_t> NonceText(const FrameChunk& chunk);

// Draws a nonce into bytes 101..104 and fills the data field from the chunk's length byte
// (at most 100) bytes of `source`: data[j] = source[j] ^ N ^ K, N the last nonce text byte and
// K the last key character. Number and length must already be set.
void ScrambleChunk(FrameChunk& chunk, std::span<const std::uint8_t> source, NonceSource& nonces);

// Writes the chunk's plain bytes (length byte, at most 100, cut to the destination's size) to
// `destination`; returns how many were written (0 when the nonce text is empty).
std::size_t UnscrambleChunk(std::span<std::uint8_t> destination, const FrameChunk& chunk);

// Clears `chunk`, writes the magic into the SettingsFrame and builds its next chunk by the
// frame type. Returns how many chunks are still to come after this one (7 down to 1), or 0
// for the last or only chunk (an unknown type gives an all-zero chunk and 0).
std::uint8_t BuildNextChunk(ProtocolState& state, FrameChunk& chunk, NonceSource& nonces);

enum class ChunkVerdict {
    kTaken,       // placed into the SettingsFrame; more chunks of the frame are to come
    kFrameEnded,  // placed, and the frame is whole: a one-chunk frame (chunk 1 shorter than
                  // 100 bytes), the eighth chunk, or a discovery announcement; back to idle
    kBadLength,   // length byte 0 or above 100: dropped, state untouched
    kRepeat,      // same number as the chunk taken just before it: dropped
    kOutOfTurn,   // not the chunk due next (one went missing, came late or came again after
                  // others): dropped, back to idle; the frame being received is broken
    kCutShort,    // the chunk due next, but shorter than its share of the frame (a chunk 2 to
                  // 7 below 100 bytes, the eighth below 72): dropped, back to idle; broken
};

// A chunk with this verdict breaks the frame being received: what was placed of it so far
// must not be taken as a reply.
constexpr bool BreaksFrame(ChunkVerdict verdict) {
    return verdict == ChunkVerdict::kOutOfTurn || verdict == ChunkVerdict::kCutShort;
}

// Takes one received chunk into the SettingsFrame. A frame's chunks are taken only in turn,
// numbered 1, 2, ... (each at offset 100 * (number - 1)), up to a short chunk 1 (a one-chunk
// frame) or the eighth; copies of the chunk just taken are dropped. The eighth chunk's data
// is cut at the frame's end.
ChunkVerdict AcceptChunk(ProtocolState& state, const FrameChunk& chunk);

// Back to idle: the receiving side (ReassemblyCount, LastChunkNumber) and the sending side
// (ChunkCounter, ChunkOffset). Every exchange resets both when it starts; discovery resets the
// reassembly when each round starts and before each announcement it takes in.
void ResetReassembly(ChunkState& chunks);
void ResetChunkSending(ChunkState& chunks);

}  // namespace tavlo::protocol
