#include "firmware/TftpExchange.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "firmware/TftpPacket.h"
#include "platform/Broadcast.h"
#include "platform/Ipv4.h"

namespace tavlo::firmware {
namespace {

constexpr std::uint8_t kBroadcastOctet = 255;
constexpr std::chrono::milliseconds kNoWait{0};
// A stop request ends the pause after the write request within this time.
constexpr std::chrono::milliseconds kStopCheckInterval{50};

}  // namespace

TftpClient::TftpClient(platform::Network& network, platform::Ipv4 clock, UpdateState& state,
                       ConfirmBreak confirmBreak, std::stop_token stop, WaitPolicy policy)
    : network_(network),
      clock_(clock),
      state_(state),
      confirmBreak_(std::move(confirmBreak)),
      stop_(std::move(stop)),
      broadcast_(clock == platform::kLimitedBroadcast ||
                 platform::LastOctet(clock) == kBroadcastOctet),
      timer_(broadcast_ ? WaitPolicy::kFixed : policy) {}

bool TftpClient::Open() {
    socket_ = network_.openUdp();
    if (!socket_) {
        return false;
    }
    if ((broadcast_ && !socket_->enableBroadcast()) || !socket_->bind(platform::kAnyAddress, 0)) {
        socket_.reset();
        return false;
    }
    if (broadcast_) {
        broadcastInterfaces_ =
            platform::BroadcastInterfaces(network_.interfaces(), broadcastInterfaceNames_);
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
        const long size = socket_->receiveWithin(buffer, from, kNoWait);
        if (size < 0) {
            return;
        }
        CountRepeatOfAnswered(
            std::span<const std::uint8_t>(buffer).first(std::min<std::size_t>(size, kReceiveSize)),
            from);
    }
}

bool TftpClient::FromClock(const platform::Endpoint& from) const {
    return from.address == clock_ && (!peerFixed_ || from.port == peerPort_);
}

void TftpClient::RefuseStranger(const platform::Endpoint& from) {
    socket_->sendTo(BuildErrorPacket(kErrorUnknownTransferId, kUnknownTransferIdMessage), from);
}

bool TftpClient::FixedWait(ExchangeKind kind) const {
    return kind == ExchangeKind::kRequest || broadcast_ || timer_.Policy() == WaitPolicy::kFixed;
}

void TftpClient::StartPacket(ExchangeKind kind, std::uint32_t block) {
    const bool request = kind == ExchangeKind::kRequest;
    if (!request && !outstanding_.request && outstanding_.block == block) {
        return;  // the clock asked for this block again: it is still the same packet
    }
    if (request) {
        answered_ = Answered{};
        highestSent_ = 0;
    }
    // The time without an acknowledgement counts from the first send of a packet the clock
    // has not had before; a block it asked for again keeps the time of the one it replaced.
    const bool repeat = !request && block <= highestSent_;
    outstanding_ = Outstanding{request, block, repeat};
    if (!repeat) {
        giveUpTick_ = network_.tickCount() + static_cast<std::uint32_t>(kGiveUpAfter.count());
    }
    highestSent_ = std::max(highestSent_, block);
}

bool TftpClient::MaySend(ExchangeKind kind, int attempt) {
    if (FixedWait(kind)) {
        return attempt < kMaxSends;
    }
    return static_cast<std::int32_t>(giveUpTick_ - network_.tickCount()) > 0;
}

std::chrono::milliseconds TftpClient::WaitAfterSend(ExchangeKind kind) {
    if (FixedWait(kind)) {
        return kAcknowledgementWait;
    }
    const auto left = std::chrono::milliseconds(
        std::max<std::int32_t>(static_cast<std::int32_t>(giveUpTick_ - network_.tickCount()), 0));
    return std::min(timer_.Wait(), left);
}

TftpClient::ReplyKind TftpClient::Classify(std::uint16_t acknowledged, std::uint32_t block) {
    if (acknowledged == block) {
        return ReplyKind::kAcknowledgement;
    }
    if (acknowledged > block) {
        return ReplyKind::kOther;  // cannot belong to this transfer
    }
    // An earlier block. The clock's answer to an extra send of ours of the packet before
    // (a resend whose first acknowledgement was only late) asks for nothing.
    const bool previous = answered_.valid && acknowledged == answered_.block;
    if (previous && answered_.acknowledgements < answered_.sends) {
        ++answered_.acknowledgements;
        return ReplyKind::kNone;
    }
    if (previous) {
        ++answered_.acknowledgements;
    }
    // Otherwise the clock asks for the blocks after it again: taken once per block, before
    // any resend (which asks the clock the same); further ones send nothing.
    if (outstanding_.earlierTaken || outstanding_.resends > 0) {
        return ReplyKind::kNone;
    }
    outstanding_.earlierTaken = true;
    return ReplyKind::kAcknowledgement;
}

void TftpClient::CountRepeatOfAnswered(std::span<const std::uint8_t> datagram,
                                       const platform::Endpoint& from) {
    const auto head = ReadPacketHead(datagram);
    if (answered_.valid && FromClock(from) && head &&
        head->opcode == static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement) &&
        head->block == answered_.block) {
        ++answered_.acknowledgements;
    }
}

void TftpClient::Acknowledged(ExchangeKind kind) {
    const std::chrono::milliseconds afterLastSend(network_.tickCount() - outstanding_.lastSendTick);
    if (kind == ExchangeKind::kData && outstanding_.sends == 1 && !outstanding_.repeat) {
        // Karn's rule: only a block that went once tells the round trip.
        timer_.Sample(afterLastSend);
    } else if (kind == ExchangeKind::kData) {
        timer_.ResentBlockAcknowledged(afterLastSend);
    }
    answered_ = Answered{true, outstanding_.block, outstanding_.sends, 1};
}

TftpClient::Reply TftpClient::AwaitReply(platform::Endpoint& destination, std::uint32_t block,
                                         std::chrono::milliseconds wait, bool waitPastOthers) {
    // One wait after the send; strangers, and duplicates the clock sends, do not move its
    // end, however many come. In broadcast mode each skipped datagram starts a new wait.
    const std::uint32_t start = network_.tickCount();
    const auto waitMs = static_cast<std::uint32_t>(wait.count());
    int skipped = 0;
    int strangers = 0;
    while (skipped <= kMaxSkippedPerSend) {
        std::chrono::milliseconds left = wait;
        if (!broadcast_) {
            const std::uint32_t elapsed = network_.tickCount() - start;
            if (elapsed >= waitMs) {
                return {};
            }
            left = std::chrono::milliseconds(waitMs - elapsed);
        }
        std::array<std::uint8_t, kReceiveSize> buffer{};
        platform::Endpoint from;
        const long size = socket_->receiveWithin(buffer, from, left);
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
        if (head && head->opcode == static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement)) {
            reply.kind = Classify(head->block, block);
            reply.block = head->block;
            if (!broadcast_ && reply.kind != ReplyKind::kOther) {
                peerFixed_ = true;
            }
        } else {
            reply.kind = ReplyKind::kOther;
        }
        if (reply.kind == ReplyKind::kAcknowledgement ||
            (reply.kind == ReplyKind::kOther && !broadcast_ && !waitPastOthers)) {
            return reply;
        }
        if (broadcast_) {
            ++skipped;
        }
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
    StartPacket(kind, block);
    DiscardStaleDatagrams();
    platform::Endpoint destination{broadcast_ ? platform::kLimitedBroadcast : clock_, peerPort_};
    const std::uint32_t acknowledgeable = kind == ExchangeKind::kRequest ? 0 : block;
    // With the adaptive wait a datagram of the clock's that acknowledges nothing is waited
    // past: resends keep to the timer.
    const bool waitPastOthers = !FixedWait(kind);

    bool waitingWorkDone = !whileWaiting;
    auto doWaitingWork = [&] {
        if (!waitingWorkDone) {
            waitingWorkDone = true;
            whileWaiting();
        }
    };
    for (int attempt = 0;; ++attempt) {
        if (StopRequested()) {
            return kExchangeGaveUp;
        }
        if (state_.breakFlag.load()) {
            doWaitingWork();
            const std::uint32_t asked = network_.tickCount();
            if (confirmBreak_ && confirmBreak_()) {
                return kExchangeGaveUp;  // the flag stays set for the update monitor
            }
            state_.breakFlag.store(false);
            // The time the operator took to answer is not the clock's silence.
            giveUpTick_ += network_.tickCount() - asked;
        }
        if (!MaySend(kind, attempt)) {
            return kExchangeGaveUp;
        }
        if (broadcast_) {
            // Once out of every interface, so that the clock is reached on any segment.
            platform::SendOutOfEach(*socket_, datagram, destination, broadcastInterfaces_);
        } else {
            socket_->sendTo(datagram, destination);
        }
        ++sendCount_;
        ++outstanding_.sends;
        outstanding_.lastSendTick = network_.tickCount();
        doWaitingWork();
        const Reply reply =
            AwaitReply(destination, acknowledgeable, WaitAfterSend(kind), waitPastOthers);
        if (reply.kind == ReplyKind::kAcknowledgement) {
            if (reply.block == acknowledgeable) {
                Acknowledged(kind);
            }
            if (kind == ExchangeKind::kRequest) {
                // The clock prepares its flash after taking the write request. A late copy
                // of that acknowledgement during the data phase (a TFTP server repeats it
                // while waiting for block 1) only makes block 1 go again, without a pause.
                PauseUnlessStopped(kPauseAfterRequestAcknowledged);
            }
            return reply.block + 1;
        }
        if (reply.kind == ReplyKind::kNone) {
            timer_.TimedOut(outstanding_.resends);
        }
        ++outstanding_.resends;
    }
}

}  // namespace tavlo::firmware
