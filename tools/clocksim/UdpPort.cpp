#include "tools/clocksim/UdpPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavlo::clocksim {
namespace {

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

constexpr std::size_t kControlSize = CMSG_SPACE(sizeof(in_pktinfo));
constexpr int kSendWaitMs = 1000;

}  // namespace

std::unique_ptr<UdpPort> UdpPort::Open(std::uint16_t port, int bufferBytes, std::string& error) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = ErrnoText("socket");
        return nullptr;
    }
    std::unique_ptr<UdpPort> socket(new UdpPort(fd, port));
    int on = 1;
    if (::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        error = ErrnoText("setsockopt");
        return nullptr;
    }
    // As root the FORCE variants pass the system's limits; otherwise take what is allowed.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    }
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &bufferBytes, sizeof bufferBytes) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof bufferBytes);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = ErrnoText("cannot bind UDP port " + std::to_string(port));
        return nullptr;
    }
    return socket;
}

UdpPort::~UdpPort() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int UdpPort::ReceiveBufferBytes() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, &length);
    return bytes;
}

std::optional<ReceivedDatagram> UdpPort::Receive(std::span<std::uint8_t> buffer,
                                                 std::string& error) {
    sockaddr_in from{};
    iovec io{buffer.data(), buffer.size()};
    alignas(cmsghdr) unsigned char control[kControlSize];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t size = ::recvmsg(fd_, &message, MSG_TRUNC | MSG_DONTWAIT);
    if (size < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            error = ErrnoText("recvmsg");
        }
        return std::nullopt;
    }
    ReceivedDatagram got;
    got.size = static_cast<std::size_t>(size);
    got.from.address = from.sin_addr.s_addr;
    got.from.port = ntohs(from.sin_port);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            got.destination = info.ipi_addr.s_addr;
            got.localAddress = info.ipi_spec_dst.s_addr;
        }
    }
    return got;
}

bool UdpPort::SendFrom(platform::Ipv4 source, platform::Endpoint to,
                       std::span<const std::uint8_t> data, std::string& error) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = to.address;
    target.sin_port = htons(to.port);
    iovec io{const_cast<std::uint8_t*>(data.data()), data.size()};
    alignas(cmsghdr) unsigned char control[kControlSize]{};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = source;
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    for (;;) {
        ssize_t sent = ::sendmsg(fd_, &message, 0);
        if (sent == static_cast<ssize_t>(data.size())) {
            return true;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The send buffer is full (hundreds of clocks answering at once): wait for room.
            pollfd room{fd_, POLLOUT, 0};
            if (::poll(&room, 1, kSendWaitMs) > 0) {
                continue;
            }
        }
        error = sent < 0 ? ErrnoText("sendmsg") : "sendmsg: short send";
        return false;
    }
}

}  // namespace tavlo::clocksim
