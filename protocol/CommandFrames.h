// Sealing and checking the CommandFrame of early-version clocks.
#pragma once

#include <cstdint>

#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"

namespace tavlo::protocol {

// XOR of bytes 0 to 93.
std::uint8_t CommandFrameChecksum(const CommandFrame& frame);

enum class RequestMarker { kLeave, kSet };

// Writes the magic and the command code (and the request marker 1 with RequestMarker::kSet),
// then stores the checksum in byte 94 if byte 94 is zero; a value already there is kept.
void SealCommandFrame(CommandFrame& frame, std::uint8_t command, RequestMarker marker);

// A received frame passes when byte 94 is zero (the computed checksum is then stored there)
// or equals the computed checksum.
bool CheckCommandFrame(CommandFrame& frame);

}  // namespace tavlo::protocol
