#include "protocol/CommandFrames.h"

#include <algorithm>

namespace tavlo::protocol {

std::uint8_t CommandFrameChecksum(const CommandFrame& frame) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < kChecksummedSize; ++i) {
        sum = static_cast<std::uint8_t>(sum ^ frame[i]);
    }
    return sum;
}

void SealCommandFrame(CommandFrame& frame, std::uint8_t command, RequestMarker marker) {
    std::copy(kMagic.begin(), kMagic.end(), frame.begin() + kMagicOffset);
    frame[kCommandCodeOffset] = command;
    if (marker == RequestMarker::kSet) {
        frame[kRequestMarkerOffset] = kRequestMarker;
    }
    if (frame[kChecksumOffset] == 0) {
        frame[kChecksumOffset] = CommandFrameChecksum(frame);
    }
}

bool CheckCommandFrame(CommandFrame& frame) {
    const std::uint8_t computed = CommandFrameChecksum(frame);
    if (frame[kChecksumOffset] == 0) {
        frame[kChecksumOffset] = computed;
        return true;
    }
    return frame[kChecksumOffset] == computed;
}

}  // namespace tavlo::protocol
