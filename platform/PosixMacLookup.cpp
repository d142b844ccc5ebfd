// The neighbour table of /proc/net/arp.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Ipv4.h"
#include "platform/MacLookup.h"

namespace tavlo::platform {
namespace {

// The calling thread's own view first: a thread may have entered another network namespace
// than the process's main thread.
constexpr const char* kThreadArpTablePath = "/proc/thread-self/net/arp";
constexpr const char* kArpTablePath = "/proc/net/arp";
constexpr std::uint16_t kDiscardPort = 9;
constexpr std::chrono::milliseconds kPollInterval{20};

std::optional<MacAddress> ReadArpTable(Ipv4 address) {
    std::ifstream file(kThreadArpTablePath);
    if (!file) {
        file.open(kArpTablePath);
    }
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return FindInArpTable(text.str(), address);
}

// One empty datagram to the discard port makes the kernel resolve the neighbour.
void ProvokeResolution(Ipv4 address) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = HostToNetwork16(kDiscardPort);
    to.sin_addr.s_addr = address;
    static_cast<void>(
        ::sendto(fd, nullptr, 0, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to));
    ::close(fd);
}

}  // namespace

std::optional<MacAddress> LookupMacAddress(Ipv4 address, std::chrono::milliseconds timeout) {
    if (!CanHaveNeighbourEntry(address)) {
        return std::nullopt;
    }
    if (auto mac = ReadArpTable(address)) {
        return mac;
    }
    ProvokeResolution(address);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
        if (auto mac = ReadArpTable(address)) {
            return mac;
        }
    }
    return std::nullopt;
}

}  // namespace tavlo::platform
