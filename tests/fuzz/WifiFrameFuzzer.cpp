// Whole 772-byte frames as Wi-Fi clocks send them: the unicast ExchangeFullFrame taking the
// reply, and the decoding of the record it leaves (settings and Wi-Fi fields). The input is
// the frame; a shorter input is padded with zeros, a longer one cut.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    protocol::SettingsFrame sent{};
    std::copy_n(data, std::min(size, sent.size()), sent.begin());

    fuzz::FakeClockLine line(std::vector<std::vector<std::uint8_t>>{{sent.begin(), sent.end()}});
    const int result = line.exchanges.ExchangeFullFrame(line.clock);
    const protocol::ProtocolState& state = line.state;

    // A read takes a reply with flag bit 0 and the read's type; any other stays in the frame.
    const bool record =
        (sent[protocol::kFlagsOffset] & protocol::kFlagCarriedOut) != 0 &&
        sent[protocol::kFrameTypeOffset] == protocol::ToByte(protocol::FrameType::kReadSettings);
    FUZZ_CHECK(result == (record ? protocol::kExchangeAcknowledged : protocol::kExchangeNoAnswer));
    FUZZ_CHECK(state.settingsFrame == sent);
    fuzz::CheckSettingsRecord(state.settingsFrame);
    return 0;
}
