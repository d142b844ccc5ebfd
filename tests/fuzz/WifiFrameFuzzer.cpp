// Whole 772-byte frames as Wi-Fi clocks send them: the unicast ExchangeFullFrame taking the
// reply, and the decoding of the record it leaves (settings and Wi-Fi fields). The input is
// the frame; a shorter input is padded with zeros, a longer one cut.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/Ipv4.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeNetwork.h"

namespace {

class FixedNonce final : public tavlo::protocol::NonceSource {
  public:
    std::uint32_t NextNonce() override { return 0x41; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    protocol::SettingsFrame sent{};
    std::copy_n(data, std::min(size, sent.size()), sent.begin());

    test::FakeNetwork net;
    const platform::Ipv4 pc = platform::MakeIpv4(198, 18, 0, 1);
    const platform::Ipv4 clock = platform::MakeIpv4(198, 18, 0, 10);
    net.setLocalAddresses({pc});
    net.addPeer(clock, [&sent, clock](const test::SentDatagram& request, test::FakeNetwork& n) {
        n.reply(request, clock, {sent.begin(), sent.end()}, std::chrono::milliseconds(1));
    });
    protocol::ProtocolState state;
    state.LocalAddressList = {pc};
    state.settingsFrame[protocol::kFlagsOffset] = protocol::kFlagCarriedOut;
    state.settingsFrame[protocol::kFrameTypeOffset] =
        protocol::ToByte(protocol::FrameType::kReadSettings);
    FixedNonce nonce;
    protocol::ClockExchanges exchanges(net, state, nonce);
    const std::uint8_t result = exchanges.ExchangeFullFrame(clock);

    const bool carriedOut = (sent[protocol::kFlagsOffset] & protocol::kFlagCarriedOut) != 0;
    FUZZ_CHECK(result ==
               (carriedOut ? protocol::kExchangeAcknowledged : protocol::kExchangeNoAnswer));
    FUZZ_CHECK(state.settingsFrame == sent);
    fuzz::CheckSettingsRecord(state.settingsFrame);
    return 0;
}
