// A wired clock's TFTP side on the FakeNetwork: it acknowledges the write request from a port
// of its own and takes the blocks of each transfer (one per sending port) lock-step. A hook
// runs before each data block is answered, on the sending thread, so a test can hold the
// transfer there, slow it down in real time, or silence the clock. For the System page's and
// the window's tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Network.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::test {

class FakeTftpClock {
  public:
    // The port the clock answers from (its transfer port).
    static constexpr std::uint16_t kTransferPort = 50069;

    // Called with each data block's number before it is answered; false: no answer.
    using BeforeAnswer = std::function<bool(std::uint16_t block)>;

    FakeTftpClock(FakeNetwork& network, platform::Ipv4 address);

    void setBeforeAnswer(BeforeAnswer hook);
    // Write requests received so far.
    int requests() const;
    // The bytes of every transfer that received its short last block, in the order they
    // ended.
    std::vector<std::vector<std::uint8_t>> images() const;

  private:
    struct Transfer {
        std::vector<std::uint8_t> image;
        std::uint16_t lastBlock = 0;
    };
    void handle(const SentDatagram& datagram, FakeNetwork& network);

    platform::Ipv4 address_;
    mutable std::mutex mutex_;
    BeforeAnswer beforeAnswer_;
    int requests_ = 0;
    std::map<std::uint16_t, Transfer> transfers_;  // by the sender's port
    std::vector<std::vector<std::uint8_t>> images_;
};

}  // namespace tavlo::test
