// UdpSocket::receiveWithin on real sockets (loopback only) and its default on top of
// waitReadable and receiveFrom (the fake network).
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::platform {
namespace {

using namespace std::chrono_literals;

const Ipv4 kLoopback = MakeIpv4(127, 0, 0, 1);

TEST(ReceiveWithin, TakesADatagramTimesOutAndDoesNotBlockWithoutATimeOut) {
    auto net = makeSystemNetwork();
    auto sender = net->openUdp();
    auto receiver = net->openUdp();
    ASSERT_TRUE(sender && receiver);
    ASSERT_TRUE(sender->bind(kLoopback, 0));
    ASSERT_TRUE(receiver->bind(kLoopback, 0));
    std::array<std::uint8_t, 4> buffer{};
    Endpoint from;

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiver->receiveWithin(buffer, from, 50ms), UdpSocket::kReceiveTimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
    EXPECT_EQ(receiver->receiveWithin(buffer, from, 0ms), UdpSocket::kReceiveTimedOut);

    const std::vector<std::uint8_t> datagram = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(sender->sendTo(datagram, {kLoopback, receiver->localPort()}), 6);
    EXPECT_EQ(receiver->receiveWithin(buffer, from, 2000ms), 6);  // the real size
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(from, (Endpoint{kLoopback, sender->localPort()}));

    ASSERT_EQ(sender->sendTo(datagram, {kLoopback, receiver->localPort()}), 6);
    ASSERT_EQ(receiver->waitReadable(2000ms), WaitResult::kReadable);
    EXPECT_EQ(receiver->receiveWithin(buffer, from, 0ms), 6);
}

TEST(ReceiveWithin, DefaultWaitsOnTheFakeNetworksClock) {
    test::FakeNetwork net;
    auto socket = net.openUdp();
    ASSERT_TRUE(socket->bind(kAnyAddress, 0));
    std::array<std::uint8_t, 8> buffer{};
    Endpoint from;
    EXPECT_EQ(socket->receiveWithin(buffer, from, 1000ms), UdpSocket::kReceiveTimedOut);
    EXPECT_EQ(net.now(), 1000u);
    net.deliver(socket->localPort(), {kLoopback, 69}, {0, 4, 0, 1}, 300ms);
    EXPECT_EQ(socket->receiveWithin(buffer, from, 1000ms), 4);
    EXPECT_EQ(net.now(), 1300u);
    EXPECT_EQ(from.port, 69);
}

}  // namespace
}  // namespace tavlo::platform
