#include "tests/support/ScriptedClocks.h"

#include <algorithm>

#include "protocol/Chunks.h"
#include "protocol/Frames.h"
#include "protocol/ProtocolState.h"

namespace tavlo::test {
namespace {

using namespace tavlo::protocol;

constexpr std::uint8_t kAnnouncementType = 3;
constexpr std::uint8_t kEarlyAnswerMarker = 1;
constexpr std::uint8_t kEarlyQueryCommand = 1;

class FixedNonce final : public NonceSource {
  public:
    std::uint32_t nextNonce() override { return kNonce; }

  private:
    static constexpr std::uint32_t kNonce = 0x2A51;
};

template <typename Frame>
void putSerial(Frame& frame, std::size_t offset, std::size_t room, const std::string& serial) {
    std::copy_n(serial.begin(), std::min(serial.size(), room), frame.begin() + offset);
}

}  // namespace

std::vector<std::uint8_t> DiscoveryReply(ClockKind kind, const std::string& serial) {
    switch (kind) {
        case ClockKind::kWired: {
            ProtocolState clock;
            clock.settingsFrame[kFlagsOffset] = kFlagCarriedOut;
            clock.settingsFrame[kFrameTypeOffset] = kAnnouncementType;
            putSerial(clock.settingsFrame, kSerialNumberOffset, kSerialNumberSize, serial);
            FrameChunk chunk{};
            FixedNonce nonces;
            BuildNextChunk(clock, chunk, nonces);
            return {chunk.begin(), chunk.end()};
        }
        case ClockKind::kWifi: {
            SettingsFrame frame{};
            frame[kFlagsOffset] = kFlagCarriedOut;
            frame[kFrameTypeOffset] = kAnnouncementType;
            putSerial(frame, kSerialNumberOffset, kSerialNumberSize, serial);
            return {frame.begin(), frame.end()};
        }
        case ClockKind::kEarlyWired:
        case ClockKind::kEarlyWifi: {
            CommandFrame frame{};
            frame[kRequestMarkerOffset] = kEarlyAnswerMarker;
            frame[kCommandCodeOffset] = kEarlyQueryCommand;
            putSerial(frame, kEarlySerialNumberOffset, kEarlySerialNumberSize - 1, serial);
            return {frame.begin(), frame.end()};
        }
    }
    return {};
}

void AddScriptedClock(FakeNetwork& network, ClockKind kind, platform::Ipv4 address,
                      const std::string& serial, std::chrono::milliseconds delay) {
    const std::vector<std::uint8_t> answer = DiscoveryReply(kind, serial);
    network.addPeer(address, [=](const SentDatagram& request, FakeNetwork& net) {
        const std::size_t size = request.bytes.size();
        const std::uint16_t port = request.to.port;
        bool answers = false;
        switch (kind) {
            case ClockKind::kWired:
                answers = port == kChunkPort && size == kChunkSize;
                break;
            case ClockKind::kWifi:
                answers = port == kFullFramePort && size == kSettingsFrameSize;
                break;
            case ClockKind::kEarlyWired:
                answers = port == kCommandPort && size == kCommandFrameSize;
                break;
            case ClockKind::kEarlyWifi:
                answers = port == kFullFramePort && size == kCommandFrameSize;
                break;
        }
        if (answers) {
            net.reply(request, address, answer, delay);
        }
    });
}

}  // namespace tavlo::test
