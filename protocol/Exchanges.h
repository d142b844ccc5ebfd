// The three blocking request/response exchanges with one clock (unicast) or every clock of
// the segment (broadcast), and the start-up check of the sockets layer.
//
// Each exchange opens its own socket, binds the well-known port it sends to, sends, collects
// replies until the line stays quiet for the exchange's time-out, closes the socket and
// returns a small code. A unicast exchange hears its target alone: datagrams from other
// addresses are neither taken nor waited for. Replies land in the shared ProtocolState: the
// SettingsFrame for ExchangeFullFrame and ExchangeChunkedFrame, the CommandFrame for
// ExchangeCommandFrame.
// Only one exchange or discovery may run at a time (they share the frames and the ports).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/ProtocolState.h"

namespace tavlo::protocol {

// Result codes.
inline constexpr std::uint8_t kExchangeAcknowledged = 1;  // unicast: flag bit 0 set
inline constexpr std::uint8_t kExchangeNoAnswer = 255;    // full and chunked
inline constexpr std::int32_t kCommandAcknowledged = 1;   // unicast command
inline constexpr std::int32_t kCommandNoAnswer = -1;      // command exchange

// Waits: the time-out of every wait for the next datagram.
inline constexpr std::chrono::milliseconds kFullFrameTimeout{1000};
inline constexpr std::chrono::milliseconds kChunkedTimeout{500};
inline constexpr std::chrono::milliseconds kCommandTimeout{100};
inline constexpr std::chrono::milliseconds kBroadcastFrameTimeout{2000};    // full, chunked
inline constexpr std::chrono::milliseconds kBroadcastCommandTimeout{1000};  // command
// Pause after each broadcast send of the full and chunked exchanges.
inline constexpr std::chrono::milliseconds kBroadcastSendPause{100};
// No exchange collects replies for longer than this, however chatty the line stays.
inline constexpr std::chrono::milliseconds kMaxCollectTime{30000};
// ExchangeChunkedFrame gives up after this many failed chunk sends.
inline constexpr int kMaxFailedChunkSends = 16;
// Receive buffer asked for by sockets that collect broadcast replies.
inline constexpr int kBroadcastReceiveBuffer = 1 << 20;

// A target that is 0 or whose last octet is 0 (a network address) is never sent to.
bool IsRejectedTarget(platform::Ipv4 target);
// Last octet 255 (this includes 255.255.255.255): sent to 255.255.255.255 with SO_BROADCAST.
bool IsBroadcastTarget(platform::Ipv4 target);
// The sender is one of this machine's own addresses (a zero entry never matches).
bool IsLocalSender(const ProtocolState& state, platform::Ipv4 sender);

// Why the last exchange ended without a chance of an answer.
enum class ExchangeFailure {
    kNone,
    kNoSocket,     // no UDP socket could be opened
    kPortInUse,    // bind: another program holds the port
    kBindFailed,   // bind failed for another reason
    kSendsFailed,  // ExchangeChunkedFrame: kMaxFailedChunkSends sends failed
};

class ClockExchanges {
  public:
    ClockExchanges(platform::Network& network, ProtocolState& state, NonceSource& nonces);

    // Sends the SettingsFrame whole to port 6866. Unicast: 1 if the reply has flag bit 0
    // set, else 255. Broadcast: the number of 772-byte replies from other hosts, modulo 256.
    // Rejected target, no socket, failed bind: 255 at once.
    std::uint8_t ExchangeFullFrame(platform::Ipv4 target);

    // Sends the SettingsFrame as chunks to port 6869 and rebuilds a unicast reply in it.
    // Unicast: 1 if a whole reply came, its chunks in turn, and has flag bit 0 set, else 255
    // (a reply with a chunk missing, reordered or out of turn leaves the frame cleared and
    // gives 255). Broadcast: the number of 106-byte datagrams from other hosts, modulo 256.
    // Rejected target, no socket, failed bind or 16 failed sends: 255.
    std::uint8_t ExchangeChunkedFrame(platform::Ipv4 target);

    // Sends the CommandFrame (cleared first unless command is 2) to port 6869. Unicast: 1 on
    // the first valid reply (which ends the exchange), else -1. Broadcast: the number of valid
    // replies, or -1 when there was none. Rejected target, no socket, failed bind: -1.
    std::int32_t ExchangeCommandFrame(std::uint8_t command, platform::Ipv4 target);

    // Why the last exchange could not even wait for replies (kNone when it could), and the
    // system's text for it.
    ExchangeFailure lastFailure() const { return failure_; }
    const std::string& lastFailureText() const { return failureText_; }

  private:
    struct Opened;
    // Starts an exchange: clears the last failure, puts the chunk machinery back to idle,
    // then rejects a network address or opens, configures and binds the socket. False when
    // nothing may be sent.
    bool begin(platform::Ipv4 target, std::uint16_t port, Opened& opened);
    template <typename OnDatagram>
    void collect(const Opened& opened, std::chrono::milliseconds timeout,
                 std::span<std::uint8_t> buffer, std::size_t frameSize, OnDatagram onDatagram);
    void fail(ExchangeFailure failure, std::string text);

    platform::Network& network_;
    ProtocolState& state_;
    NonceSource& nonces_;
    ExchangeFailure failure_ = ExchangeFailure::kNone;
    std::string failureText_;
};

// Checks once that a UDP socket can be opened; false means the program cannot talk to clocks
// ("Socket Init Error!").
bool StartSockets(platform::Network& network);

}  // namespace tavlo::protocol
