#include "tests/support/FakeTftpClock.h"

#include <utility>

#include "firmware/TftpPacket.h"

namespace tavlo::test {
namespace {

using firmware::TftpOpcode;

std::vector<std::uint8_t> Acknowledgement(std::uint16_t block) {
    std::vector<std::uint8_t> ack(firmware::kAcknowledgementSize);
    firmware::WriteBe16(ack, firmware::kOpcodeOffset,
                        static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement));
    firmware::WriteBe16(ack, firmware::kBlockNumberOffset, block);
    return ack;
}

}  // namespace

FakeTftpClock::FakeTftpClock(FakeNetwork& network, platform::Ipv4 address) : address_(address) {
    network.addPeer(address, [this](const SentDatagram& d, FakeNetwork& n) { handle(d, n); });
}

void FakeTftpClock::setBeforeAnswer(BeforeAnswer hook) {
    std::lock_guard lock(mutex_);
    beforeAnswer_ = std::move(hook);
}

int FakeTftpClock::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::vector<std::uint8_t>> FakeTftpClock::images() const {
    std::lock_guard lock(mutex_);
    return images_;
}

void FakeTftpClock::handle(const SentDatagram& d, FakeNetwork& network) {
    const auto head = firmware::ReadPacketHead(d.bytes);
    if (!head) {
        return;
    }
    std::uint16_t acknowledged = 0;
    if (head->opcode == static_cast<std::uint16_t>(TftpOpcode::kWriteRequest)) {
        std::lock_guard lock(mutex_);
        ++requests_;
        transfers_[d.from.port] = Transfer{};
    } else if (head->opcode == static_cast<std::uint16_t>(TftpOpcode::kData)) {
        BeforeAnswer hook;
        {
            std::lock_guard lock(mutex_);
            hook = beforeAnswer_;
        }
        if (hook && !hook(head->block)) {
            return;
        }
        std::lock_guard lock(mutex_);
        Transfer& transfer = transfers_[d.from.port];
        if (head->block == static_cast<std::uint16_t>(transfer.lastBlock + 1)) {
            transfer.image.insert(transfer.image.end(), d.bytes.begin() + firmware::kDataOffset,
                                  d.bytes.end());
            transfer.lastBlock = head->block;
            if (d.bytes.size() - firmware::kDataOffset < firmware::kBlockSize) {
                images_.push_back(transfer.image);
            }
        }
        acknowledged = head->block;
    } else {
        return;
    }
    network.deliver(d.from.port, platform::Endpoint{address_, kTransferPort},
                    Acknowledgement(acknowledged));
}

}  // namespace tavlo::test
