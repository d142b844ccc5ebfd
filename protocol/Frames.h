// Wire constants of the clock protocol: the 772-byte SettingsFrame (sent whole on port 6866 or
// as scrambled 106-byte FrameChunk datagrams on port 6869) and the 95-byte CommandFrame of
// early-version clocks (port 6869). Offsets are byte offsets from the start of each datagram.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/ProtocolState.h"

namespace tavlo::protocol {

// --- Ports ---
inline constexpr std::uint16_t kFullFramePort = 6866;  // whole SettingsFrame (Wi-Fi clocks)
inline constexpr std::uint16_t kChunkPort = 6869;      // FrameChunk datagrams (wired clocks)
inline constexpr std::uint16_t kCommandPort = 6869;    // CommandFrame (early-version clocks)

// --- Magic, opening both frames ---
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kMagicSize = 2;
inline constexpr std::array<std::uint8_t, kMagicSize> kMagic = {0x51, 0x5A};  // "QZ"

// --- SettingsFrame header fields ---
inline constexpr std::size_t kSerialNumberOffset = 4;
inline constexpr std::size_t kSerialNumberSize = 20;
inline constexpr std::size_t kFlagsOffset = 46;
// Flag bit 0: set in requests; in a reply, the clock carried the request out.
inline constexpr std::uint8_t kFlagCarriedOut = 0x01;
inline constexpr std::size_t kFrameTypeOffset = 47;
inline constexpr std::size_t kPasswordSize = 8;
inline constexpr std::size_t kUserPasswordOffset = 152;
inline constexpr std::size_t kGlobalPasswordOffset = 160;

// Frame types (byte 47) the program sends or tests.
enum class FrameType : std::uint8_t {
    kReadSettings = 1,  // read all settings of one clock
    kWriteBasic = 2,    // write the Basic Information settings
    kDiscovery = 3,     // discovery probe; type 3 with flag bit 0 in a reply: an announcement
    kWriteWifi = 40,    // write the Wi-Fi settings
};

// --- CommandFrame fields ---
inline constexpr std::size_t kRequestMarkerOffset = 12;
inline constexpr std::uint8_t kRequestMarker = 1;  // requests of ExchangeCommandFrame
inline constexpr std::size_t kCommandCodeOffset = 13;
inline constexpr std::size_t kEarlySerialNumberOffset = 68;
inline constexpr std::size_t kEarlySerialNumberSize = 26;
inline constexpr std::size_t kChecksumOffset = 94;
inline constexpr std::size_t kChecksummedSize = 94;  // bytes 0 to 93

// Command codes (byte 13).
enum class CommandCode : std::uint8_t {
    kRead = 1,   // read an early-version clock; also its discovery probe
    kWrite = 2,  // write an early-version clock (frame filled by the caller)
};

// --- FrameChunk fields ---
inline constexpr std::size_t kChunkNumberOffset = 0;
inline constexpr std::size_t kChunkDataOffset = 1;
inline constexpr std::size_t kChunkDataSize = 100;
inline constexpr std::size_t kChunkNonceOffset = 101;
inline constexpr std::size_t kChunkNonceSize = 4;  // 32-bit little-endian
inline constexpr std::size_t kChunkLengthOffset = 105;

inline constexpr std::size_t kOneChunkLength = 99;    // one-chunk types: frame bytes 0..98
inline constexpr std::size_t kFullChunkLength = 100;  // chunks 1 to 7 of eight
inline constexpr std::size_t kLastChunkLength = 72;   // chunk 8: frame bytes 700..771
inline constexpr std::uint8_t kChunksPerFrame = 8;
inline constexpr std::uint8_t kFirstChunkNumber = 1;

// The scrambling key; only its last character takes effect.
inline constexpr std::string_view kScrambleKey = "vrnKeda@Pq";

// How BuildNextChunk cuts a SettingsFrame, by frame type.
enum class ChunkingClass {
    kOneChunk,     // one chunk, number 1, frame bytes 0..98
    kEightChunks,  // chunks 1..8: 100 bytes each, the eighth 72
    kNone,         // one all-zero chunk
};

constexpr ChunkingClass ChunkingClassOf(std::uint8_t frameType) {
    switch (frameType) {
        case 1:
        case 3:
        case 50:
            return ChunkingClass::kOneChunk;
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 20:
        case 30:
        case 40:
        case 60:
        case 70:
            return ChunkingClass::kEightChunks;
        default:
            return ChunkingClass::kNone;
    }
}

constexpr std::uint8_t ToByte(FrameType type) {
    return static_cast<std::uint8_t>(type);
}
constexpr std::uint8_t ToByte(CommandCode code) {
    return static_cast<std::uint8_t>(code);
}

static_assert(kChunkDataOffset + kChunkDataSize == kChunkNonceOffset);
static_assert(kChunkNonceOffset + kChunkNonceSize == kChunkLengthOffset);
static_assert(kChunkLengthOffset + 1 == kChunkSize);
static_assert((kChunksPerFrame - 1) * kFullChunkLength + kLastChunkLength == kSettingsFrameSize);
static_assert(kChecksumOffset + 1 == kCommandFrameSize);

}  // namespace tavlo::protocol
