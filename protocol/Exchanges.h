// The three blocking request/response exchanges with one clock (unicast) or every clock of
// the segment (broadcast), and the start-up check of the sockets layer.
//
// Each exchange opens its own socket, binds the well-known port it sends to, sends, collects
// replies and closes the socket, returning a small code. What an exchange waits for follows
// from its request: a reply with flag bit 0 and the request's frame type (for a read: the
// record; for a write: its acknowledgement, never a late read reply), or for a command frame
// a valid reply (request marker 1, checksum) carrying the request's command.
//
// A unicast exchange hears its target alone (and, for a write that moves the clock, the
// clock at its new place): datagrams from other addresses are neither taken nor waited for.
// It ends as soon as the awaited reply is complete, and otherwise once the clock has sent
// nothing new for the exchange's time-out: a datagram the clock already sent in this exchange
// (a clock repeating itself) keeps nobody waiting.
//
// A broadcast counts the distinct clocks whose reply is the awaited one (a wired clock's
// chunks reassembled per sender), each clock once, and waits until no new clock has
// answered for the time-out: a stranger, junk or a clock answering twice never holds it open.
//
// Replies land in the shared ProtocolState: the SettingsFrame for ExchangeFullFrame and
// ExchangeChunkedFrame, the CommandFrame for ExchangeCommandFrame.
// Only one exchange or discovery may run at a time (they share the frames and the ports).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/ProtocolState.h"

namespace tavlo::protocol {

// Result codes. A broadcast returns the number of clocks that answered instead (a plain int,
// never cut to a byte).
inline constexpr int kExchangeAcknowledged = 1;  // unicast: the awaited reply came
inline constexpr int kExchangeNoAnswer = 255;    // full and chunked
inline constexpr int kCommandAcknowledged = 1;   // unicast command
inline constexpr int kCommandNoAnswer = -1;      // command exchange

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
// A broadcast counts at most this many clocks, and rebuilds chunked replies of at most this
// many senders at once.
inline constexpr std::size_t kMaxAnsweringClocks = 4096;
// A unicast exchange remembers this many datagrams of its clock to know a repeat; beyond
// them nothing the clock sends keeps the exchange waiting.
inline constexpr std::size_t kMaxRememberedDatagrams = 1024;

// A target that is 0 or whose last octet is 0 (a network address) is never sent to.
bool IsRejectedTarget(platform::Ipv4 target);
// Last octet 255 (this includes 255.255.255.255): sent to 255.255.255.255 with SO_BROADCAST.
bool IsBroadcastTarget(platform::Ipv4 target);
// An address that reaches one clock: neither rejected nor a broadcast.
bool IsSingleClockTarget(platform::Ipv4 target);
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

// Who else may answer a unicast write that moves the clock: a write that gives it another
// address, or switches it to dynamic IP. The default hears the target alone.
struct MovedClock {
    // The address the write gives the clock (the clock may answer from there at once).
    std::optional<platform::Ipv4> newAddress;
    // After a switch to dynamic IP nobody knows the new address yet: any sender whose reply
    // carries this serial number (the text of the reply's serial-number field up to its first
    // zero byte) is the clock. Empty: nobody is heard by serial number.
    std::string serialNumber;
};

class ClockExchanges {
  public:
    ClockExchanges(platform::Network& network, ProtocolState& state, NonceSource& nonces);

    // Sends the SettingsFrame whole to port 6866. Unicast: 1 when the awaited reply came
    // (it is then in the frame), else 255 (the frame holds the clock's last reply, or zeros).
    // Broadcast: the number of clocks that sent the awaited reply. Rejected target, no
    // socket, failed bind: 255 at once.
    int ExchangeFullFrame(platform::Ipv4 target, const MovedClock& moved = {});

    // Sends the SettingsFrame as chunks to port 6869 and rebuilds the replies, each sender's
    // apart. A reply counts only when its chunks came in turn up to its last; a chunk 1 starts
    // a new reply. Unicast: 1 when the awaited reply came whole (it is then in the frame),
    // else 255 (the frame holds the clock's last whole reply, or zeros; never part of one).
    // Broadcast: the number of clocks that sent the awaited reply. Rejected target, no
    // socket, failed bind or 16 failed sends: 255.
    int ExchangeChunkedFrame(platform::Ipv4 target, const MovedClock& moved = {});

    // Sends the CommandFrame (cleared first unless command is 2) to port 6869. Unicast: 1 on
    // the first valid reply carrying the command (which ends the exchange), else -1.
    // Broadcast: the number of clocks that sent one, or -1 when none did. Rejected target,
    // no socket, failed bind: -1.
    int ExchangeCommandFrame(std::uint8_t command, platform::Ipv4 target,
                             const MovedClock& moved = {});

    // The interfaces the next broadcasts leave by: those named (an interface's name, as
    // platform::NetworkInterface gives it), or every interface with a broadcast address when
    // `names` is empty (the start).
    void setBroadcastInterfaces(std::vector<std::string> names) {
        broadcastInterfaceNames_ = std::move(names);
    }

    // The clocks the last broadcast counted, in the order they answered.
    const std::vector<platform::Ipv4>& lastAcknowledgers() const { return acknowledgers_; }

    // Why the last exchange could not even wait for replies (kNone when it could), and the
    // system's text for it.
    ExchangeFailure lastFailure() const { return failure_; }
    const std::string& lastFailureText() const { return failureText_; }

  private:
    struct Opened;
    enum class Sender : std::uint8_t;
    enum class Heard : std::uint8_t;
    // Starts an exchange: clears the last failure and the acknowledgers, puts the chunk
    // machinery back to idle, then rejects a network address or opens, configures and binds
    // the socket. False when nothing may be sent.
    bool startExchange(platform::Ipv4 target, std::uint16_t port, const MovedClock& moved,
                       Opened& opened);
    template <typename OnDatagram>
    void collect(const Opened& opened, std::chrono::milliseconds timeout,
                 std::span<std::uint8_t> buffer, std::size_t frameSize, OnDatagram onDatagram);
    // A broadcast's answer from `sender`: true when it is a clock not counted yet.
    bool acknowledgedBy(platform::Ipv4 sender);
    void fail(ExchangeFailure failure, std::string text);

    platform::Network& network_;
    ProtocolState& state_;
    NonceSource& nonces_;
    ExchangeFailure failure_ = ExchangeFailure::kNone;
    std::string failureText_;
    std::vector<platform::Ipv4> acknowledgers_;
    std::vector<std::string> broadcastInterfaceNames_;
};

// Checks once that a UDP socket can be opened; false means the program cannot talk to clocks
// ("Socket Init Error!").
bool StartSockets(platform::Network& network);

}  // namespace tavlo::protocol
