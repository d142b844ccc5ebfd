// FakeNetwork: an in-memory platform::Network with a virtual millisecond clock, for unit tests
// of the exchanges, discovery, TFTP and the window. Nothing touches a real socket and no test
// waits in real time.
//
// Time
//   now() is the virtual time in ms, starting at 0. sleep(d) advances it by d. A socket's
//   waitReadable(t) returns kReadable at once when a datagram for it is due; otherwise it
//   advances the clock to that socket's next delivery if that comes within t (and returns
//   kReadable), else advances by t and returns kTimeout. tickCount() is tickBase + now()
//   (wrapping at 2^32), timeSeconds() is epochBase + now() / 1000; set both with
//   setTickBase() / setEpochSeconds().
//
// Sockets
//   openUdp() gives a socket (nullptr after failOpenUdp(true)); the FakeNetwork must outlive
//   its sockets. bind(addr, port) takes the
//   port (0: an ephemeral port from 49152 up); binding a port another open fake socket holds
//   fails with SocketError::kAddressInUse, like the kernel. A socket that sends before binding
//   gets an ephemeral port. Sending to 255.255.255.255 without enableBroadcast() fails with
//   kAccessDenied, like the kernel. receiveFrom() copies at most the buffer's size and returns
//   the datagram's real size. sockets() lists every socket ever opened with its options.
//
// Deliveries
//   deliver(toPort, from, bytes, delay) schedules a datagram for the socket bound to toPort,
//   due at now() + delay. It is handed to whichever socket holds that port when it falls due;
//   when no socket holds the port then, it is lost (like a datagram to a closed port).
//
// Sends and scripted peers
//   Every successful send is recorded in sent() (time, from, to, bytes, broadcast flag). After
//   recording, the send handlers run (outside the lock, so they may call deliver()):
//     - onSend(handler): sees every send;
//     - addPeer(address, handler): sees sends addressed to `address` and every broadcast
//       (to 255.255.255.255); this is how a test scripts a clock at `address`.
//   A peer added with an interface index sits on that interface's segment: it hears the
//   broadcasts sent out of that interface (sendOn), and those sent with sendTo only when its
//   interface is the first of setInterfaces() (a limited broadcast leaves by one interface).
//   A peer answers with reply(request, fromAddress, bytes, delay), which delivers `bytes` to the
//   requesting socket's port from fromAddress:request.to.port.
//   echoBroadcastsFrom(address) makes every broadcast come back to the sending port from
//   address:port at once, as the kernel loops a broadcast back to a listening socket; pass 0
//   to stop. The echo is scheduled before the handlers run, so it arrives before any reply
//   that is due at the same time.
//
// Interfaces
//   setInterfaces() gives interfaces() its list and the local addresses theirs; without it
//   interfaces() lists the local addresses without names. A socket's receiveBufferSize() is
//   what it asked for. After limitReceiveBuffers(true) a socket holds at most that many bytes
//   of datagrams that fell due and were not received yet (kDefaultReceiveBuffer when it asked
//   for none); further datagrams are lost, as the kernel drops them.
//
// Failure injection
//   failOpenUdp(bool), failBind(reason, kind) (every bind fails until clearBindFailure()),
//   failSends(n) (the next n sends fail; kAlways: every send), failWaits(n) (the next n waits
//   return kError), failReceives(n) (the next n receives that find a datagram discard it and
//   return -1, as when the kernel drops a datagram it had announced).
//
// Thread safety: every member may be called from any thread; one mutex guards all state.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Network.h"

namespace tavlo::test {

struct SentDatagram {
    std::uint64_t timeMs = 0;  // virtual time of the send
    platform::Endpoint from;   // the sending socket's bound address (0 for any) and port
    platform::Endpoint to;     // as passed to sendTo
    std::vector<std::uint8_t> bytes;
    bool broadcast = false;            // sent to 255.255.255.255
    int socketId = 0;                  // index into sockets()
    std::uint32_t interfaceIndex = 0;  // sendOn's interface, 0 for sendTo
};

struct SocketRecord {
    bool open = true;
    bool broadcastEnabled = false;
    int receiveBuffer = 0;  // the last size asked for, 0 if never
    bool bound = false;
    platform::Endpoint boundTo;  // address and port of the bind
};

class FakeNetwork final : public platform::Network {
  public:
    using SendHandler = std::function<void(const SentDatagram&, FakeNetwork&)>;
    static constexpr int kAlways = -1;
    static constexpr std::uint16_t kFirstEphemeralPort = 49152;
    static constexpr int kDefaultReceiveBuffer = 212992;

    FakeNetwork();
    ~FakeNetwork() override;

    // --- platform::Network ---
    std::unique_ptr<platform::UdpSocket> openUdp() override;
    void sleep(std::chrono::milliseconds duration) override;
    std::uint32_t tickCount() override;
    std::int64_t timeSeconds() override;
    std::vector<platform::Ipv4> localAddresses() override;
    std::vector<platform::NetworkInterface> interfaces() override;

    // --- clock ---
    std::uint64_t now() const;
    void advance(std::chrono::milliseconds duration);
    void setTickBase(std::uint32_t tickAtZero);
    void setEpochSeconds(std::int64_t secondsAtZero);

    // --- host ---
    void setLocalAddresses(std::vector<platform::Ipv4> addresses);
    void setInterfaces(std::vector<platform::NetworkInterface> interfaces);
    void limitReceiveBuffers(bool limit);

    // --- deliveries and peers ---
    void deliver(std::uint16_t toPort, platform::Endpoint from, std::vector<std::uint8_t> bytes,
                 std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    void reply(const SentDatagram& request, platform::Ipv4 fromAddress,
               std::vector<std::uint8_t> bytes,
               std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    void onSend(SendHandler handler);
    void addPeer(platform::Ipv4 address, SendHandler handler, std::uint32_t interfaceIndex = 0);
    void echoBroadcastsFrom(platform::Ipv4 address);
    // Datagrams scheduled and not yet received or lost.
    std::size_t pendingDeliveries() const;

    // --- failures ---
    void failOpenUdp(bool fail);
    void failBind(std::string reason,
                  platform::SocketError kind = platform::SocketError::kAddressInUse);
    void clearBindFailure();
    void failSends(int count);
    void failWaits(int count);
    void failReceives(int count);

    // --- records ---
    std::vector<SentDatagram> sent() const;
    void clearSent();
    std::vector<SocketRecord> sockets() const;
    int openSocketCount() const;

  private:
    class Socket;
    struct Delivery {
        std::uint64_t due = 0;
        std::uint64_t sequence = 0;  // keeps equal due times in scheduling order
        std::uint16_t toPort = 0;
        int owner = -1;  // the socket it was handed to when it fell due, -1 before
        platform::Endpoint from;
        std::vector<std::uint8_t> bytes;
    };
    struct Peer {
        platform::Ipv4 address = 0;
        SendHandler handler;
        std::uint32_t interfaceIndex = 0;
    };

    // Called by Socket, with the lock NOT held.
    bool bindSocket(int id, platform::Ipv4 address, std::uint16_t port, std::string& error,
                    platform::SocketError& kind);
    long sendFrom(int id, std::span<const std::uint8_t> data, platform::Endpoint to,
                  std::uint32_t interfaceIndex, std::string& error, platform::SocketError& kind);
    platform::WaitResult waitOn(int id, std::chrono::milliseconds timeout);
    long receiveOn(int id, std::span<std::uint8_t> buffer, platform::Endpoint& from);
    void closeSocket(int id);

    // With the lock held.
    void settleLocked();
    std::deque<Delivery>::iterator firstOwnedLocked(int id);
    int holderOfPortLocked(std::uint16_t port) const;
    std::uint16_t portOfLocked(int id) const;
    std::uint16_t ephemeralPortLocked();
    // Whether a peer on `peerInterface` hears a broadcast sent out of `sentOn` (0: sendTo).
    bool hearsBroadcastLocked(std::uint32_t peerInterface, std::uint32_t sentOn) const;
    // Bytes fallen due for socket `id` and not received yet.
    std::size_t queuedBytesLocked(int id) const;
    void scheduleLocked(std::uint16_t toPort, platform::Endpoint from,
                        std::vector<std::uint8_t> bytes, std::uint64_t due);

    mutable std::mutex mutex_;
    std::uint64_t now_ = 0;
    std::uint32_t tickBase_ = 0;
    std::int64_t epochBase_ = 0;
    std::vector<platform::Ipv4> localAddresses_;
    std::vector<platform::NetworkInterface> interfaces_;
    bool limitReceiveBuffers_ = false;
    std::vector<SocketRecord> sockets_;
    std::deque<Delivery> deliveries_;
    std::uint64_t nextSequence_ = 0;
    std::uint16_t nextEphemeral_ = kFirstEphemeralPort;
    std::vector<SentDatagram> sent_;
    std::vector<SendHandler> sendHandlers_;
    std::vector<Peer> peers_;
    platform::Ipv4 echoFrom_ = 0;
    bool failOpen_ = false;
    bool failBind_ = false;
    std::string bindReason_;
    platform::SocketError bindKind_ = platform::SocketError::kNone;
    int failSends_ = 0;
    int failWaits_ = 0;
    int failReceives_ = 0;
};

}  // namespace tavlo::test
