// Real sockets on loopback only (127.0.0.1, unicast, ephemeral ports).
#include "platform/Network.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/Ipv4.h"

namespace tavlo::platform {
namespace {

using namespace std::chrono_literals;

const Ipv4 kLoopback = MakeIpv4(127, 0, 0, 1);

struct Pair {
    std::unique_ptr<UdpSocket> sender;
    std::unique_ptr<UdpSocket> receiver;
    std::uint16_t port = 0;
};

Pair MakePair(Network& net) {
    Pair pair;
    pair.sender = net.openUdp();
    pair.receiver = net.openUdp();
    EXPECT_TRUE(pair.sender && pair.receiver);
    EXPECT_TRUE(pair.sender->bind(kLoopback, 0));
    EXPECT_TRUE(pair.receiver->bind(kLoopback, 0));
    pair.port = pair.receiver->localPort();
    EXPECT_NE(pair.port, 0);
    return pair;
}

TEST(PosixNetwork, SendsAndReceivesOnLoopbackWithTheRealSize) {
    auto net = makeSystemNetwork();
    Pair pair = MakePair(*net);
    std::vector<std::uint8_t> datagram(300);
    for (std::size_t i = 0; i < datagram.size(); ++i) {
        datagram[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_EQ(pair.sender->sendTo(datagram, {kLoopback, pair.port}), 300);
    ASSERT_EQ(pair.receiver->waitReadable(2000ms), WaitResult::kReadable);

    std::array<std::uint8_t, 106> buffer{};
    Endpoint from;
    EXPECT_EQ(pair.receiver->receiveFrom(buffer, from), 300);  // longer than the buffer
    EXPECT_EQ(buffer[105], 105);
    EXPECT_EQ(from.address, kLoopback);
    EXPECT_EQ(from.port, pair.sender->localPort());

    // Nothing queued: the receive does not block.
    EXPECT_EQ(pair.receiver->receiveFrom(buffer, from), -1);
    EXPECT_FALSE(pair.receiver->lastError().empty());
}

TEST(PosixNetwork, WaitTimesOut) {
    auto net = makeSystemNetwork();
    Pair pair = MakePair(*net);
    const std::uint32_t before = net->tickCount();
    EXPECT_EQ(pair.receiver->waitReadable(60ms), WaitResult::kTimeout);
    const std::uint32_t elapsed = net->tickCount() - before;
    EXPECT_GE(elapsed, 55u);
    EXPECT_LT(elapsed, 1000u);
}

TEST(PosixNetwork, SecondBindOfAPortReportsAddressInUse) {
    auto net = makeSystemNetwork();
    Pair pair = MakePair(*net);
    auto third = net->openUdp();
    ASSERT_NE(third, nullptr);
    EXPECT_FALSE(third->bind(kLoopback, pair.port));
    EXPECT_EQ(third->lastErrorKind(), SocketError::kAddressInUse);
    EXPECT_FALSE(third->lastError().empty());
    EXPECT_TRUE(third->enableBroadcast());
    EXPECT_TRUE(third->setReceiveBuffer(1 << 20));
    EXPECT_GT(third->receiveBufferSize(), 0);
}

// The loopback interface is listed with its index, and a datagram sent out of it arrives.
TEST(PosixNetwork, InterfacesAndASendOutOfOne) {
    auto net = makeSystemNetwork();
    const auto interfaces = net->interfaces();
    const auto lo =
        std::find_if(interfaces.begin(), interfaces.end(),
                     [](const NetworkInterface& in) { return in.address == kLoopback; });
    ASSERT_NE(lo, interfaces.end());
    EXPECT_TRUE(lo->loopback);
    EXPECT_NE(lo->index, 0u);
    EXPECT_EQ(lo->netmask, MakeIpv4(255, 0, 0, 0));
    Pair pair = MakePair(*net);
    const std::array<std::uint8_t, 3> datagram{1, 2, 3};
    ASSERT_EQ(pair.sender->sendOn(datagram, {kLoopback, pair.port}, lo->index), 3);
    ASSERT_EQ(pair.receiver->waitReadable(2000ms), WaitResult::kReadable);
}

TEST(PosixNetwork, HostFacts) {
    auto net = makeSystemNetwork();
    const auto addresses = net->localAddresses();
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), kLoopback), addresses.end());
    EXPECT_GT(net->timeSeconds(), 1'600'000'000);
    const std::uint32_t before = net->tickCount();
    net->sleep(20ms);
    EXPECT_GE(net->tickCount() - before, 19u);
}

}  // namespace
}  // namespace tavlo::platform
