#include "tests/support/FakeNetwork.h"

#include <gtest/gtest.h>

#include "platform/Ipv4.h"

namespace tavlo::test {
namespace {

using namespace std::chrono_literals;
using platform::Endpoint;
using platform::MakeIpv4;
using platform::WaitResult;

const platform::Ipv4 kClock = MakeIpv4(198, 18, 0, 10);
const platform::Ipv4 kPc = MakeIpv4(198, 18, 0, 1);
constexpr std::uint16_t kPort = 6869;

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> list) {
    return list;
}

TEST(FakeNetwork, WaitAdvancesToTheNextDeliveryOrByTheTimeout) {
    FakeNetwork net;
    auto socket = net.openUdp();
    ASSERT_TRUE(socket->bind(platform::kAnyAddress, kPort));
    net.deliver(kPort, {kClock, kPort}, Bytes({1, 2, 3}), 300ms);

    EXPECT_EQ(socket->waitReadable(200ms), WaitResult::kTimeout);
    EXPECT_EQ(net.now(), 200u);
    EXPECT_EQ(socket->waitReadable(500ms), WaitResult::kReadable);
    EXPECT_EQ(net.now(), 300u);
    EXPECT_EQ(socket->waitReadable(500ms), WaitResult::kReadable);  // still queued
    EXPECT_EQ(net.now(), 300u);

    std::array<std::uint8_t, 2> small{};
    Endpoint from;
    EXPECT_EQ(socket->receiveFrom(small, from), 3);  // real size, two bytes copied
    EXPECT_EQ(small[1], 2);
    EXPECT_EQ(from, (Endpoint{kClock, kPort}));
    EXPECT_EQ(socket->receiveFrom(small, from), -1);
    EXPECT_FALSE(socket->lastError().empty());
}

TEST(FakeNetwork, ClockFacts) {
    FakeNetwork net;
    net.setTickBase(0xFFFFFF00u);
    net.setEpochSeconds(1000);
    net.sleep(2500ms);
    EXPECT_EQ(net.tickCount(), 2244u);  // wrapped
    EXPECT_EQ(net.timeSeconds(), 1002);
    net.setLocalAddresses({kPc});
    EXPECT_EQ(net.localAddresses(), std::vector<platform::Ipv4>{kPc});
}

TEST(FakeNetwork, PortsAreExclusiveAndDatagramsToClosedPortsAreLost) {
    FakeNetwork net;
    auto first = net.openUdp();
    ASSERT_TRUE(first->bind(platform::kAnyAddress, kPort));
    auto second = net.openUdp();
    EXPECT_FALSE(second->bind(platform::kAnyAddress, kPort));
    EXPECT_EQ(second->lastErrorKind(), platform::SocketError::kAddressInUse);
    EXPECT_EQ(net.openSocketCount(), 2);

    net.deliver(kPort, {kClock, kPort}, Bytes({1}), 10ms);
    first.reset();
    net.advance(20ms);
    EXPECT_EQ(net.pendingDeliveries(), 0u);
    EXPECT_EQ(net.openSocketCount(), 1);
    EXPECT_TRUE(second->bind(platform::kAnyAddress, kPort));
}

TEST(FakeNetwork, BroadcastNeedsTheOptionAndIsEchoedAndSeenByPeers) {
    FakeNetwork net;
    net.echoBroadcastsFrom(kPc);
    int peerCalls = 0;
    net.addPeer(kClock, [&](const SentDatagram& request, FakeNetwork& n) {
        ++peerCalls;
        n.reply(request, kClock, Bytes({9}), 5ms);
    });
    auto socket = net.openUdp();
    ASSERT_TRUE(socket->bind(platform::kAnyAddress, kPort));
    const auto data = Bytes({7, 7});
    EXPECT_EQ(socket->sendTo(data, {platform::kLimitedBroadcast, kPort}), -1);
    EXPECT_EQ(socket->lastErrorKind(), platform::SocketError::kAccessDenied);
    EXPECT_TRUE(socket->enableBroadcast());
    EXPECT_EQ(socket->sendTo(data, {platform::kLimitedBroadcast, kPort}), 2);
    EXPECT_EQ(peerCalls, 1);

    std::array<std::uint8_t, 8> buffer{};
    Endpoint from;
    ASSERT_EQ(socket->waitReadable(1000ms), WaitResult::kReadable);
    EXPECT_EQ(socket->receiveFrom(buffer, from), 2);  // the echo first
    EXPECT_EQ(from.address, kPc);
    ASSERT_EQ(socket->waitReadable(1000ms), WaitResult::kReadable);
    EXPECT_EQ(net.now(), 5u);
    EXPECT_EQ(socket->receiveFrom(buffer, from), 1);
    EXPECT_EQ(from, (Endpoint{kClock, kPort}));

    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].broadcast);
    EXPECT_EQ(sent[0].from.port, kPort);
    EXPECT_TRUE(net.sockets()[0].broadcastEnabled);
}

TEST(FakeNetwork, FailureInjection) {
    FakeNetwork net;
    net.failOpenUdp(true);
    EXPECT_EQ(net.openUdp(), nullptr);
    net.failOpenUdp(false);
    auto socket = net.openUdp();
    ASSERT_NE(socket, nullptr);

    net.failBind("taken", platform::SocketError::kAddressInUse);
    EXPECT_FALSE(socket->bind(platform::kAnyAddress, kPort));
    EXPECT_EQ(socket->lastError(), "taken");
    net.clearBindFailure();

    const auto data = Bytes({1});
    net.failSends(2);
    EXPECT_EQ(socket->sendTo(data, {kClock, kPort}), -1);
    EXPECT_EQ(socket->sendTo(data, {kClock, kPort}), -1);
    EXPECT_EQ(socket->sendTo(data, {kClock, kPort}), 1);
    EXPECT_EQ(net.sent().size(), 1u);
    EXPECT_GE(net.sent()[0].from.port, FakeNetwork::kFirstEphemeralPort);  // bound on send

    net.failWaits(1);
    EXPECT_EQ(socket->waitReadable(10ms), WaitResult::kError);
    EXPECT_EQ(socket->waitReadable(10ms), WaitResult::kTimeout);
}

}  // namespace
}  // namespace tavlo::test
