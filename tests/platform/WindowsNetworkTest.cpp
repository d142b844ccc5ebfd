// What only the Windows network adds: the interfaces from the adapters' list, a send out of
// one interface and the receive buffer granted (loopback only).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/Ipv4.h"
#include "platform/Network.h"

namespace tavlo::platform {
namespace {

using namespace std::chrono_literals;

const Ipv4 kLoopback = MakeIpv4(127, 0, 0, 1);
constexpr int kReceiveBuffer = 1 << 20;

TEST(WindowsNetwork, LoopbackInterfaceSendOnItAndTheReceiveBufferGranted) {
    const auto net = makeSystemNetwork();
    const std::vector<NetworkInterface> interfaces = net->interfaces();
    const auto loopback =
        std::find_if(interfaces.begin(), interfaces.end(),
                     [](const NetworkInterface& entry) { return entry.address == kLoopback; });
    ASSERT_NE(loopback, interfaces.end());
    EXPECT_TRUE(loopback->loopback);
    EXPECT_NE(loopback->index, 0u);
    EXPECT_EQ(loopback->netmask, MakeIpv4(255, 0, 0, 0));
    EXPECT_EQ(loopback->broadcast, kAnyAddress);
    EXPECT_EQ(net->localAddresses().size(), interfaces.size());

    const auto sender = net->openUdp();
    const auto receiver = net->openUdp();
    ASSERT_TRUE(sender && receiver);
    ASSERT_TRUE(receiver->bind(kLoopback, 0));
    ASSERT_TRUE(receiver->setReceiveBuffer(kReceiveBuffer));
    EXPECT_GE(receiver->receiveBufferSize(), kReceiveBuffer);
    const std::array<std::uint8_t, 3> datagram{1, 2, 3};
    const Endpoint to{kLoopback, receiver->localPort()};
    ASSERT_EQ(sender->sendOn(datagram, to, loopback->index), 3) << sender->lastError();
    ASSERT_EQ(sender->sendTo(datagram, to), 3) << sender->lastError();  // routed again
    std::array<std::uint8_t, 8> buffer{};
    Endpoint from;
    EXPECT_EQ(receiver->receiveWithin(buffer, from, 1000ms), 3);
    EXPECT_EQ(receiver->receiveWithin(buffer, from, 1000ms), 3);
    EXPECT_EQ(from.address, kLoopback);
}

}  // namespace
}  // namespace tavlo::platform
