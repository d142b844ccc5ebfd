// The network and time services the protocol layers use, behind a small interface so that
// exchanges, discovery and firmware transfer run unchanged over real sockets or over the
// in-memory fake network of the tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tavlo::platform {

// IPv4 address in network byte order, as inet_addr returns it.
using Ipv4 = std::uint32_t;

inline constexpr Ipv4 kAnyAddress = 0;
inline constexpr Ipv4 kLimitedBroadcast = 0xFFFFFFFFu;

struct Endpoint {
    Ipv4 address = 0;        // network byte order
    std::uint16_t port = 0;  // host byte order
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// One local IPv4 address and the interface it lives on.
struct NetworkInterface {
    std::string name;         // the interface's name ("eth0"; a Windows adapter's name)
    std::uint32_t index = 0;  // the system's interface index, 0 when unknown
    Ipv4 address = 0;         // network byte order
    Ipv4 netmask = 0;         // network byte order, 0 when unknown
    Ipv4 broadcast = 0;       // network byte order, 0 when the interface has none
    bool loopback = false;
    friend bool operator==(const NetworkInterface&, const NetworkInterface&) = default;
};

enum class WaitResult { kReadable, kTimeout, kError };

// What kind of failure lastError() describes.
enum class SocketError {
    kNone,
    kAddressInUse,  // bind: the port is taken by another socket or program
    kAccessDenied,  // bind to a privileged port, or send to a broadcast address without
                    // SO_BROADCAST
    kOther,
};

// One UDP socket. Closed when destroyed.
class UdpSocket {
  public:
    virtual ~UdpSocket() = default;

    // SO_BROADCAST on.
    virtual bool enableBroadcast() = 0;
    // Asks the kernel for a receive buffer of at least `bytes`.
    virtual bool setReceiveBuffer(int bytes) = 0;
    // Binds to `address` (kAnyAddress for all) and `port` (0 for any).
    virtual bool bind(Ipv4 address, std::uint16_t port) = 0;
    // The local port after bind (host order), 0 when unbound.
    virtual std::uint16_t localPort() const = 0;
    // Sends one datagram; returns the number of bytes sent, or -1.
    virtual long sendTo(std::span<const std::uint8_t> data, Endpoint to) = 0;
    // Waits until a datagram can be received or the time-out passes.
    virtual WaitResult waitReadable(std::chrono::milliseconds timeout) = 0;
    // Takes one datagram. At most buffer.size() bytes are copied; the result is the
    // datagram's real size (which may exceed the buffer, so callers can drop wrong sizes),
    // or -1 on failure.
    virtual long receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) = 0;
    // Waits up to `timeout` (0: not at all) for a datagram and takes it, as waitReadable and
    // receiveFrom together: the datagram's real size, kReceiveTimedOut when none came in
    // time, or -1 on failure. Implementations may do it in one step.
    static constexpr long kReceiveTimedOut = -2;
    virtual long receiveWithin(std::span<std::uint8_t> buffer, Endpoint& from,
                               std::chrono::milliseconds timeout) {
        switch (waitReadable(timeout)) {
            case WaitResult::kReadable:
                return receiveFrom(buffer, from);
            case WaitResult::kTimeout:
                return kReceiveTimedOut;
            case WaitResult::kError:
                break;
        }
        return -1;
    }
    // Sends one datagram out of the interface with the system index `interfaceIndex`, so that
    // a broadcast reaches that interface's segment only; as sendTo otherwise.
    virtual long sendOn(std::span<const std::uint8_t> data, Endpoint to,
                        std::uint32_t interfaceIndex) {
        static_cast<void>(interfaceIndex);
        return sendTo(data, to);
    }
    // The receive buffer the system granted (after setReceiveBuffer), 0 when unknown.
    virtual int receiveBufferSize() const { return 0; }
    // Asks the system for a send buffer of at least `bytes`: datagrams waiting for their
    // neighbour's address to resolve hold it, so a sweep of many silent addresses needs a
    // big one. False when the system has no such setting or refused it.
    virtual bool setSendBuffer(int bytes) {
        static_cast<void>(bytes);
        return false;
    }
    // Text of the last failure (bind, send, receive), empty when none.
    virtual std::string lastError() const = 0;
    // Kind of the last failure.
    virtual SocketError lastErrorKind() const {
        return lastError().empty() ? SocketError::kNone : SocketError::kOther;
    }
};

// Socket factory, clock and host facts.
class Network {
  public:
    virtual ~Network() = default;

    // A new UDP socket, or nullptr when none can be opened.
    virtual std::unique_ptr<UdpSocket> openUdp() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
    // Milliseconds since an arbitrary start (GetTickCount); wraps at 2^32.
    virtual std::uint32_t tickCount() = 0;
    // Seconds since the epoch (the run-time library's time()).
    virtual std::int64_t timeSeconds() = 0;
    // Every IPv4 address of this machine, on every interface, network byte order.
    virtual std::vector<Ipv4> localAddresses() = 0;
    // Every IPv4 address of this machine that is up, with its interface: one entry per
    // address. Without interface facts, the local addresses with no name, index or broadcast.
    virtual std::vector<NetworkInterface> interfaces() {
        std::vector<NetworkInterface> result;
        for (const Ipv4 address : localAddresses()) {
            NetworkInterface entry;
            entry.address = address;
            result.push_back(entry);
        }
        return result;
    }
};

// The real network over the system's sockets.
std::unique_ptr<Network> makeSystemNetwork();

}  // namespace tavlo::platform
