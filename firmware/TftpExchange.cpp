#include "firmware/TftpExchange.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "firmware/TftpPacket.h"
#include "platform/Ipv4.h"

namespace tavlo::firmware {
namespace {

constexpr std::uint8_t kBroadcastOctet = 255;
constexpr std::chrono::milliseconds kNoWait{0};

}  // namespace

TftpClient::TftpClient(platform::Network& network, platform::Ipv4 clock, UpdateState& state,
                       ConfirmBreak confirmBreak, const std::atomic<bool>* stopRequest)
    : network_(network),
      clock_(clock),
      state_(state),
      confirmBreak_(std::move(confirmBreak)),
      stopRequest_(stopRequest),
      broadcast_(clock == platform::kLimitedBroadcast ||
                 platform::LastOctet(clock) == kBroadcastOctet) {}

bool TftpClient::Open() {
    socket_ = network_.openUdp();
    if (!socket_) {
        return false;
    }
    if ((broadcast_ && !socket_->enableBroadcast()) || !socket_->bind(platform::kAnyAddress, 0)) {
        socket_.reset();
        return false;
    }
    return true;
}

std::string TftpClient::LastError() const {
    return socket_ ? socket_->lastError() : std::string("no socket");
}

bool TftpClient::StopRequested() const {
    return stopRequest_ != nullptr && stopRequest_->load();
}

void TftpClient::DiscardStaleDatagrams() {
    std::array<std::uint8_t, kReceiveSize> buffer{};
    for (int i = 0; i < kMaxStaleDatagrams; ++i) {
        if (socket_->waitReadable(kNoWait) != platform::WaitResult::kReadable) {
            return;
        }
        platform::Endpoint from;
        if (socket_->receiveFrom(buffer, from) < 0) {
            return;
        }
    }
}

TftpClient::Reply TftpClient::AwaitReply(platform::Endpoint& destination, std::uint32_t block) {
    for (int skipped = 0; skipped <= kMaxSkippedPerSend; ++skipped) {
        if (socket_->waitReadable(kAcknowledgementWait) != platform::WaitResult::kReadable) {
            return {};
        }
        std::array<std::uint8_t, kReceiveSize> buffer{};
        platform::Endpoint from;
        const long size = socket_->receiveFrom(buffer, from);
        if (size < 0) {
            return {};
        }
        // Whoever answered is where the rest of this exchange goes; its port is the
        // clock's port for the data packets that follow.
        destination = from;
        peerPort_ = from.port;
        const auto head = ReadPacketHead(
            std::span<const std::uint8_t>(buffer).first(std::min<std::size_t>(size, kReceiveSize)));
        Reply reply;
        reply.acknowledgement =
            head && head->opcode == static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement) &&
            head->block <= block;
        reply.block = head ? head->block : 0;
        if (reply.acknowledgement || !broadcast_) {
            return reply;
        }
    }
    return {};
}

int TftpClient::TftpExchange(std::span<const std::uint8_t> payload, std::uint32_t block,
                             ExchangeKind kind) {
    if (!socket_) {
        return kExchangeGaveUp;
    }
    std::vector<std::uint8_t> datagram;
    if (kind == ExchangeKind::kRequest) {
        datagram.assign(payload.begin(), payload.end());
        peerPort_ = kTftpServerPort;
    } else {
        datagram = BuildDataPacket(block, payload);
    }
    DiscardStaleDatagrams();
    platform::Endpoint destination{broadcast_ ? platform::kLimitedBroadcast : clock_, peerPort_};
    const std::uint32_t acknowledgeable = kind == ExchangeKind::kRequest ? 0 : block;

    for (int attempt = 0; attempt < kMaxSends; ++attempt) {
        if (StopRequested()) {
            return kExchangeGaveUp;
        }
        if (state_.breakFlag.load()) {
            if (confirmBreak_ && confirmBreak_()) {
                return kExchangeGaveUp;  // the flag stays set for the update monitor
            }
            state_.breakFlag.store(false);
        }
        socket_->sendTo(datagram, destination);
        ++sendCount_;
        const Reply reply = AwaitReply(destination, acknowledgeable);
        if (reply.acknowledgement) {
            if (reply.block == 0) {
                // The clock prepares its flash after taking the write request.
                network_.sleep(kPauseAfterRequestAcknowledged);
            }
            return reply.block + 1;
        }
    }
    return kExchangeGaveUp;
}

}  // namespace tavlo::firmware
