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
// A stop request ends the pause after the write request within this time.
constexpr std::chrono::milliseconds kStopCheckInterval{50};

}  // namespace

TftpClient::TftpClient(platform::Network& network, platform::Ipv4 clock, UpdateState& state,
                       ConfirmBreak confirmBreak, std::stop_token stop)
    : network_(network),
      clock_(clock),
      state_(state),
      confirmBreak_(std::move(confirmBreak)),
      stop_(std::move(stop)),
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
    return stop_.stop_requested();
}

void TftpClient::PauseUnlessStopped(std::chrono::milliseconds pause) {
    for (auto left = pause; left.count() > 0 && !StopRequested(); left -= kStopCheckInterval) {
        network_.sleep(std::min(left, kStopCheckInterval));
    }
}

void TftpClient::DiscardStaleDatagrams() {
    std::array<std::uint8_t, kReceiveSize> buffer{};
    for (int i = 0; i < kMaxStaleDatagrams; ++i) {
        platform::Endpoint from;
        if (socket_->receiveWithin(buffer, from, kNoWait) < 0) {
            return;
        }
    }
}

bool TftpClient::FromClock(const platform::Endpoint& from) const {
    return from.address == clock_ && (!peerFixed_ || from.port == peerPort_);
}

void TftpClient::RefuseStranger(const platform::Endpoint& from) {
    socket_->sendTo(BuildErrorPacket(kErrorUnknownTransferId, kUnknownTransferIdMessage), from);
}

TftpClient::Reply TftpClient::AwaitReply(platform::Endpoint& destination, std::uint32_t block) {
    // One wait of kAcknowledgementWait after the send; strangers do not move its end, however
    // many come. In broadcast mode each skipped datagram starts a new wait.
    const std::uint32_t start = network_.tickCount();
    const auto waitMs = static_cast<std::uint32_t>(kAcknowledgementWait.count());
    int skipped = 0;
    int strangers = 0;
    while (skipped <= kMaxSkippedPerSend) {
        std::chrono::milliseconds wait = kAcknowledgementWait;
        if (!broadcast_) {
            const std::uint32_t elapsed = network_.tickCount() - start;
            if (elapsed >= waitMs) {
                return {};
            }
            wait = std::chrono::milliseconds(waitMs - elapsed);
        }
        std::array<std::uint8_t, kReceiveSize> buffer{};
        platform::Endpoint from;
        const long size = socket_->receiveWithin(buffer, from, wait);
        if (size < 0) {
            return {};  // time-out or failure
        }
        if (!broadcast_ && !FromClock(from)) {
            if (strangers < kMaxStrangersPerSend) {
                RefuseStranger(from);
                ++strangers;
            }
            continue;
        }
        // The clock's answer: the rest of this exchange goes where it came from, and its port
        // is the clock's port for the data packets that follow.
        destination = from;
        peerPort_ = from.port;
        const auto received =
            std::span<const std::uint8_t>(buffer).first(std::min<std::size_t>(size, kReceiveSize));
        lastRefusal_ = ReadErrorPacket(received);
        const auto head = ReadPacketHead(received);
        Reply reply;
        reply.acknowledgement =
            head && head->opcode == static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement) &&
            head->block <= block;
        reply.block = head ? head->block : 0;
        if (reply.acknowledgement && !broadcast_) {
            peerFixed_ = true;
        }
        if (reply.acknowledgement || !broadcast_) {
            return reply;
        }
        ++skipped;
    }
    return {};
}

int TftpClient::TftpExchange(std::span<const std::uint8_t> payload, std::uint32_t block,
                             ExchangeKind kind, const std::function<void()>& whileWaiting) {
    if (!socket_) {
        return kExchangeGaveUp;
    }
    std::vector<std::uint8_t>& datagram = datagram_;
    if (kind == ExchangeKind::kRequest) {
        datagram.assign(payload.begin(), payload.end());
        peerPort_ = kTftpServerPort;
        peerFixed_ = false;  // a write request starts a transfer anew
    } else {
        BuildDataPacket(block, payload, datagram);
    }
    DiscardStaleDatagrams();
    platform::Endpoint destination{broadcast_ ? platform::kLimitedBroadcast : clock_, peerPort_};
    const std::uint32_t acknowledgeable = kind == ExchangeKind::kRequest ? 0 : block;

    bool waitingWorkDone = !whileWaiting;
    auto doWaitingWork = [&] {
        if (!waitingWorkDone) {
            waitingWorkDone = true;
            whileWaiting();
        }
    };
    for (int attempt = 0; attempt < kMaxSends; ++attempt) {
        if (StopRequested()) {
            return kExchangeGaveUp;
        }
        if (state_.breakFlag.load()) {
            doWaitingWork();
            if (confirmBreak_ && confirmBreak_()) {
                return kExchangeGaveUp;  // the flag stays set for the update monitor
            }
            state_.breakFlag.store(false);
        }
        socket_->sendTo(datagram, destination);
        ++sendCount_;
        doWaitingWork();
        const Reply reply = AwaitReply(destination, acknowledgeable);
        if (reply.acknowledgement) {
            if (kind == ExchangeKind::kRequest) {
                // The clock prepares its flash after taking the write request. A late copy
                // of that acknowledgement during the data phase (a TFTP server repeats it
                // while waiting for block 1) only makes block 1 go again, without a pause.
                PauseUnlessStopped(kPauseAfterRequestAcknowledged);
            }
            return reply.block + 1;
        }
    }
    return kExchangeGaveUp;
}

}  // namespace tavlo::firmware
