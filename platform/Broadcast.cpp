#include "platform/Broadcast.h"

#include <algorithm>

namespace tavlo::platform {

std::vector<std::uint32_t> BroadcastInterfaces(const std::vector<NetworkInterface>& interfaces,
                                               const std::vector<std::string>& names) {
    std::vector<std::uint32_t> indexes;
    for (const NetworkInterface& in : interfaces) {
        const bool named =
            names.empty() || std::find(names.begin(), names.end(), in.name) != names.end();
        if (!in.loopback && in.broadcast != 0 && in.index != 0 && named &&
            std::find(indexes.begin(), indexes.end(), in.index) == indexes.end()) {
            indexes.push_back(in.index);
        }
    }
    return indexes;
}

bool SendOutOfEach(UdpSocket& socket, std::span<const std::uint8_t> bytes, Endpoint to,
                   const std::vector<std::uint32_t>& indexes) {
    const auto size = static_cast<long>(bytes.size());
    if (indexes.empty()) {
        return socket.sendTo(bytes, to) == size;
    }
    bool sent = false;
    for (const std::uint32_t index : indexes) {
        sent = socket.sendOn(bytes, to, index) == size || sent;
    }
    return sent;
}

}  // namespace tavlo::platform
