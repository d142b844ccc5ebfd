// Command frames of early-version clocks: the checksum check, the decoding of the record, and
// the unicast ExchangeCommandFrame taking the first valid reply among what a clock sends.
//
// The input is a list of length-prefixed datagrams (one length byte, then that many bytes;
// a length of 95 and above is taken as a whole 95-byte frame padded with zeros when the input
// ends early, so most datagrams have the size the exchange looks at).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/CommandFrames.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "tests/fuzz/FuzzSupport.h"

namespace tavlo::fuzz {
namespace {

using protocol::CommandFrame;
using Datagram = std::vector<std::uint8_t>;

constexpr std::size_t kMaxDatagrams = 16;

std::vector<Datagram> ReadDatagrams(Input& in) {
    std::vector<Datagram> datagrams;
    while (!in.empty() && datagrams.size() < kMaxDatagrams) {
        const std::size_t length = in.Byte();
        const auto bytes = in.Take(std::min(length, protocol::kCommandFrameSize));
        Datagram datagram(bytes.begin(), bytes.end());
        if (length >= protocol::kCommandFrameSize) {
            datagram.resize(protocol::kCommandFrameSize, 0);
        }
        datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

// The check alone: taken exactly when byte 94 is zero or the XOR of bytes 0 to 93, and a
// taken frame then carries its checksum; nothing else changes.
bool Check(const CommandFrame& received, CommandFrame& checked) {
    checked = received;
    const bool taken = protocol::CheckCommandFrame(checked);
    const std::uint8_t sum = protocol::CommandFrameChecksum(received);
    const std::uint8_t stored = received[protocol::kChecksumOffset];
    FUZZ_CHECK(taken == (stored == 0 || stored == sum));
    FUZZ_CHECK(std::equal(received.begin(), received.begin() + protocol::kChecksummedSize,
                          checked.begin()));
    if (taken) {
        FUZZ_CHECK(checked[protocol::kChecksumOffset] == sum);
    } else {
        FUZZ_CHECK(checked == received);
    }
    // A frame sealed for sending always passes the check.
    CommandFrame sealed = received;
    sealed[protocol::kChecksumOffset] = 0;
    protocol::SealCommandFrame(sealed, received[protocol::kCommandCodeOffset],
                               protocol::RequestMarker::kSet);
    CommandFrame copy = sealed;
    FUZZ_CHECK(protocol::CheckCommandFrame(copy) && copy == sealed);
    return taken;
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    using namespace tavlo::fuzz;
    Input in(data, size);
    const std::vector<Datagram> datagrams = ReadDatagrams(in);

    // The reply the exchange must take: the first of frame size with the request marker 1
    // that passes the check and carries the request's command (a read).
    std::optional<protocol::CommandFrame> expected;
    for (const Datagram& datagram : datagrams) {
        if (datagram.size() != protocol::kCommandFrameSize) {
            continue;
        }
        protocol::CommandFrame received{};
        std::copy(datagram.begin(), datagram.end(), received.begin());
        protocol::CommandFrame checked{};
        const bool taken = Check(received, checked);
        if (taken && !expected && received[protocol::kRequestMarkerOffset] == 1 &&
            received[protocol::kCommandCodeOffset] ==
                protocol::ToByte(protocol::CommandCode::kRead)) {
            expected = checked;
            CheckEarlyRecord(checked);  // the record a reader would show
        }
    }

    FakeClockLine line(datagrams);
    const int result = line.exchanges.ExchangeCommandFrame(
        protocol::ToByte(protocol::CommandCode::kRead), line.clock);
    const protocol::ProtocolState& state = line.state;
    FUZZ_CHECK(result == (expected ? protocol::kCommandAcknowledged : protocol::kCommandNoAnswer));
    if (expected) {
        FUZZ_CHECK(state.commandFrame == *expected);
    }
    return 0;
}
