#include "platform/PosixNetwork.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>

namespace tavlo::platform {
namespace {

sockaddr_in MakeSockaddr(Ipv4 address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

// The IPv4 address in a getifaddrs entry's socket address, 0 for none.
Ipv4 AddressOf(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) {
        return 0;
    }
    sockaddr_in sa{};
    std::memcpy(&sa, address, sizeof sa);
    return sa.sin_addr.s_addr;
}

class PosixUdpSocket final : public UdpSocket {
  public:
    explicit PosixUdpSocket(int fd) : fd_(fd) {}
    ~PosixUdpSocket() override { ::close(fd_); }
    PosixUdpSocket(const PosixUdpSocket&) = delete;
    PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

    bool enableBroadcast() override {
        const int on = 1;
        return check(::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0);
    }

    bool setReceiveBuffer(int bytes) override {
        // SO_RCVBUFFORCE passes the system limit (rmem_max) but needs CAP_NET_ADMIN; without
        // it the plain option still gets as much as the limit allows.
        if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) {
            return true;
        }
        return check(::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0);
    }

    bool setSendBuffer(int bytes) override {
        if (::setsockopt(fd_, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) == 0) {
            return true;
        }
        return check(::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0);
    }

    bool bind(Ipv4 address, std::uint16_t port) override {
        const sockaddr_in sa = MakeSockaddr(address, port);
        return check(::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0);
    }

    std::uint16_t localPort() const override {
        sockaddr_in sa{};
        socklen_t length = sizeof sa;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
            return 0;
        }
        return ntohs(sa.sin_port);
    }

    // MSG_DONTWAIT: a send buffer full of datagrams waiting for their neighbours (a sweep of
    // silent addresses) fails the send with EAGAIN instead of holding the caller for seconds.
    long sendTo(std::span<const std::uint8_t> data, Endpoint to) override {
        const sockaddr_in sa = MakeSockaddr(to.address, to.port);
        ssize_t sent = 0;
        do {
            sent = ::sendto(fd_, data.data(), data.size(), MSG_DONTWAIT,
                            reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        } while (sent < 0 && errno == EINTR);
        check(sent >= 0);
        return static_cast<long>(sent);
    }

    // The interface goes with the datagram as IP_PKTINFO: the kernel routes it out of that
    // interface, a limited broadcast included, whatever the routing table prefers.
    long sendOn(std::span<const std::uint8_t> data, Endpoint to,
                std::uint32_t interfaceIndex) override {
        sockaddr_in sa = MakeSockaddr(to.address, to.port);
        iovec part{const_cast<std::uint8_t*>(data.data()), data.size()};
        std::array<std::uint8_t, CMSG_SPACE(sizeof(in_pktinfo))> control{};
        msghdr message{};
        message.msg_name = &sa;
        message.msg_namelen = sizeof sa;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(interfaceIndex);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
        ssize_t sent = 0;
        do {
            sent = ::sendmsg(fd_, &message, MSG_DONTWAIT);
        } while (sent < 0 && errno == EINTR);
        check(sent >= 0);
        return static_cast<long>(sent);
    }

    // As the kernel reports it: Linux counts its bookkeeping too and doubles what was asked.
    int receiveBufferSize() const override {
        int size = 0;
        socklen_t length = sizeof size;
        if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0) {
            return 0;
        }
        return size;
    }

    WaitResult waitReadable(std::chrono::milliseconds timeout) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            const int wait = static_cast<int>(std::max<long long>(0, left.count()));
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, wait);
            if (ready > 0) {
                if ((p.revents & POLLIN) != 0) {
                    return WaitResult::kReadable;
                }
                check(false, EIO);
                return WaitResult::kError;
            }
            if (ready == 0) {
                return WaitResult::kTimeout;
            }
            if (errno != EINTR) {
                check(false);
                return WaitResult::kError;
            }
        }
    }

    long receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) override {
        // MSG_TRUNC: the result is the datagram's real size even when it did not fit.
        // MSG_DONTWAIT: a datagram announced by poll may still be discarded by the kernel
        // (bad checksum); never block here.
        const ssize_t received = receive(buffer, from, MSG_TRUNC | MSG_DONTWAIT);
        if (!check(received >= 0)) {
            return -1;
        }
        return static_cast<long>(received);
    }

    // One blocking recvfrom with the socket's receive time-out (set only when it changes)
    // instead of poll and recvfrom: the firmware transfer waits like this for every block.
    long receiveWithin(std::span<std::uint8_t> buffer, Endpoint& from,
                       std::chrono::milliseconds timeout) override {
        int flags = MSG_TRUNC;
        if (timeout.count() <= 0) {
            flags |= MSG_DONTWAIT;
        } else if (timeout != receiveTimeout_) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
            timeval limit{};
            limit.tv_sec = static_cast<time_t>(seconds.count());
            limit.tv_usec = static_cast<suseconds_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(timeout - seconds).count());
            if (!check(::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0)) {
                return -1;
            }
            receiveTimeout_ = timeout;
        }
        // A signal handler interrupts the wait (SO_RCVTIMEO waits are never restarted by
        // the kernel); it starts again, so such a wait can last up to one time-out longer.
        const ssize_t received = receive(buffer, from, flags);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return kReceiveTimedOut;
            }
            check(false);
            return -1;
        }
        return static_cast<long>(received);
    }

    std::string lastError() const override { return error_; }
    SocketError lastErrorKind() const override { return errorKind_; }

  private:
    // One recvfrom, started again when a signal interrupts it; fills `from` on success. On
    // failure the result is negative and errno says why.
    ssize_t receive(std::span<std::uint8_t> buffer, Endpoint& from, int flags) {
        sockaddr_in sa{};
        socklen_t length = sizeof sa;
        ssize_t received = 0;
        do {
            length = sizeof sa;
            received = ::recvfrom(fd_, buffer.data(), buffer.size(), flags,
                                  reinterpret_cast<sockaddr*>(&sa), &length);
        } while (received < 0 && errno == EINTR);
        if (received >= 0) {
            from.address = sa.sin_addr.s_addr;
            from.port = ntohs(sa.sin_port);
        }
        return received;
    }

    std::chrono::milliseconds receiveTimeout_{0};  // SO_RCVTIMEO now set, 0 for none
    // Records errno (or `code`) as the last failure when `ok` is false; returns `ok`.
    bool check(bool ok, int code = 0) {
        if (!ok) {
            const int error = code != 0 ? code : errno;
            error_ = std::system_category().message(error);
            errorKind_ = error == EADDRINUSE                   ? SocketError::kAddressInUse
                         : (error == EACCES || error == EPERM) ? SocketError::kAccessDenied
                                                               : SocketError::kOther;
        }
        return ok;
    }

    int fd_;
    std::string error_;
    SocketError errorKind_ = SocketError::kNone;
};

}  // namespace

std::unique_ptr<UdpSocket> PosixNetwork::openUdp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<PosixUdpSocket>(fd);
}

void PosixNetwork::sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

std::uint32_t PosixNetwork::tickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

std::int64_t PosixNetwork::timeSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::vector<Ipv4> PosixNetwork::localAddresses() {
    std::vector<Ipv4> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return result;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const Ipv4 address = AddressOf(entry->ifa_addr);
        if (std::find(result.begin(), result.end(), address) == result.end()) {
            result.push_back(address);
        }
    }
    ::freeifaddrs(list);
    return result;
}

std::vector<NetworkInterface> PosixNetwork::interfaces() {
    std::vector<NetworkInterface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return result;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        NetworkInterface in;
        in.name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        in.index = in.name.empty() ? 0 : ::if_nametoindex(in.name.c_str());
        in.address = AddressOf(entry->ifa_addr);
        in.netmask = AddressOf(entry->ifa_netmask);
        if ((entry->ifa_flags & IFF_BROADCAST) != 0) {
            in.broadcast = AddressOf(entry->ifa_broadaddr);
        }
        in.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        result.push_back(std::move(in));
    }
    ::freeifaddrs(list);
    return result;
}

std::unique_ptr<Network> makeSystemNetwork() {
    return std::make_unique<PosixNetwork>();
}

}  // namespace tavlo::platform
