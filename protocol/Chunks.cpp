#include "protocol/Chunks.h"

#include <algorithm>
#include <array>

#include "platform/CrtRandom.h"

namespace tavlo::protocol {
namespace {

constexpr std::uint32_t kNonceLowByteMask = 0xFFu;
// The generator never yields a long run of values with a zero low byte; this bound only keeps
// the loop finite whatever happens.
constexpr int kMaxNonceDraws = 256;
constexpr int kBitsPerByte = 8;

std::span<const std::uint8_t> KeyBytes() {
    return {reinterpret_cast<const std::uint8_t*>(kScrambleKey.data()), kScrambleKey.size()};
}

std::size_t LengthOf(const FrameChunk& chunk) {
    return std::min<std::size_t>(chunk[kChunkLengthOffset], kChunkDataSize);
}

void StoreNonce(FrameChunk& chunk, std::uint32_t nonce) {
    for (std::size_t i = 0; i < kChunkNonceSize; ++i) {
        chunk[kChunkNonceOffset + i] = static_cast<std::uint8_t>(nonce >> (kBitsPerByte * i));
    }
}

}  // namespace

std::uint32_t ClockNonceSource::nonceForSeed(std::uint32_t seed) {
    platform::CrtRandom random(seed);
    std::uint32_t value = 0;
    for (int draw = 0; draw < kMaxNonceDraws; ++draw) {
        value = static_cast<std::uint32_t>(random.next());
        if ((value & kNonceLowByteMask) != 0) {
            return value;
        }
    }
    return value | 1u;
}

std::uint32_t ClockNonceSource::nextNonce() {
    // srand takes an unsigned int: the sum is cut to 32 bits.
    const auto seed = static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(network_.timeSeconds()) + network_.tickCount());
    return nonceForSeed(seed);
}

void XorPass(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source,
             std::uint16_t length, std::span<const std::uint8_t> key) {
    const std::size_t count = std::min({std::size_t{length}, destination.size(), source.size()});
    for (const std::uint8_t k : key) {
        for (std::size_t j = 0; j < count; ++j) {
            destination[j] = static_cast<std::uint8_t>(source[j] ^ k);
        }
    }
}

std::span<const std::uint8_t> NonceText(const FrameChunk& chunk) {
    const auto nonce =
        std::span<const std::uint8_t>(chunk).subspan(kChunkNonceOffset, kChunkNonceSize);
    const auto end = std::find(nonce.begin(), nonce.end(), std::uint8_t{0});
    return nonce.first(static_cast<std::size_t>(end - nonce.begin()));
}

void ScrambleChunk(FrameChunk& chunk, std::span<const std::uint8_t> source, NonceSource& nonces) {
    StoreNonce(chunk, nonces.nextNonce());
    const auto length = static_cast<std::uint16_t>(std::min(LengthOf(chunk), source.size()));
    const auto data = std::span<std::uint8_t>(chunk).subspan(kChunkDataOffset, kChunkDataSize);
    XorPass(data, source, length, NonceText(chunk));
    std::array<std::uint8_t, kChunkDataSize> scratch{};
    XorPass(scratch, data, length, KeyBytes());
    std::copy_n(scratch.begin(), length, data.begin());
}

std::size_t UnscrambleChunk(std::span<std::uint8_t> destination, const FrameChunk& chunk) {
    const auto length = static_cast<std::uint16_t>(std::min(LengthOf(chunk), destination.size()));
    const auto data =
        std::span<const std::uint8_t>(chunk).subspan(kChunkDataOffset, kChunkDataSize);
    std::array<std::uint8_t, kChunkDataSize> scratch{};
    XorPass(scratch, data, length, KeyBytes());
    const auto nonceText = NonceText(chunk);
    XorPass(destination, scratch, length, nonceText);
    return nonceText.empty() ? 0 : length;
}

std::uint8_t BuildNextChunk(ProtocolState& state, FrameChunk& chunk, NonceSource& nonces) {
    chunk.fill(0);
    SettingsFrame& frame = state.settingsFrame;
    std::copy(kMagic.begin(), kMagic.end(), frame.begin() + kMagicOffset);
    ChunkState& chunks = state.chunks;
    const std::span<const std::uint8_t> whole(frame);

    switch (ChunkingClassOf(frame[kFrameTypeOffset])) {
        case ChunkingClass::kOneChunk:
            chunk[kChunkNumberOffset] = kFirstChunkNumber;
            chunk[kChunkLengthOffset] = static_cast<std::uint8_t>(kOneChunkLength);
            ResetChunkSending(chunks);
            ScrambleChunk(chunk, whole.first(kOneChunkLength), nonces);
            return 0;

        case ChunkingClass::kEightChunks: {
            if (chunks.ChunkCounter >= kChunksPerFrame) {
                // Only reachable if the state was changed from outside; start the frame over.
                ResetChunkSending(chunks);
            }
            chunks.ChunkCounter = static_cast<std::uint8_t>(chunks.ChunkCounter + 1);
            chunks.ChunkOffset += kFullChunkLength;
            const std::uint8_t number = chunks.ChunkCounter;
            const std::size_t start = kFullChunkLength * (number - 1u);
            chunk[kChunkNumberOffset] = number;
            // ChunkOffset runs 100 ahead of the chunk's start: below 772 for chunks 1 to 7. The
            // number decides, so that a ChunkOffset changed from outside can never stretch a
            // chunk past 100 bytes.
            if (number < kChunksPerFrame) {
                chunk[kChunkLengthOffset] = static_cast<std::uint8_t>(kFullChunkLength);
                ScrambleChunk(chunk, whole.subspan(start, kFullChunkLength), nonces);
                return static_cast<std::uint8_t>(kChunksPerFrame - number);
            }
            chunk[kChunkLengthOffset] = static_cast<std::uint8_t>(kSettingsFrameSize - start);
            ResetChunkSending(chunks);
            ScrambleChunk(chunk, whole.subspan(start), nonces);
            return 0;
        }

        case ChunkingClass::kNone:
            break;
    }
    ResetChunkSending(chunks);
    return 0;
}

ChunkVerdict AcceptChunk(ProtocolState& state, const FrameChunk& chunk) {
    ChunkState& chunks = state.chunks;
    const std::uint8_t length = chunk[kChunkLengthOffset];
    if (length == 0 || length > kChunkDataSize) {
        return ChunkVerdict::kBadLength;
    }
    const std::uint8_t number = chunk[kChunkNumberOffset];
    if (chunks.ReassemblyCount > 0 && number == chunks.LastChunkNumber) {
        return ChunkVerdict::kRepeat;
    }
    if (chunks.ReassemblyCount >= kChunksPerFrame || number != chunks.ReassemblyCount + 1) {
        ResetReassembly(chunks);
        return ChunkVerdict::kOutOfTurn;
    }
    const bool last = number == kChunksPerFrame;
    const bool oneChunkFrame = number == kFirstChunkNumber && length < kFullChunkLength;
    const std::size_t share = last ? kLastChunkLength : kFullChunkLength;
    if (!oneChunkFrame && length < share) {
        ResetReassembly(chunks);
        return ChunkVerdict::kCutShort;
    }

    SettingsFrame& frame = state.settingsFrame;
    const std::size_t offset = kFullChunkLength * chunks.ReassemblyCount;
    UnscrambleChunk(std::span<std::uint8_t>(frame).subspan(offset), chunk);
    chunks.ReassemblyCount = number;
    chunks.LastChunkNumber = number;

    const bool announcement = frame[kFrameTypeOffset] == ToByte(FrameType::kDiscovery) &&
                              (frame[kFlagsOffset] & kFlagCarriedOut) != 0;
    if (announcement || oneChunkFrame || last) {
        ResetReassembly(chunks);
        return ChunkVerdict::kFrameEnded;
    }
    return ChunkVerdict::kTaken;
}

void ResetReassembly(ChunkState& chunks) {
    chunks.ReassemblyCount = 0;
    chunks.LastChunkNumber = 0;
}

void ResetChunkSending(ChunkState& chunks) {
    chunks.ChunkCounter = 0;
    chunks.ChunkOffset = 0;
}

}  // namespace tavlo::protocol
