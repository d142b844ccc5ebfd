// Many clocks over one socket per port. The clocks answer to the port they were asked from
// (6866 or 6869), so this machine can bind each port once only: when several clocks are read
// or written at once, their exchanges share that one socket, and a demultiplexer hands each
// datagram to the exchange of the clock that sent it.
//
// SharedPorts owns the shared sockets and their receive threads. Each clock gets a Network of
// its own (networkFor) that the unchanged exchanges run on: its sockets "bind" the shared
// socket of their port, send through it and receive only what their clock sends, plus what no
// clock in flight sends (a clock answering from the address a write gave it is heard that
// way; the exchange itself drops every other stranger). A datagram of clock B never reaches
// the exchange of clock A.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Network.h"

namespace tavlo::workflow {

class SharedPorts {
  public:
    // Datagrams a clock's socket keeps before it drops further ones (as a full kernel buffer).
    static constexpr std::size_t kMaxQueuedDatagrams = 256;

    explicit SharedPorts(platform::Network& network);
    ~SharedPorts();
    SharedPorts(const SharedPorts&) = delete;
    SharedPorts& operator=(const SharedPorts&) = delete;

    // The network for the exchanges with the clock at `clock`. It must not outlive this object.
    // Time, sleep and the local addresses are those of the underlying network.
    std::unique_ptr<platform::Network> networkFor(platform::Ipv4 clock);

    class Port;
    class Mailbox;

  private:
    friend class ClockSocket;
    // The shared socket of `port`, opened and bound on first use; nullptr and the socket's
    // failure when it cannot be bound.
    Port* port(std::uint16_t number, std::string& error, platform::SocketError& kind);

    platform::Network& network_;
    std::mutex mutex_;
    std::map<std::uint16_t, std::unique_ptr<Port>> ports_;
};

}  // namespace tavlo::workflow
