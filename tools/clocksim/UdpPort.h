// A UDP socket bound to 0.0.0.0 and one port that learns, for every datagram, the address it
// was sent to (IP_PKTINFO) and sends each reply from a chosen local address. One such socket
// serves every simulated clock on its port.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/Network.h"

namespace tavlo::clocksim {

struct ReceivedDatagram {
    std::size_t size = 0;             // real size, also when larger than the buffer
    platform::Endpoint from;          // sender
    platform::Ipv4 destination = 0;   // the address in the datagram's header
    platform::Ipv4 localAddress = 0;  // the local address it arrived for
};

class UdpPort {
  public:
    ~UdpPort();
    UdpPort(const UdpPort&) = delete;
    UdpPort& operator=(const UdpPort&) = delete;

    // Opens, sets IP_PKTINFO, SO_BROADCAST and buffers of `bufferBytes` (as far as the system
    // allows), binds 0.0.0.0:`port`. nullptr and `error` on failure (port in use, ...).
    static std::unique_ptr<UdpPort> Open(std::uint16_t port, int bufferBytes, std::string& error);

    int Fd() const { return fd_; }
    std::uint16_t Port() const { return port_; }
    int ReceiveBufferBytes() const;

    // Takes one waiting datagram without blocking; nothing when none waits (or on an error,
    // then `error` is set). At most buffer.size() bytes are copied.
    std::optional<ReceivedDatagram> Receive(std::span<std::uint8_t> buffer, std::string& error);
    // Sends `data` to `to` from the local address `from` (IP_PKTINFO ipi_spec_dst).
    bool SendFrom(platform::Ipv4 from, platform::Endpoint to, std::span<const std::uint8_t> data,
                  std::string& error);

  private:
    UdpPort(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace tavlo::clocksim
