// One UDP port of the clock protocol (6866 or 6869) for every simulated clock: takes each
// datagram, finds the clocks it is for (the one addressed, or every clock of the kind for a
// broadcast), lets them answer, and sends each reply from the answering clock's own address.
#pragma once

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/EventLoop.h"
#include "tools/clocksim/SimContext.h"
#include "tools/clocksim/UdpPort.h"

namespace tavlo::clocksim {

// The kinds of clock that take a datagram of `size` bytes on `port`.
std::vector<ClockKind> KindsServed(std::uint16_t port, std::size_t size);

class ClockPortService final : public Service {
  public:
    ClockPortService(std::unique_ptr<UdpPort> socket, SimContext context,
                     protocol::NonceSource& nonces);

    int Fd() const override { return socket_->Fd(); }
    void OnReadable() override;
    std::string Describe() const override;

    // Datagrams taken per wake-up at most, so that timers still run under a flood.
    static constexpr int kMaxDatagramsPerWake = 4096;
    // Larger datagrams are read as "too large" without their contents.
    static constexpr std::size_t kReceiveBufferSize = 2048;

    // A flooding clock sends a batch of its repeated reply this often.
    static constexpr std::chrono::milliseconds kFloodInterval{10};

  private:
    // What a flooding clock (Faults::floodPerSecond) repeats, and to whom.
    struct Flood {
        platform::Endpoint to;
        std::vector<Datagram> replies;
        std::size_t next = 0;
    };

    void Handle(const ReceivedDatagram& datagram, std::span<const std::uint8_t> bytes);
    void Send(platform::Ipv4 from, platform::Endpoint to, const Datagram& bytes);
    // Remembers the clock's last reply and its asker, and starts repeating it.
    void StartFlood(const SimClock& clock, platform::Endpoint to,
                    const std::vector<Datagram>& replies);
    void FloodBatch(platform::Ipv4 clock, int perSecond);
    // Moves a clock that took a unicast write giving it another address (MoveOnWrite): to
    // its new static address when that is spare, or after a switch to dynamic IP (it was
    // static: not `wasDynamic`) to the first spare address. The new address, or nothing.
    std::optional<platform::Ipv4> MoveAfterWrite(SimClock& clock, bool wasDynamic);

    std::unique_ptr<UdpPort> socket_;
    SimContext context_;
    ClockResponder responder_;
    std::array<std::uint8_t, kReceiveBufferSize> buffer_{};
    std::map<platform::Ipv4, Flood> floods_;
};

}  // namespace tavlo::clocksim
