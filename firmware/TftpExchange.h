// One firmware transfer's TFTP conversation with a clock: every packet goes out through
// TftpExchange, which sends it and waits for the clock's acknowledgement, re-sending on
// time-out. The whole transfer uses one socket and so one local port: TFTP peers identify a
// transfer by its ports, and the clocks accept any.
//
// The write request waits a second for its acknowledgement and goes at most 60 times. A data
// block waits as long as the RetransmitTimer says (a few round trips, or the fixed second in
// broadcast mode and for WaitPolicy::kFixed), and the transfer gives up once no
// acknowledgement has come for kGiveUpAfter; with the fixed wait, after 60 sends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "firmware/RetransmitTimer.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateState.h"
#include "platform/Network.h"

namespace tavlo::firmware {

enum class ExchangeKind {
    kRequest,  // the given bytes are sent as they are, to the TFTP server port
    kData,     // a data packet is built from the block number and the data bytes
};

inline constexpr int kMaxSends = 60;
inline constexpr std::chrono::milliseconds kAcknowledgementWait{1000};
// A data block with the adaptive wait: the time 60 sends a second apart would have given the
// clock. A clock that pauses (erasing its flash) is waited for this long.
inline constexpr std::chrono::milliseconds kGiveUpAfter = kMaxSends * kAcknowledgementWait;
inline constexpr std::chrono::milliseconds kPauseAfterRequestAcknowledged{3000};
inline constexpr std::size_t kReceiveSize = 54;
inline constexpr int kExchangeGaveUp = -1;
// In broadcast mode datagrams that are not acknowledgements are skipped and waited past;
// this many per send at most, so a chatty network cannot hold an exchange forever.
inline constexpr int kMaxSkippedPerSend = 16;
// In unicast mode datagrams from anyone but the clock (another address, or once the clock's
// first acknowledgement has fixed its port, another port) are waited past, and the first
// this many per send are answered with "Unknown transfer ID"; the wait for the clock ends
// when it would have ended without them.
inline constexpr int kMaxStrangersPerSend = 64;
// Datagrams still queued from an earlier exchange are discarded before the first send of
// the next one (at most this many).
inline constexpr int kMaxStaleDatagrams = 64;

class TftpClient {
  public:
    // Called when the break flag is found set before a send: true to stop the update.
    using ConfirmBreak = std::function<bool()>;

    // `clock` in network byte order. An address ending in 255 (or 255.255.255.255) selects
    // broadcast mode: every packet goes to 255.255.255.255 with broadcast switched on.
    // A stop requested through `stop` makes the exchange give up quietly before its next
    // send (used when the worker's owner goes away). `policy` sets the wait of the data
    // blocks in unicast mode (broadcast mode always waits the fixed second).
    TftpClient(platform::Network& network, platform::Ipv4 clock, UpdateState& state,
               ConfirmBreak confirmBreak, std::stop_token stop = {},
               WaitPolicy policy = WaitPolicy::kAdaptive);

    // Broadcast mode: the interfaces the packets leave by (their names); empty (the start):
    // every interface with a broadcast address. Set before Open.
    void SetBroadcastInterfaces(std::vector<std::string> names) {
        broadcastInterfaceNames_ = std::move(names);
    }

    // Opens and binds the transfer's socket (any local address, a port the system
    // chooses). False when that fails; every exchange then gives up at once.
    bool Open();

    // Sends one packet until the clock acknowledges it. Returns the acknowledged block
    // number plus 1 (1 to 65536), or kExchangeGaveUp when the clock has not acknowledged it
    // in time (see above) or when a break was confirmed. An acknowledgement of a block later
    // than `block` cannot belong to this transfer and counts as no acknowledgement.
    // An earlier one is taken once per block, before any timed resend (the clock asks for
    // the blocks after it again; the caller sends again from there), unless it is the
    // clock's answer to one of our own extra sends of the previous packet; any other is
    // waited past, so a duplicate acknowledgement never makes a packet go again.
    // `whileWaiting`, when given, runs once per exchange: right after the first send (while
    // the clock works), or before the break question if that comes first.
    int TftpExchange(std::span<const std::uint8_t> payload, std::uint32_t block, ExchangeKind kind,
                     const std::function<void()>& whileWaiting = {});

    bool BroadcastMode() const { return broadcast_; }
    std::uint16_t PeerPort() const { return peerPort_; }
    // Unicast mode: the clock's first acknowledgement has fixed the port it speaks from.
    bool PeerPortFixed() const { return peerFixed_; }
    // Datagrams sent so far in this transfer.
    int SendCount() const { return sendCount_; }
    // The clock's last answer, when it was an error packet (a clock that refuses the file);
    // nothing once the clock has answered otherwise since.
    const std::optional<ErrorPacket>& LastRefusal() const { return lastRefusal_; }
    std::string LastError() const;

  private:
    enum class ReplyKind {
        kNone,             // the wait ran out
        kOther,            // a datagram of the clock's that ends the wait but acknowledges nothing
        kAcknowledgement,  // of the packet out, or an earlier one taken
    };
    struct Reply {
        ReplyKind kind = ReplyKind::kNone;
        std::uint16_t block = 0;
    };
    // The packet out now, over the exchanges that send it (the clock may ask for it again).
    struct Outstanding {
        bool request = true;
        std::uint32_t block = 0;
        // Sent before in this transfer (the clock asked for earlier blocks again): its
        // acknowledgement gives no round trip.
        bool repeat = false;
        int sends = 0;
        int resends = 0;
        bool earlierTaken = false;
        std::uint32_t lastSendTick = 0;
    };
    // The packet acknowledged last: how often it went, and how many of its acknowledgements
    // came; more than it went are the clock asking again.
    struct Answered {
        bool valid = false;
        std::uint32_t block = 0;
        int sends = 0;
        int acknowledgements = 0;
    };
    void StartPacket(ExchangeKind kind, std::uint32_t block);
    bool FixedWait(ExchangeKind kind) const;
    // False when the transfer has to give up before this send.
    bool MaySend(ExchangeKind kind, int attempt);
    std::chrono::milliseconds WaitAfterSend(ExchangeKind kind);
    Reply AwaitReply(platform::Endpoint& destination, std::uint32_t block,
                     std::chrono::milliseconds wait, bool waitPastOthers);
    // What an acknowledgement of `acknowledged` means while `block` is out.
    ReplyKind Classify(std::uint16_t acknowledged, std::uint32_t block);
    void Acknowledged(ExchangeKind kind);
    void CountRepeatOfAnswered(std::span<const std::uint8_t> datagram,
                               const platform::Endpoint& from);
    // Unicast mode: the datagram comes from the clock's address and, once fixed, its port.
    bool FromClock(const platform::Endpoint& from) const;
    void RefuseStranger(const platform::Endpoint& from);
    void DiscardStaleDatagrams();
    void PauseUnlessStopped(std::chrono::milliseconds pause);
    bool StopRequested() const;

    platform::Network& network_;
    platform::Ipv4 clock_;
    UpdateState& state_;
    ConfirmBreak confirmBreak_;
    std::stop_token stop_;
    std::unique_ptr<platform::UdpSocket> socket_;
    bool broadcast_ = false;
    std::vector<std::string> broadcastInterfaceNames_;
    std::vector<std::uint32_t> broadcastInterfaces_;  // a broadcast leaves by each of them
    std::uint16_t peerPort_ = 0;
    bool peerFixed_ = false;
    int sendCount_ = 0;
    std::optional<ErrorPacket> lastRefusal_;
    RetransmitTimer timer_;
    Outstanding outstanding_;
    Answered answered_;
    std::uint32_t highestSent_ = 0;
    // With the adaptive wait: no acknowledgement of a new packet by this tick, give up.
    std::uint32_t giveUpTick_ = 0;
    std::vector<std::uint8_t> datagram_;  // the packet being sent, storage kept across blocks
};

}  // namespace tavlo::firmware
