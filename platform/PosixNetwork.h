// Network over POSIX sockets, the monotonic clock and getifaddrs.
#pragma once

#include <memory>

#include "platform/Network.h"

namespace tavlo::platform {

class PosixNetwork final : public Network {
  public:
    std::unique_ptr<UdpSocket> openUdp() override;
    void sleep(std::chrono::milliseconds duration) override;
    std::uint32_t tickCount() override;
    std::int64_t timeSeconds() override;
    std::vector<Ipv4> localAddresses() override;
    std::vector<NetworkInterface> interfaces() override;
};

}  // namespace tavlo::platform
