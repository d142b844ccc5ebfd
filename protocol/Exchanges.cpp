#include "protocol/Exchanges.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "platform/Broadcast.h"
#include "platform/Ipv4.h"
#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"

namespace tavlo::protocol {

using platform::Endpoint;
using platform::Ipv4;
using platform::UdpSocket;
using platform::WaitResult;

namespace {

constexpr char kNoSocketText[] = "no UDP socket could be opened";

// A reply with flag bit 0 and the request's frame type: a read's record, a write's
// acknowledgement.
bool IsAwaitedReply(const SettingsFrame& reply, std::uint8_t requestType) {
    return (reply[kFlagsOffset] & kFlagCarriedOut) != 0 && reply[kFrameTypeOffset] == requestType;
}

// The text of a serial-number field: its bytes up to the first zero, never past the field.
std::string_view FieldText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(field.data()),
            static_cast<std::size_t>(end - field.begin())};
}

// The reply carries the serial number a moved clock is known by.
bool CarriesSerialNumber(std::span<const std::uint8_t> reply, std::size_t offset, std::size_t size,
                         const MovedClock& moved) {
    return !moved.serialNumber.empty() &&
           FieldText(reply.subspan(offset, size)) == moved.serialNumber;
}

// The datagrams one clock has sent in an exchange, to know its repeats.
class RepeatFilter {
  public:
    // True the first time these bytes come; false for a repeat, and for everything once
    // kMaxRememberedDatagrams different ones have come.
    bool fresh(std::span<const std::uint8_t> bytes) {
        if (seen_.size() >= kMaxRememberedDatagrams) {
            return false;
        }
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return seen_.insert(std::hash<std::string_view>{}(text)).second;
    }

  private:
    std::unordered_set<std::size_t> seen_;
};

// Rebuilds the chunked replies of several senders at once, each in a frame of its own, so
// that one sender's chunks never mix with another's.
class ChunkReplies {
  public:
    // Takes one chunk from `sender`; the sender's reply once it is whole, else nullptr.
    const SettingsFrame* take(Ipv4 sender, const FrameChunk& chunk) {
        auto found = senders_.find(sender);
        if (found == senders_.end()) {
            if (senders_.size() >= kMaxAnsweringClocks) {
                return nullptr;
            }
            found = senders_.emplace(sender, ProtocolState{}).first;
        }
        ProtocolState& reply = found->second;
        if (reply.chunks.ReassemblyCount == 0) {
            reply.settingsFrame.fill(0);
        }
        ChunkVerdict verdict = AcceptChunk(reply, chunk);
        if ((verdict == ChunkVerdict::kRepeat || BreaksFrame(verdict)) &&
            chunk[kChunkNumberOffset] == kFirstChunkNumber) {
            // A chunk 1 starts a new reply: the clock answered again, or its answer to this
            // request overtook the rest of an earlier one.
            ResetReassembly(reply.chunks);
            reply.settingsFrame.fill(0);
            verdict = AcceptChunk(reply, chunk);
        }
        return verdict == ChunkVerdict::kFrameEnded ? &reply.settingsFrame : nullptr;
    }

  private:
    std::map<Ipv4, ProtocolState> senders_;
};

}  // namespace

bool IsRejectedTarget(Ipv4 target) {
    return target == 0 || platform::LastOctet(target) == platform::kNetworkAddressOctet;
}

bool IsBroadcastTarget(Ipv4 target) {
    return target == platform::kLimitedBroadcast ||
           platform::LastOctet(target) == platform::kBroadcastAddressOctet;
}

bool IsSingleClockTarget(Ipv4 target) {
    return !IsRejectedTarget(target) && !IsBroadcastTarget(target);
}

bool IsLocalSender(const ProtocolState& state, Ipv4 sender) {
    return sender != 0 && std::find(state.LocalAddressList.begin(), state.LocalAddressList.end(),
                                    sender) != state.LocalAddressList.end();
}

// Who a datagram comes from, as far as a unicast exchange is concerned.
enum class ClockExchanges::Sender : std::uint8_t {
    kStranger,  // nobody this exchange listens to
    kClock,     // the target, or a moved clock's new address; every sender of a broadcast
    kBySerial,  // anyone else, heard only with a reply carrying the moved clock's serial number
};

// What a datagram did for the exchange.
enum class ClockExchanges::Heard : std::uint8_t {
    kNothing,  // nothing new: the line counts as quiet
    kNews,     // a broadcast's clock not counted before: the wait starts again
    kDone,     // the awaited unicast reply: the exchange ends
};

struct ClockExchanges::Opened {
    std::unique_ptr<UdpSocket> socket;
    Endpoint to;
    bool broadcast = false;
    bool longWait = false;  // first octet of the address sent to is 255
    MovedClock moved;
    std::vector<std::uint32_t> interfaces;  // a broadcast leaves by each of them

    // A broadcast goes out once on each of its interfaces; true when a send went out whole.
    bool send(std::span<const std::uint8_t> bytes) const {
        if (broadcast) {
            return platform::SendOutOfEach(*socket, bytes, to, interfaces);
        }
        return socket->sendTo(bytes, to) == static_cast<long>(bytes.size());
    }

    std::chrono::milliseconds timeout(std::chrono::milliseconds longTimeout,
                                      std::chrono::milliseconds shortTimeout) const {
        return longWait ? longTimeout : shortTimeout;
    }

    Sender senderOf(Ipv4 address) const {
        if (broadcast || address == to.address || address == moved.newAddress) {
            return Sender::kClock;
        }
        return moved.serialNumber.empty() ? Sender::kStranger : Sender::kBySerial;
    }
};

ClockExchanges::ClockExchanges(platform::Network& network, ProtocolState& state,
                               NonceSource& nonces)
    : network_(network), state_(state), nonces_(nonces) {}

void ClockExchanges::fail(ExchangeFailure failure, std::string text) {
    failure_ = failure;
    failureText_ = std::move(text);
}

bool ClockExchanges::acknowledgedBy(Ipv4 sender) {
    if (acknowledgers_.size() >= kMaxAnsweringClocks ||
        std::find(acknowledgers_.begin(), acknowledgers_.end(), sender) != acknowledgers_.end()) {
        return false;
    }
    acknowledgers_.push_back(sender);
    return true;
}

bool ClockExchanges::startExchange(Ipv4 target, std::uint16_t port, const MovedClock& moved,
                                   Opened& opened) {
    fail(ExchangeFailure::kNone, {});
    acknowledgers_.clear();
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
    if (!opened.broadcast) {
        opened.moved = moved;
    }
    // The long wait goes by the address actually sent to: every broadcast, and also a
    // unicast address whose first octet is 255.
    opened.longWait = platform::FirstOctet(opened.to.address) == platform::kBroadcastAddressOctet;
    if (opened.broadcast) {
        opened.interfaces =
            platform::BroadcastInterfaces(network_.interfaces(), broadcastInterfaceNames_);
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

// Receives datagrams until the line has been quiet for `timeout`, onDatagram ends the
// exchange, or kMaxCollectTime has passed. Quiet means: nothing new. In a unicast exchange
// each datagram of the clock that it has not sent before in this exchange starts the wait
// again (the chunks of its reply, a reply after junk); its repeats do not, and strangers are
// dropped unheard. In a broadcast only a clock counted for the first time starts it again
// (onDatagram says kNews). Datagrams of the wrong size or from this machine, and receives
// that fail, are dropped; the others go to onDatagram(from, sender). A wait that times out
// or fails ends the collection.
template <typename OnDatagram>
void ClockExchanges::collect(const Opened& opened, std::chrono::milliseconds timeout,
                             std::span<std::uint8_t> buffer, std::size_t frameSize,
                             OnDatagram onDatagram) {
    const std::uint32_t start = network_.tickCount();
    std::uint32_t lastHeard = start;
    const auto limit = static_cast<std::uint32_t>(kMaxCollectTime.count());
    RepeatFilter repeats;
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
        if (size < 0) {
            continue;  // the datagram announced by the wait was discarded after all
        }
        const Sender sender = opened.senderOf(from.address);
        if (sender == Sender::kStranger) {
            continue;
        }
        if (!opened.broadcast && sender == Sender::kClock &&
            repeats.fresh(buffer.first(std::min(static_cast<std::size_t>(size), buffer.size())))) {
            lastHeard = network_.tickCount();
        }
        if (static_cast<std::size_t>(size) != frameSize || IsLocalSender(state_, from.address)) {
            continue;
        }
        const Heard heard = onDatagram(from, sender);
        if (heard == Heard::kDone) {
            return;
        }
        if (heard == Heard::kNews) {
            lastHeard = network_.tickCount();
        }
    }
}

int ClockExchanges::ExchangeFullFrame(Ipv4 target, const MovedClock& moved) {
    Opened opened;
    if (!startExchange(target, kFullFramePort, moved, opened)) {
        return kExchangeNoAnswer;
    }
    SettingsFrame& frame = state_.settingsFrame;
    const std::uint8_t type = frame[kFrameTypeOffset];
    std::copy(kMagic.begin(), kMagic.end(), frame.begin() + kMagicOffset);
    opened.send(frame);
    if (opened.broadcast) {
        network_.sleep(kBroadcastSendPause);
    }

    frame.fill(0);
    // Replies are received aside and copied into the frame only when taken, so a stray
    // datagram never overwrites a clock's reply.
    SettingsFrame received{};
    bool answered = false;
    const auto timeout = opened.timeout(kBroadcastFrameTimeout, kFullFrameTimeout);
    collect(opened, timeout, received, kSettingsFrameSize,
            [&](const Endpoint& from, Sender sender) {
                const bool awaited = IsAwaitedReply(received, type);
                if (opened.broadcast) {
                    if (!awaited || !acknowledgedBy(from.address)) {
                        return Heard::kNothing;
                    }
                    frame = received;
                    return Heard::kNews;
                }
                if (sender == Sender::kBySerial &&
                    !(awaited && CarriesSerialNumber(received, kSerialNumberOffset,
                                                     kSerialNumberSize, opened.moved))) {
                    return Heard::kNothing;
                }
                frame = received;
                answered = awaited;
                return awaited ? Heard::kDone : Heard::kNothing;
            });
    opened.socket.reset();

    if (opened.broadcast) {
        return static_cast<int>(acknowledgers_.size());
    }
    return answered ? kExchangeAcknowledged : kExchangeNoAnswer;
}

int ClockExchanges::ExchangeChunkedFrame(Ipv4 target, const MovedClock& moved) {
    Opened opened;
    if (!startExchange(target, kChunkPort, moved, opened)) {
        return kExchangeNoAnswer;
    }
    const std::uint8_t type = state_.settingsFrame[kFrameTypeOffset];

    FrameChunk chunk{};
    int failedSends = 0;
    for (;;) {
        const std::uint8_t remaining = BuildNextChunk(state_, chunk, nonces_);
        if (!opened.send(chunk)) {
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

    // Only whole replies ever reach the frame.
    state_.settingsFrame.fill(0);
    ChunkReplies replies;
    bool answered = false;
    const auto timeout = opened.timeout(kBroadcastFrameTimeout, kChunkedTimeout);
    collect(opened, timeout, chunk, kChunkSize, [&](const Endpoint& from, Sender sender) {
        const SettingsFrame* whole = replies.take(from.address, chunk);
        if (whole == nullptr) {
            return Heard::kNothing;
        }
        const bool awaited = IsAwaitedReply(*whole, type);
        if (opened.broadcast) {
            return awaited && acknowledgedBy(from.address) ? Heard::kNews : Heard::kNothing;
        }
        if (sender == Sender::kBySerial &&
            !(awaited &&
              CarriesSerialNumber(*whole, kSerialNumberOffset, kSerialNumberSize, opened.moved))) {
            return Heard::kNothing;
        }
        state_.settingsFrame = *whole;
        answered = awaited;
        return awaited ? Heard::kDone : Heard::kNothing;
    });
    opened.socket.reset();

    if (opened.broadcast) {
        return static_cast<int>(acknowledgers_.size());
    }
    return answered ? kExchangeAcknowledged : kExchangeNoAnswer;
}

int ClockExchanges::ExchangeCommandFrame(std::uint8_t command, Ipv4 target,
                                         const MovedClock& moved) {
    Opened opened;
    if (!startExchange(target, kCommandPort, moved, opened)) {
        return kCommandNoAnswer;
    }
    CommandFrame& frame = state_.commandFrame;
    if (command != ToByte(CommandCode::kWrite)) {
        frame.fill(0);
    }
    SealCommandFrame(frame, command, RequestMarker::kSet);
    opened.send(frame);

    bool answered = false;
    CommandFrame received{};
    const auto timeout = opened.timeout(kBroadcastCommandTimeout, kCommandTimeout);
    collect(opened, timeout, received, kCommandFrameSize, [&](const Endpoint& from, Sender sender) {
        const bool valid =
            received[kRequestMarkerOffset] == kRequestMarker && CheckCommandFrame(received);
        const bool awaited = valid && received[kCommandCodeOffset] == command;
        if (opened.broadcast) {
            if (!awaited || !acknowledgedBy(from.address)) {
                return Heard::kNothing;
            }
            frame = received;
            return Heard::kNews;
        }
        if (sender == Sender::kBySerial) {
            if (!(awaited && CarriesSerialNumber(received, kEarlySerialNumberOffset,
                                                 kEarlySerialNumberSize, opened.moved))) {
                return Heard::kNothing;
            }
        } else if (!valid) {
            // A reply of the right size from the clock replaces what the frame held; only a
            // valid one is kept in it.
            frame.fill(0);
            return Heard::kNothing;
        }
        frame = received;
        answered = awaited;
        return awaited ? Heard::kDone : Heard::kNothing;
    });
    opened.socket.reset();

    if (opened.broadcast) {
        return acknowledgers_.empty() ? kCommandNoAnswer : static_cast<int>(acknowledgers_.size());
    }
    return answered ? kCommandAcknowledged : kCommandNoAnswer;
}

bool StartSockets(platform::Network& network) {
    return network.openUdp() != nullptr;
}

}  // namespace tavlo::protocol
