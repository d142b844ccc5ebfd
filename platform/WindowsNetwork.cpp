// Network over Winsock 2, QueryPerformanceCounter and GetAdaptersAddresses.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <mmsystem.h>
#include <mstcpip.h>
#include <mswsock.h>

#include <algorithm>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/Ipv4.h"
#include "platform/Network.h"
#include "platform/WindowsText.h"

namespace tavlo::platform {
namespace {

constexpr WORD kWinsockVersion = MAKEWORD(2, 2);
// The largest UDP datagram: every datagram is received whole, so its real size is known.
constexpr std::size_t kMaxDatagram = 65536;
// A send the socket's buffer cannot take at once waits at most this long for room.
constexpr long kSendWaitMicroseconds = 1000000;
constexpr long kMicrosecondsPerMillisecond = 1000;
constexpr long kMillisecondsPerSecond = 1000;
// The system timer's resolution while the network is in use (Sleep's steps are 15.6 ms
// otherwise, too coarse for the waits and the pacing).
constexpr UINT kTimerResolutionMs = 1;
// GetAdaptersAddresses: the first buffer, and how often a grown list is asked again.
constexpr ULONG kAdapterBufferBytes = 16 * 1024;
constexpr int kAdapterTries = 4;
constexpr ULONG kAdapterFlags =
    GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr ULONG kIpv4Bits = 32;

// Winsock is started once for the process and left running until it ends.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(kWinsockVersion, &data) == 0;
    }();
    return started;
}

sockaddr_in MakeSockaddr(Ipv4 address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = HostToNetwork16(port);
    return sa;
}

timeval MakeTimeval(std::chrono::milliseconds wait) {
    timeval limit{};
    limit.tv_sec = static_cast<long>(wait.count() / kMillisecondsPerSecond);
    limit.tv_usec =
        static_cast<long>(wait.count() % kMillisecondsPerSecond) * kMicrosecondsPerMillisecond;
    return limit;
}

class WindowsUdpSocket final : public UdpSocket {
  public:
    explicit WindowsUdpSocket(SOCKET socket) : socket_(socket), datagram_(kMaxDatagram) {
        // No other socket may take the port this one binds, not even with SO_REUSEADDR.
        const BOOL on = TRUE;
        ::setsockopt(socket_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                     sizeof on);
        // Without this an ICMP "port unreachable" for an earlier send fails the next receive.
        BOOL reportReset = FALSE;
        DWORD returned = 0;
        ::WSAIoctl(socket_, SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0,
                   &returned, nullptr, nullptr);
        // Non-blocking: every wait is a select with its own time-out.
        u_long nonBlocking = 1;
        ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
    }
    ~WindowsUdpSocket() override { ::closesocket(socket_); }
    WindowsUdpSocket(const WindowsUdpSocket&) = delete;
    WindowsUdpSocket& operator=(const WindowsUdpSocket&) = delete;

    bool enableBroadcast() override {
        const BOOL on = TRUE;
        return check(::setsockopt(socket_, SOL_SOCKET, SO_BROADCAST,
                                  reinterpret_cast<const char*>(&on), sizeof on) == 0);
    }

    bool setReceiveBuffer(int bytes) override {
        return check(::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF,
                                  reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0);
    }

    int receiveBufferSize() const override {
        int bytes = 0;
        int length = sizeof bytes;
        if (::getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&bytes),
                         &length) != 0) {
            return 0;
        }
        return bytes;
    }

    bool bind(Ipv4 address, std::uint16_t port) override {
        const sockaddr_in sa = MakeSockaddr(address, port);
        return check(::bind(socket_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0);
    }

    std::uint16_t localPort() const override {
        sockaddr_in sa{};
        int length = sizeof sa;
        if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
            return 0;
        }
        return NetworkToHost16(sa.sin_port);
    }

    long sendTo(std::span<const std::uint8_t> data, Endpoint to) override {
        return sendOn(data, to, 0);
    }

    // IP_UNICAST_IF names the interface a datagram leaves by, broadcasts included; 0 lets
    // the routing table choose again.
    long sendOn(std::span<const std::uint8_t> data, Endpoint to,
                std::uint32_t interfaceIndex) override {
        if (interfaceIndex != sendInterface_) {
            const DWORD index = HostToNetwork32(interfaceIndex);
            if (!check(::setsockopt(socket_, IPPROTO_IP, IP_UNICAST_IF,
                                    reinterpret_cast<const char*>(&index), sizeof index) == 0)) {
                return -1;
            }
            sendInterface_ = interfaceIndex;
        }
        const sockaddr_in sa = MakeSockaddr(to.address, to.port);
        for (;;) {
            const int sent = ::sendto(socket_, reinterpret_cast<const char*>(data.data()),
                                      static_cast<int>(data.size()), 0,
                                      reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
            if (sent >= 0) {
                return sent;
            }
            if (::WSAGetLastError() != WSAEWOULDBLOCK || !waitWritable()) {
                check(false);
                return -1;
            }
        }
    }

    WaitResult waitReadable(std::chrono::milliseconds timeout) override {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval limit = MakeTimeval(std::max(timeout, std::chrono::milliseconds{0}));
        const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
        if (ready > 0) {
            return WaitResult::kReadable;
        }
        if (ready == 0) {
            return WaitResult::kTimeout;
        }
        check(false);
        return WaitResult::kError;
    }

    long receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) override {
        sockaddr_in sa{};
        int length = sizeof sa;
        const int received = ::recvfrom(socket_, reinterpret_cast<char*>(datagram_.data()),
                                        static_cast<int>(datagram_.size()), 0,
                                        reinterpret_cast<sockaddr*>(&sa), &length);
        if (!check(received >= 0)) {
            return -1;
        }
        const auto size = static_cast<std::size_t>(received);
        std::copy_n(datagram_.begin(), std::min(size, buffer.size()), buffer.begin());
        from.address = sa.sin_addr.s_addr;
        from.port = NetworkToHost16(sa.sin_port);
        return static_cast<long>(size);
    }

    long receiveWithin(std::span<std::uint8_t> buffer, Endpoint& from,
                       std::chrono::milliseconds timeout) override {
        // A datagram already waiting is taken without a select.
        const long received = receiveFrom(buffer, from);
        if (received >= 0 || errorCode_ != WSAEWOULDBLOCK) {
            return received;
        }
        error_.clear();
        errorKind_ = SocketError::kNone;
        if (timeout.count() <= 0) {
            return kReceiveTimedOut;
        }
        return UdpSocket::receiveWithin(buffer, from, timeout);
    }

    std::string lastError() const override { return error_; }
    SocketError lastErrorKind() const override { return errorKind_; }

  private:
    bool waitWritable() {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(socket_, &writable);
        timeval limit{0, kSendWaitMicroseconds};
        return ::select(0, nullptr, &writable, nullptr, &limit) > 0;
    }

    // Records WSAGetLastError as the last failure when `ok` is false; returns `ok`.
    bool check(bool ok) {
        if (!ok) {
            errorCode_ = ::WSAGetLastError();
            error_ = SystemErrorText(static_cast<unsigned long>(errorCode_));
            errorKind_ = errorCode_ == WSAEADDRINUSE ? SocketError::kAddressInUse
                         : errorCode_ == WSAEACCES   ? SocketError::kAccessDenied
                                                     : SocketError::kOther;
        }
        return ok;
    }

    SOCKET socket_;
    std::vector<std::uint8_t> datagram_;
    std::uint32_t sendInterface_ = 0;
    int errorCode_ = 0;
    std::string error_;
    SocketError errorKind_ = SocketError::kNone;
};

// The prefix length's mask in network byte order.
Ipv4 MaskOfLength(ULONG length) {
    if (length == 0) {
        return 0;
    }
    const std::uint32_t host = length >= kIpv4Bits ? kAllOnes : kAllOnes << (kIpv4Bits - length);
    return HostToNetwork32(host);
}

// The adapters' list, asked again while it grows between the size query and the copy.
std::vector<std::uint8_t> AdapterList() {
    std::vector<std::uint8_t> buffer(kAdapterBufferBytes);
    for (int attempt = 0; attempt < kAdapterTries; ++attempt) {
        ULONG size = static_cast<ULONG>(buffer.size());
        const ULONG result =
            ::GetAdaptersAddresses(AF_INET, kAdapterFlags, nullptr,
                                   reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (result == NO_ERROR) {
            return buffer;
        }
        if (result != ERROR_BUFFER_OVERFLOW) {
            break;
        }
        buffer.resize(size);
    }
    return {};
}

class WindowsNetwork final : public Network {
  public:
    WindowsNetwork() {
        ::QueryPerformanceFrequency(&frequency_);
        ::timeBeginPeriod(kTimerResolutionMs);
    }
    ~WindowsNetwork() override { ::timeEndPeriod(kTimerResolutionMs); }
    WindowsNetwork(const WindowsNetwork&) = delete;
    WindowsNetwork& operator=(const WindowsNetwork&) = delete;

    std::unique_ptr<UdpSocket> openUdp() override {
        if (!StartWinsock()) {
            return nullptr;
        }
        const SOCKET socket =
            ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        if (socket == INVALID_SOCKET) {
            return nullptr;
        }
        return std::make_unique<WindowsUdpSocket>(socket);
    }

    void sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }

    std::uint32_t tickCount() override {
        LARGE_INTEGER counter{};
        ::QueryPerformanceCounter(&counter);
        const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
        const auto perSecond = static_cast<std::uint64_t>(frequency_.QuadPart);
        // Whole seconds and the rest apart, so the product cannot overflow.
        const std::uint64_t ms = ticks / perSecond * kMillisecondsPerSecond +
                                 ticks % perSecond * kMillisecondsPerSecond / perSecond;
        return static_cast<std::uint32_t>(ms);
    }

    std::int64_t timeSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }

    std::vector<Ipv4> localAddresses() override {
        std::vector<Ipv4> result;
        for (const NetworkInterface& entry : interfaces()) {
            if (std::find(result.begin(), result.end(), entry.address) == result.end()) {
                result.push_back(entry.address);
            }
        }
        return result;
    }

    std::vector<NetworkInterface> interfaces() override {
        std::vector<NetworkInterface> result;
        const std::vector<std::uint8_t> list = AdapterList();
        if (list.empty()) {
            return result;
        }
        for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(list.data());
             adapter != nullptr; adapter = adapter->Next) {
            if (adapter->OperStatus != IfOperStatusUp) {
                continue;
            }
            const bool loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
                 unicast = unicast->Next) {
                const sockaddr* address = unicast->Address.lpSockaddr;
                if (address == nullptr || address->sa_family != AF_INET) {
                    continue;
                }
                NetworkInterface entry;
                entry.name = WideToUtf8(adapter->FriendlyName);
                entry.index = adapter->IfIndex;
                entry.address = reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr;
                entry.netmask = MaskOfLength(unicast->OnLinkPrefixLength);
                entry.loopback = loopback;
                // A network of one address (or a point-to-point link) has no broadcast.
                const bool hasBroadcast = !loopback && entry.netmask != 0 &&
                                          entry.netmask != kLimitedBroadcast &&
                                          adapter->IfType != IF_TYPE_PPP;
                entry.broadcast = hasBroadcast ? (entry.address | ~entry.netmask) : 0;
                result.push_back(entry);
            }
        }
        return result;
    }

  private:
    LARGE_INTEGER frequency_{};
};

}  // namespace

std::unique_ptr<Network> makeSystemNetwork() {
    return std::make_unique<WindowsNetwork>();
}

}  // namespace tavlo::platform
