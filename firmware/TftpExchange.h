// One firmware transfer's TFTP conversation with a clock: every packet goes out through
// TftpExchange, which sends it and waits for the clock's acknowledgement, re-sending on
// time-out. The whole transfer uses one socket and so one local port: TFTP peers identify a
// transfer by its ports, and the clocks accept any.
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
    // send (used when the worker's owner goes away).
    TftpClient(platform::Network& network, platform::Ipv4 clock, UpdateState& state,
               ConfirmBreak confirmBreak, std::stop_token stop = {});

    // Opens and binds the transfer's socket (any local address, a port the system
    // chooses). False when that fails; every exchange then gives up at once.
    bool Open();

    // Sends one packet until the clock acknowledges it. Returns the acknowledged block
    // number plus 1 (1 to 65536), or kExchangeGaveUp after 60 sends without an
    // acknowledgement or when a break was confirmed. An acknowledgement of a block later
    // than `block` cannot belong to this transfer and counts as no acknowledgement; an
    // earlier one is taken (the caller sends again from there).
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
    struct Reply {
        bool acknowledgement = false;
        std::uint16_t block = 0;
    };
    Reply AwaitReply(platform::Endpoint& destination, std::uint32_t block);
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
    std::uint16_t peerPort_ = 0;
    bool peerFixed_ = false;
    int sendCount_ = 0;
    std::optional<ErrorPacket> lastRefusal_;
    std::vector<std::uint8_t> datagram_;  // the packet being sent, storage kept across blocks
};

}  // namespace tavlo::firmware
