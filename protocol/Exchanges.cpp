#include "protocol/Exchanges.h"

#include <algorithm>
#include <array>
#include <memory>

#include "platform/Ipv4.h"
#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"

namespace tavlo::protocol {

using platform::Endpoint;
using platform::Ipv4;
using platform::UdpSocket;
using platform::WaitResult;

namespace {

constexpr std::uint8_t kBroadcastOctet = 255;
constexpr std::uint8_t kNetworkOctet = 0;
constexpr char kNoSocketText[] = "no UDP socket could be opened";

}  // namespace

bool IsRejectedTarget(Ipv4 target) {
    return target == 0 || platform::LastOctet(target) == kNetworkOctet;
}

bool IsBroadcastTarget(Ipv4 target) {
    return target == platform::kLimitedBroadcast || platform::LastOctet(target) == kBroadcastOctet;
}

bool IsLocalSender(const ProtocolState& state, Ipv4 sender) {
    return sender != 0 && std::find(state.LocalAddressList.begin(), state.LocalAddressList.end(),
                                    sender) != state.LocalAddressList.end();
}

struct ClockExchanges::Opened {
    std::unique_ptr<UdpSocket> socket;
    Endpoint to;
    bool broadcast = false;
    bool longWait = false;  // first octet of the address sent to is 255

    std::chrono::milliseconds timeout(std::chrono::milliseconds longTimeout,
                                      std::chrono::milliseconds shortTimeout) const {
        return longWait ? longTimeout : shortTimeout;
    }
};

ClockExchanges::ClockExchanges(platform::Network& network, ProtocolState& state,
                               NonceSource& nonces)
    : network_(network), state_(state), nonces_(nonces) {}

void ClockExchanges::fail(ExchangeFailure failure, std::string text) {
    failure_ = failure;
    failureText_ = std::move(text);
}

bool ClockExchanges::begin(Ipv4 target, std::uint16_t port, Opened& opened) {
    fail(ExchangeFailure::kNone, {});
    // A reply left half received by an earlier exchange must never shift this one.
    ResetReassembly(state_.chunks);
    ResetChunkSending(state_.chunks);
    if (IsRejectedTarget(target)) {
        return false;
    }
    opened.socket = network_.openUdp();
    if (!opened.socket) {
        fail(ExchangeFailure::kNoSocket, kNoSocketText);
        return false;
    }
    opened.broadcast = IsBroadcastTarget(target);
    opened.to = Endpoint{opened.broadcast ? platform::kLimitedBroadcast : target, port};
    // The long wait goes by the address actually sent to: every broadcast, and also a
    // unicast address whose first octet is 255.
    opened.longWait = platform::FirstOctet(opened.to.address) == kBroadcastOctet;
    if (opened.broadcast) {
        opened.socket->enableBroadcast();
        // Hundreds of clocks may answer at once; the kernel must not drop their replies.
        opened.socket->setReceiveBuffer(kBroadcastReceiveBuffer);
    }
    if (!opened.socket->bind(platform::kAnyAddress, port)) {
        const bool inUse = opened.socket->lastErrorKind() == platform::SocketError::kAddressInUse;
        fail(inUse ? ExchangeFailure::kPortInUse : ExchangeFailure::kBindFailed,
             opened.socket->lastError());
        opened.socket.reset();
        return false;
    }
    return true;
}

// Receives datagrams while each arrives within `timeout` of the previous one, at most
// kMaxCollectTime in all. A unicast exchange is with its target alone: a datagram from any
// other address (another clock, a stranger repeating itself) is dropped and keeps nobody
// waiting, so it can neither pass for the clock's reply nor hold the exchange open.
// Datagrams of the wrong size or from this machine, and receives that fail, are dropped; the
// others go to onDatagram(from), which returns false to stop. A wait that times out or fails
// ends the collection.
template <typename OnDatagram>
void ClockExchanges::collect(const Opened& opened, std::chrono::milliseconds timeout,
                             std::span<std::uint8_t> buffer, std::size_t frameSize,
                             OnDatagram onDatagram) {
    const std::uint32_t start = network_.tickCount();
    std::uint32_t lastHeard = start;
    const auto limit = static_cast<std::uint32_t>(kMaxCollectTime.count());
    for (;;) {
        // Tick arithmetic wraps at 2^32; the differences stay right across the wrap.
        const std::uint32_t now = network_.tickCount();
        const auto quiet = std::chrono::milliseconds(now - lastHeard);
        if (now - start >= limit || quiet >= timeout ||
            opened.socket->waitReadable(timeout - quiet) != WaitResult::kReadable) {
            return;
        }
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        Endpoint from;
        const long size = opened.socket->receiveFrom(buffer, from);
        if (size >= 0 && !opened.broadcast && from.address != opened.to.address) {
            continue;
        }
        lastHeard = network_.tickCount();
        // A failed receive (the datagram announced by the wait was discarded after all) is
        // dropped like one of the wrong size; the quiet line still ends the collection.
        if (size < 0 || static_cast<std::size_t>(size) != frameSize ||
            IsLocalSender(state_, from.address)) {
            continue;
        }
        if (!onDatagram(from)) {
            return;
        }
    }
}

std::uint8_t ClockExchanges::ExchangeFullFrame(Ipv4 target) {
    Opened opened;
    if (!begin(target, kFullFramePort, opened)) {
        return kExchangeNoAnswer;
    }
    SettingsFrame& frame = state_.settingsFrame;
    std::copy(kMagic.begin(), kMagic.end(), frame.begin() + kMagicOffset);
    opened.socket->sendTo(frame, opened.to);
    if (opened.broadcast) {
        network_.sleep(kBroadcastSendPause);
    }

    frame.fill(0);
    // Replies are received aside and copied into the frame only when accepted, so a stray
    // datagram never overwrites a clock's reply.
    SettingsFrame received{};
    std::uint8_t count = 0;
    const auto timeout = opened.timeout(kBroadcastFrameTimeout, kFullFrameTimeout);
    collect(opened, timeout, received, kSettingsFrameSize, [&](const Endpoint&) {
        frame = received;
        count = static_cast<std::uint8_t>(count + 1);
        return true;
    });
    opened.socket.reset();

    if (opened.broadcast) {
        return count;
    }
    return (frame[kFlagsOffset] & kFlagCarriedOut) != 0 ? kExchangeAcknowledged : kExchangeNoAnswer;
}

std::uint8_t ClockExchanges::ExchangeChunkedFrame(Ipv4 target) {
    Opened opened;
    if (!begin(target, kChunkPort, opened)) {
        return kExchangeNoAnswer;
    }

    FrameChunk chunk{};
    int failedSends = 0;
    for (;;) {
        const std::uint8_t remaining = BuildNextChunk(state_, chunk, nonces_);
        if (opened.socket->sendTo(chunk, opened.to) != static_cast<long>(kChunkSize)) {
            // The failed chunk is not repeated: the next one follows.
            if (++failedSends >= kMaxFailedChunkSends) {
                ResetChunkSending(state_.chunks);
                fail(ExchangeFailure::kSendsFailed, opened.socket->lastError());
                return kExchangeNoAnswer;
            }
            continue;
        }
        if (opened.broadcast) {
            network_.sleep(kBroadcastSendPause);
        }
        if (remaining == 0) {
            break;
        }
    }

    state_.settingsFrame.fill(0);
    std::uint8_t count = 0;
    // A unicast reply counts only when its chunks came in turn up to its last. The first
    // whole reply is the answer: chunks after it (late copies) are not taken, and once a chunk
    // has come out of turn nothing more is taken in this exchange.
    bool whole = false;
    bool broken = false;
    const auto timeout = opened.timeout(kBroadcastFrameTimeout, kChunkedTimeout);
    collect(opened, timeout, chunk, kChunkSize, [&](const Endpoint&) {
        if (opened.broadcast) {
            count = static_cast<std::uint8_t>(count + 1);
        } else if (!whole && !broken) {
            const ChunkVerdict verdict = AcceptChunk(state_, chunk);
            whole = verdict == ChunkVerdict::kFrameEnded;
            broken = BreaksFrame(verdict);
        }
        return true;
    });
    opened.socket.reset();

    if (opened.broadcast) {
        return count;
    }
    if (!whole) {
        // Never leave part of a reply where a caller could take it for the clock's record.
        state_.settingsFrame.fill(0);
        ResetReassembly(state_.chunks);
        return kExchangeNoAnswer;
    }
    return (state_.settingsFrame[kFlagsOffset] & kFlagCarriedOut) != 0 ? kExchangeAcknowledged
                                                                       : kExchangeNoAnswer;
}

std::int32_t ClockExchanges::ExchangeCommandFrame(std::uint8_t command, Ipv4 target) {
    Opened opened;
    if (!begin(target, kCommandPort, opened)) {
        return kCommandNoAnswer;
    }
    CommandFrame& frame = state_.commandFrame;
    if (command != ToByte(CommandCode::kWrite)) {
        frame.fill(0);
    }
    SealCommandFrame(frame, command, RequestMarker::kSet);
    opened.socket->sendTo(frame, opened.to);

    std::int32_t count = kCommandNoAnswer;
    bool unicastDone = false;
    CommandFrame received{};
    const auto timeout = opened.timeout(kBroadcastCommandTimeout, kCommandTimeout);
    collect(opened, timeout, received, kCommandFrameSize, [&](const Endpoint&) {
        // A reply of the right size from another host replaces what the frame held; only a
        // valid one is kept in it.
        frame.fill(0);
        if (received[kRequestMarkerOffset] != kRequestMarker || !CheckCommandFrame(received)) {
            return true;
        }
        frame = received;
        if (!opened.broadcast) {
            unicastDone = true;
            return false;
        }
        count = count < 0 ? 1 : count + 1;
        return true;
    });
    opened.socket.reset();
    return unicastDone ? kCommandAcknowledged : count;
}

bool StartSockets(platform::Network& network) {
    return network.openUdp() != nullptr;
}

}  // namespace tavlo::protocol
