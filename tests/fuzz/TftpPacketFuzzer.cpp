// TFTP packets as the transfer engine reads them: a write request and a few data blocks sent
// through TftpClient on the fake network, each send answered by datagrams the input scripts
// (from the clock's port, from another port of the clock's address, or from another host).
//
// Input: one mode byte (bit 0: broadcast mode), then for every packet the client sends, one
// count byte (0 to 3 answers) and per answer a source byte and a length-prefixed datagram.
// Past the end of the input the clock stays silent.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "firmware/TftpExchange.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateState.h"
#include "platform/Ipv4.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::fuzz {
namespace {

using firmware::TftpOpcode;
using platform::Endpoint;

constexpr std::uint8_t kBroadcastMode = 0x01;
constexpr std::uint8_t kAnswerCountMask = 0x03;
constexpr std::uint16_t kClockPort = 50069;
constexpr int kDataExchanges = 4;
constexpr std::size_t kBlockBytes = 16;

const platform::Ipv4 kClock = platform::MakeIpv4(198, 18, 0, 10);
const platform::Ipv4 kSegmentBroadcast = platform::MakeIpv4(198, 18, 0, 255);
const platform::Ipv4 kStranger = platform::MakeIpv4(198, 18, 0, 66);

// Where a scripted answer comes from.
Endpoint SourceOf(std::uint8_t selector) {
    switch (selector % 4) {
        case 0:
            return {kClock, kClockPort};
        case 1:
            return {kClock, static_cast<std::uint16_t>(kClockPort + 1)};
        case 2:
            return {kClock, firmware::kTftpServerPort};
        default:
            return {kStranger, kClockPort};
    }
}

std::uint16_t OpcodeOf(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 ? firmware::ReadBe16(bytes, 0) : 0;
}

struct Answer {
    Endpoint from;
    std::vector<std::uint8_t> bytes;
};

struct Script {
    Input& in;
    std::vector<Answer> answered;  // every answer of the running exchange
    int sends = 0;                 // write requests and data packets of the running exchange
    std::vector<test::SentDatagram> refusals;
    std::vector<Endpoint> sources;  // every endpoint an answer came from

    void OnSend(const test::SentDatagram& d, test::FakeNetwork& net) {
        const std::uint16_t opcode = OpcodeOf(d.bytes);
        if (opcode == static_cast<std::uint16_t>(TftpOpcode::kError)) {
            refusals.push_back(d);
            return;
        }
        ++sends;
        const int count = in.Byte() & kAnswerCountMask;
        for (int i = 0; i < count; ++i) {
            Answer answer{SourceOf(in.Byte()), {}};
            const auto bytes = in.Piece();
            answer.bytes.assign(bytes.begin(), bytes.end());
            net.deliver(d.from.port, answer.from, answer.bytes);
            sources.push_back(answer.from);
            answered.push_back(std::move(answer));
        }
    }
};

bool AcknowledgesBlock(const Answer& answer, std::uint32_t block) {
    const auto head = firmware::ReadPacketHead(answer.bytes);
    return head && head->opcode == static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement) &&
           head->block == block;
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    using namespace tavlo::fuzz;
    Input in(data, size);
    const bool broadcast = (in.Byte() & kBroadcastMode) != 0;
    test::FakeNetwork net;
    Script script{in, {}, 0, {}, {}};
    net.onSend(
        [&script](const test::SentDatagram& d, test::FakeNetwork& n) { script.OnSend(d, n); });

    firmware::UpdateState state;
    firmware::TftpClient client(net, broadcast ? kSegmentBroadcast : kClock, state, {});
    FUZZ_CHECK(client.Open());
    FUZZ_CHECK(client.BroadcastMode() == broadcast);

    const auto request = firmware::BuildWriteRequest({0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}, 700);
    const std::vector<std::uint8_t> block(kBlockBytes, 0x5A);
    std::uint32_t next = 0;
    for (int exchange = 0; exchange <= kDataExchanges; ++exchange) {
        script.answered.clear();
        script.sends = 0;
        const bool fixedBefore = client.PeerPortFixed();
        const Endpoint clockBefore{kClock, client.PeerPort()};
        const std::uint64_t began = net.now();
        const int result = exchange == 0
                               ? client.TftpExchange(request, 0, firmware::ExchangeKind::kRequest)
                               : client.TftpExchange(block, next, firmware::ExchangeKind::kData);

        // The request and every packet in broadcast mode go at most 60 times; a data block
        // with the adaptive wait goes until no acknowledgement has come for a minute.
        FUZZ_CHECK(script.sends >= 1);
        if (exchange == 0 || broadcast) {
            FUZZ_CHECK(script.sends <= firmware::kMaxSends);
        } else {
            FUZZ_CHECK(net.now() - began <=
                       static_cast<std::uint64_t>(firmware::kGiveUpAfter.count()));
        }
        if (result == firmware::kExchangeGaveUp) {
            break;
        }
        // An acknowledgement of this block or an earlier one, and one that really came: from
        // the clock in unicast mode (from its fixed port once fixed), from anyone in broadcast
        // mode.
        FUZZ_CHECK(result >= 1 && static_cast<std::uint32_t>(result) <= next + 1);
        const auto acknowledged = static_cast<std::uint32_t>(result - 1);
        const bool came =
            std::any_of(script.answered.begin(), script.answered.end(), [&](const Answer& answer) {
                const bool fromClock =
                    answer.from.address == kClock && (!fixedBefore || answer.from == clockBefore);
                return (broadcast || fromClock) && AcknowledgesBlock(answer, acknowledged);
            });
        FUZZ_CHECK(came);
        if (!broadcast) {
            FUZZ_CHECK(client.PeerPortFixed());
        }
        next = static_cast<std::uint32_t>(result);
    }

    // Refusals: only in unicast mode, exactly "Unknown transfer ID", only to who wrote to us.
    const auto refusal = firmware::BuildErrorPacket(firmware::kErrorUnknownTransferId,
                                                    firmware::kUnknownTransferIdMessage);
    for (const auto& sent : script.refusals) {
        FUZZ_CHECK(!broadcast);
        FUZZ_CHECK(sent.bytes == refusal);
        FUZZ_CHECK(std::find(script.sources.begin(), script.sources.end(), sent.to) !=
                   script.sources.end());
    }
    // Packets go to the clock in unicast mode; in broadcast mode to everyone until someone
    // answers, and within an exchange then to whoever answered.
    for (const auto& sent : net.sent()) {
        if (OpcodeOf(sent.bytes) == static_cast<std::uint16_t>(TftpOpcode::kError)) {
            continue;
        }
        if (broadcast) {
            FUZZ_CHECK(sent.to.address == platform::kLimitedBroadcast ||
                       std::find(script.sources.begin(), script.sources.end(), sent.to) !=
                           script.sources.end());
        } else {
            FUZZ_CHECK(sent.to.address == kClock);
        }
    }
    return 0;
}
