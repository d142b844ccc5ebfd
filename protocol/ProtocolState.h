// The frames and chunk state shared by every exchange, discovery and page. The application
// creates exactly one ProtocolState and hands it to the parts that share it; tests make
// their own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Network.h"

namespace tavlo::protocol {

inline constexpr std::size_t kSettingsFrameSize = 772;
inline constexpr std::size_t kCommandFrameSize = 95;
inline constexpr std::size_t kChunkSize = 106;

using SettingsFrame = std::array<std::uint8_t, kSettingsFrameSize>;
using CommandFrame = std::array<std::uint8_t, kCommandFrameSize>;
using FrameChunk = std::array<std::uint8_t, kChunkSize>;

// Sending and reassembly state of the chunk machinery.
struct ChunkState {
    std::uint8_t ChunkCounter = 0;     // number of the last chunk built
    std::uint32_t ChunkOffset = 0;     // frame bytes handed to chunks so far
    std::uint8_t ReassemblyCount = 0;  // chunks taken of the frame being received, 0 to 8
    std::uint8_t LastChunkNumber = 0;  // number of the last chunk taken while receiving
};

struct ProtocolState {
    SettingsFrame settingsFrame{};
    CommandFrame commandFrame{};
    ChunkState chunks{};
    // This machine's own addresses; datagrams from them are never taken as replies.
    std::vector<platform::Ipv4> LocalAddressList;
};

}  // namespace tavlo::protocol
