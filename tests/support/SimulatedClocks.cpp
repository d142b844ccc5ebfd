#include "tests/support/SimulatedClocks.h"

#include <map>

#include "protocol/Frames.h"

namespace tavlo::test {
namespace {

constexpr std::chrono::milliseconds kReplyDelay{3};

class FixedNonce final : public protocol::NonceSource {
  public:
    std::uint32_t nextNonce() override { return kNonce; }

  private:
    static constexpr std::uint32_t kNonce = 0x3A61;
};

}  // namespace

// What the network's send handlers share with this object. They keep it alive; it falls
// silent (no clocks) when the object goes.
struct SimulatedClocks::Shared {
    mutable std::mutex mutex;
    std::map<platform::Ipv4, clocksim::SimClock> clocks;
    FixedNonce nonces;
    clocksim::ClockResponder responder{nonces};

    // The replies of the clock at `address` to `sent`, as the simulator builds them.
    std::vector<clocksim::Datagram> answer(platform::Ipv4 address, const SentDatagram& sent,
                                           std::uint64_t nowMs) {
        std::lock_guard lock(mutex);
        const auto it = clocks.find(address);
        if (it == clocks.end()) {
            return {};
        }
        clocksim::SimClock& clock = it->second;
        clocksim::Answer answer;
        if (clocksim::IsEarly(clock.kind)) {
            // Early clocks of the Wi-Fi family also answer the early probe on the frame port.
            const bool port = sent.to.port == protocol::kCommandPort ||
                              (clock.kind == clocksim::ClockKind::kEarlyWifi &&
                               sent.to.port == protocol::kFullFramePort);
            if (port) {
                answer = responder.OnCommandFrame(clock, sent.bytes);
            }
        } else if (clock.kind == clocksim::ClockKind::kWired) {
            if (sent.to.port == protocol::kChunkPort) {
                answer = responder.OnChunk(clock, sent.from, sent.bytes,
                                           static_cast<std::int64_t>(nowMs));
            }
        } else if (sent.to.port == protocol::kFullFramePort) {
            answer = responder.OnFullFrame(clock, sent.bytes);
        }
        return answer.replies;
    }
};

SimulatedClocks::SimulatedClocks(FakeNetwork& network)
    : network_(network), shared_(std::make_shared<Shared>()) {}

SimulatedClocks::~SimulatedClocks() {
    std::lock_guard lock(shared_->mutex);
    shared_->clocks.clear();
}

void SimulatedClocks::add(clocksim::ClockKind kind, platform::Ipv4 address,
                          const std::function<void(clocksim::SimClock&)>& change) {
    clocksim::SimClock clock = clocksim::MakeDefaultClock(kind, address);
    if (change) {
        change(clock);
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->clocks.insert_or_assign(address, std::move(clock));
    }
    network_.addPeer(address,
                     [shared = shared_, address](const SentDatagram& sent, FakeNetwork& net) {
                         for (auto& reply : shared->answer(address, sent, net.now())) {
                             net.reply(sent, address, std::move(reply), kReplyDelay);
                         }
                     });
}

std::optional<platform::MacAddress> SimulatedClocks::macOf(platform::Ipv4 address) const {
    std::lock_guard lock(shared_->mutex);
    const auto it = shared_->clocks.find(address);
    if (it == shared_->clocks.end()) {
        return std::nullopt;
    }
    return it->second.mac;
}

}  // namespace tavlo::test
