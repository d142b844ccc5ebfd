#include "tests/support/FakeNetwork.h"

#include <algorithm>
#include <utility>

namespace tavlo::test {

using platform::Endpoint;
using platform::Ipv4;
using platform::SocketError;
using platform::WaitResult;

namespace {
constexpr char kAddressInUseText[] = "Address already in use";
constexpr char kAccessDeniedText[] = "Permission denied";
constexpr char kSendFailedText[] = "Network is unreachable";
constexpr char kNothingQueuedText[] = "Resource temporarily unavailable";
}  // namespace

class FakeNetwork::Socket final : public platform::UdpSocket {
  public:
    Socket(FakeNetwork& network, int id) : network_(network), id_(id) {}
    ~Socket() override { network_.closeSocket(id_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool enableBroadcast() override {
        std::lock_guard lock(network_.mutex_);
        network_.sockets_[static_cast<std::size_t>(id_)].broadcastEnabled = true;
        return true;
    }
    bool setReceiveBuffer(int bytes) override {
        std::lock_guard lock(network_.mutex_);
        network_.sockets_[static_cast<std::size_t>(id_)].receiveBuffer = bytes;
        return true;
    }
    bool bind(Ipv4 address, std::uint16_t port) override {
        return network_.bindSocket(id_, address, port, error_, kind_);
    }
    std::uint16_t localPort() const override {
        std::lock_guard lock(network_.mutex_);
        return network_.portOfLocked(id_);
    }
    long sendTo(std::span<const std::uint8_t> data, Endpoint to) override {
        return network_.sendFrom(id_, data, to, 0, error_, kind_);
    }
    long sendOn(std::span<const std::uint8_t> data, Endpoint to,
                std::uint32_t interfaceIndex) override {
        return network_.sendFrom(id_, data, to, interfaceIndex, error_, kind_);
    }
    int receiveBufferSize() const override {
        std::lock_guard lock(network_.mutex_);
        return network_.sockets_[static_cast<std::size_t>(id_)].receiveBuffer;
    }
    WaitResult waitReadable(std::chrono::milliseconds timeout) override {
        return network_.waitOn(id_, timeout);
    }
    long receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) override {
        const long size = network_.receiveOn(id_, buffer, from);
        if (size < 0) {
            error_ = kNothingQueuedText;
            kind_ = SocketError::kOther;
        }
        return size;
    }
    std::string lastError() const override { return error_; }
    SocketError lastErrorKind() const override { return kind_; }

  private:
    FakeNetwork& network_;
    int id_;
    std::string error_;
    SocketError kind_ = SocketError::kNone;
};

FakeNetwork::FakeNetwork() = default;
FakeNetwork::~FakeNetwork() = default;

std::unique_ptr<platform::UdpSocket> FakeNetwork::openUdp() {
    std::lock_guard lock(mutex_);
    if (failOpen_) {
        return nullptr;
    }
    sockets_.push_back(SocketRecord{});
    return std::make_unique<Socket>(*this, static_cast<int>(sockets_.size() - 1));
}

void FakeNetwork::sleep(std::chrono::milliseconds duration) {
    advance(duration);
}

std::uint32_t FakeNetwork::tickCount() {
    std::lock_guard lock(mutex_);
    return static_cast<std::uint32_t>(tickBase_ + now_);
}

std::int64_t FakeNetwork::timeSeconds() {
    std::lock_guard lock(mutex_);
    return epochBase_ + static_cast<std::int64_t>(now_ / 1000);
}

std::vector<Ipv4> FakeNetwork::localAddresses() {
    std::lock_guard lock(mutex_);
    return localAddresses_;
}

std::vector<platform::NetworkInterface> FakeNetwork::interfaces() {
    {
        std::lock_guard lock(mutex_);
        if (!interfaces_.empty()) {
            return interfaces_;
        }
    }
    return Network::interfaces();
}

void FakeNetwork::setInterfaces(std::vector<platform::NetworkInterface> interfaces) {
    std::lock_guard lock(mutex_);
    localAddresses_.clear();
    for (const platform::NetworkInterface& in : interfaces) {
        localAddresses_.push_back(in.address);
    }
    interfaces_ = std::move(interfaces);
}

void FakeNetwork::limitReceiveBuffers(bool limit) {
    std::lock_guard lock(mutex_);
    limitReceiveBuffers_ = limit;
}

std::uint64_t FakeNetwork::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void FakeNetwork::advance(std::chrono::milliseconds duration) {
    std::lock_guard lock(mutex_);
    if (duration.count() > 0) {
        now_ += static_cast<std::uint64_t>(duration.count());
    }
    settleLocked();
}

void FakeNetwork::setTickBase(std::uint32_t tickAtZero) {
    std::lock_guard lock(mutex_);
    tickBase_ = tickAtZero;
}

void FakeNetwork::setEpochSeconds(std::int64_t secondsAtZero) {
    std::lock_guard lock(mutex_);
    epochBase_ = secondsAtZero;
}

void FakeNetwork::setLocalAddresses(std::vector<Ipv4> addresses) {
    std::lock_guard lock(mutex_);
    localAddresses_ = std::move(addresses);
}

void FakeNetwork::deliver(std::uint16_t toPort, Endpoint from, std::vector<std::uint8_t> bytes,
                          std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    const std::uint64_t due =
        now_ + static_cast<std::uint64_t>(std::max<long long>(0, delay.count()));
    scheduleLocked(toPort, from, std::move(bytes), due);
    settleLocked();
}

void FakeNetwork::reply(const SentDatagram& request, Ipv4 fromAddress,
                        std::vector<std::uint8_t> bytes, std::chrono::milliseconds delay) {
    deliver(request.from.port, Endpoint{fromAddress, request.to.port}, std::move(bytes), delay);
}

void FakeNetwork::onSend(SendHandler handler) {
    std::lock_guard lock(mutex_);
    sendHandlers_.push_back(std::move(handler));
}

void FakeNetwork::addPeer(Ipv4 address, SendHandler handler, std::uint32_t interfaceIndex) {
    std::lock_guard lock(mutex_);
    peers_.push_back(Peer{address, std::move(handler), interfaceIndex});
}

void FakeNetwork::echoBroadcastsFrom(Ipv4 address) {
    std::lock_guard lock(mutex_);
    echoFrom_ = address;
}

std::size_t FakeNetwork::pendingDeliveries() const {
    std::lock_guard lock(mutex_);
    return deliveries_.size();
}

void FakeNetwork::failOpenUdp(bool fail) {
    std::lock_guard lock(mutex_);
    failOpen_ = fail;
}

void FakeNetwork::failBind(std::string reason, SocketError kind) {
    std::lock_guard lock(mutex_);
    failBind_ = true;
    bindReason_ = std::move(reason);
    bindKind_ = kind;
}

void FakeNetwork::clearBindFailure() {
    std::lock_guard lock(mutex_);
    failBind_ = false;
}

void FakeNetwork::failSends(int count) {
    std::lock_guard lock(mutex_);
    failSends_ = count;
}

void FakeNetwork::failWaits(int count) {
    std::lock_guard lock(mutex_);
    failWaits_ = count;
}

void FakeNetwork::failReceives(int count) {
    std::lock_guard lock(mutex_);
    failReceives_ = count;
}

std::vector<SentDatagram> FakeNetwork::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

void FakeNetwork::clearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
}

std::vector<SocketRecord> FakeNetwork::sockets() const {
    std::lock_guard lock(mutex_);
    return sockets_;
}

int FakeNetwork::openSocketCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(sockets_.begin(), sockets_.end(),
                                          [](const SocketRecord& s) { return s.open; }));
}

bool FakeNetwork::bindSocket(int id, Ipv4 address, std::uint16_t port, std::string& error,
                             SocketError& kind) {
    std::lock_guard lock(mutex_);
    SocketRecord& record = sockets_[static_cast<std::size_t>(id)];
    if (failBind_) {
        error = bindReason_;
        kind = bindKind_;
        return false;
    }
    if (record.bound || (port != 0 && holderOfPortLocked(port) >= 0)) {
        error = record.bound ? "Invalid argument" : kAddressInUseText;
        kind = record.bound ? SocketError::kOther : SocketError::kAddressInUse;
        return false;
    }
    record.bound = true;
    record.boundTo = Endpoint{address, port != 0 ? port : ephemeralPortLocked()};
    return true;
}

long FakeNetwork::sendFrom(int id, std::span<const std::uint8_t> data, Endpoint to,
                           std::uint32_t interfaceIndex, std::string& error, SocketError& kind) {
    SentDatagram record;
    std::vector<SendHandler> handlers;
    {
        std::lock_guard lock(mutex_);
        SocketRecord& socket = sockets_[static_cast<std::size_t>(id)];
        if (failSends_ != 0) {
            if (failSends_ > 0) {
                --failSends_;
            }
            error = kSendFailedText;
            kind = SocketError::kOther;
            return -1;
        }
        const bool broadcast = to.address == platform::kLimitedBroadcast;
        if (broadcast && !socket.broadcastEnabled) {
            error = kAccessDeniedText;
            kind = SocketError::kAccessDenied;
            return -1;
        }
        if (!socket.bound) {
            socket.bound = true;
            socket.boundTo = Endpoint{platform::kAnyAddress, ephemeralPortLocked()};
        }
        record.timeMs = now_;
        record.from = socket.boundTo;
        record.to = to;
        record.bytes.assign(data.begin(), data.end());
        record.broadcast = broadcast;
        record.socketId = id;
        record.interfaceIndex = interfaceIndex;
        sent_.push_back(record);
        if (broadcast && echoFrom_ != 0) {
            scheduleLocked(record.from.port, Endpoint{echoFrom_, record.from.port}, record.bytes,
                           now_);
            settleLocked();
        }
        handlers = sendHandlers_;
        for (const Peer& peer : peers_) {
            if ((broadcast && hearsBroadcastLocked(peer.interfaceIndex, interfaceIndex)) ||
                (!broadcast && peer.address == to.address)) {
                handlers.push_back(peer.handler);
            }
        }
    }
    for (const SendHandler& handler : handlers) {
        handler(record, *this);
    }
    return static_cast<long>(data.size());
}

WaitResult FakeNetwork::waitOn(int id, std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    settleLocked();
    if (failWaits_ != 0) {
        if (failWaits_ > 0) {
            --failWaits_;
        }
        return WaitResult::kError;
    }
    if (firstOwnedLocked(id) != deliveries_.end()) {
        return WaitResult::kReadable;
    }
    const std::uint64_t limit =
        now_ + static_cast<std::uint64_t>(std::max<long long>(0, timeout.count()));
    const std::uint16_t port = portOfLocked(id);
    const Delivery* next = nullptr;
    for (const Delivery& d : deliveries_) {
        if (port != 0 && d.owner < 0 && d.toPort == port && d.due <= limit &&
            (next == nullptr || d.due < next->due ||
             (d.due == next->due && d.sequence < next->sequence))) {
            next = &d;
        }
    }
    if (next != nullptr) {
        now_ = next->due;
        settleLocked();
        return WaitResult::kReadable;
    }
    now_ = limit;
    settleLocked();
    return WaitResult::kTimeout;
}

long FakeNetwork::receiveOn(int id, std::span<std::uint8_t> buffer, Endpoint& from) {
    std::lock_guard lock(mutex_);
    settleLocked();
    const auto it = firstOwnedLocked(id);
    if (it == deliveries_.end()) {
        return -1;
    }
    if (failReceives_ != 0) {
        if (failReceives_ > 0) {
            --failReceives_;
        }
        deliveries_.erase(it);
        return -1;
    }
    const std::size_t copied = std::min(buffer.size(), it->bytes.size());
    std::copy_n(it->bytes.begin(), copied, buffer.begin());
    from = it->from;
    const long size = static_cast<long>(it->bytes.size());
    deliveries_.erase(it);
    return size;
}

void FakeNetwork::closeSocket(int id) {
    std::lock_guard lock(mutex_);
    sockets_[static_cast<std::size_t>(id)].open = false;
    std::erase_if(deliveries_, [id](const Delivery& d) { return d.owner == id; });
}

void FakeNetwork::settleLocked() {
    // Hand every datagram that has fallen due to the socket holding its port; with no such
    // socket it is lost.
    for (auto it = deliveries_.begin(); it != deliveries_.end();) {
        if (it->owner < 0 && it->due <= now_) {
            const int holder = holderOfPortLocked(it->toPort);
            const bool full = holder >= 0 && limitReceiveBuffers_ &&
                              queuedBytesLocked(holder) + it->bytes.size() >
                                  static_cast<std::size_t>(
                                      sockets_[static_cast<std::size_t>(holder)].receiveBuffer != 0
                                          ? sockets_[static_cast<std::size_t>(holder)].receiveBuffer
                                          : kDefaultReceiveBuffer);
            it->owner = full ? -1 : holder;
            if (it->owner < 0) {
                it = deliveries_.erase(it);
                continue;
            }
        }
        ++it;
    }
}

std::deque<FakeNetwork::Delivery>::iterator FakeNetwork::firstOwnedLocked(int id) {
    auto best = deliveries_.end();
    for (auto it = deliveries_.begin(); it != deliveries_.end(); ++it) {
        if (it->owner == id && (best == deliveries_.end() || it->due < best->due ||
                                (it->due == best->due && it->sequence < best->sequence))) {
            best = it;
        }
    }
    return best;
}

bool FakeNetwork::hearsBroadcastLocked(std::uint32_t peerInterface, std::uint32_t sentOn) const {
    if (peerInterface == 0) {
        return true;
    }
    if (sentOn != 0) {
        return peerInterface == sentOn;
    }
    return !interfaces_.empty() && interfaces_.front().index == peerInterface;
}

std::size_t FakeNetwork::queuedBytesLocked(int id) const {
    std::size_t bytes = 0;
    for (const Delivery& d : deliveries_) {
        if (d.owner == id) {
            bytes += d.bytes.size();
        }
    }
    return bytes;
}

int FakeNetwork::holderOfPortLocked(std::uint16_t port) const {
    for (std::size_t i = 0; i < sockets_.size(); ++i) {
        const SocketRecord& s = sockets_[i];
        if (s.open && s.bound && s.boundTo.port == port) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::uint16_t FakeNetwork::portOfLocked(int id) const {
    const SocketRecord& s = sockets_[static_cast<std::size_t>(id)];
    return s.bound ? s.boundTo.port : 0;
}

std::uint16_t FakeNetwork::ephemeralPortLocked() {
    while (holderOfPortLocked(nextEphemeral_) >= 0) {
        nextEphemeral_ = nextEphemeral_ == 0xFFFF ? kFirstEphemeralPort
                                                  : static_cast<std::uint16_t>(nextEphemeral_ + 1);
    }
    const std::uint16_t port = nextEphemeral_;
    nextEphemeral_ = nextEphemeral_ == 0xFFFF ? kFirstEphemeralPort
                                              : static_cast<std::uint16_t>(nextEphemeral_ + 1);
    return port;
}

void FakeNetwork::scheduleLocked(std::uint16_t toPort, Endpoint from,
                                 std::vector<std::uint8_t> bytes, std::uint64_t due) {
    Delivery d;
    d.due = due;
    d.sequence = nextSequence_++;
    d.toPort = toPort;
    d.from = from;
    d.bytes = std::move(bytes);
    deliveries_.push_back(std::move(d));
}

}  // namespace tavlo::test
