#include "workflow/SharedPorts.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace tavlo::workflow {

using platform::Endpoint;
using platform::Ipv4;
using platform::SocketError;
using platform::WaitResult;

namespace {

// The receive thread looks at its stop request this often.
constexpr std::chrono::milliseconds kReceiveStep{20};
// Largest datagram taken whole; a longer one keeps its real size and is dropped by the
// exchange, as any datagram of the wrong size.
constexpr std::size_t kMaxDatagram = 2048;
// Up to 64 clocks answer at once into one socket.
constexpr int kSharedReceiveBuffer = 1 << 20;
constexpr const char* kUnicastOnlyText = "clocks of a many-clock run are asked one by one";
constexpr const char* kNotBoundText = "socket not bound";

struct Datagram {
    std::vector<std::uint8_t> bytes;
    long size = 0;  // the real size
    Endpoint from;
};

}  // namespace

// What one clock's socket has received, waiting to be taken.
class SharedPorts::Mailbox {
  public:
    explicit Mailbox(Ipv4 clock) : clock(clock) {}

    void push(const Datagram& datagram) {
        {
            std::lock_guard lock(mutex_);
            if (queue_.size() >= kMaxQueuedDatagrams) {
                return;
            }
            queue_.push_back(datagram);
        }
        ready_.notify_one();
    }

    // The next datagram, waiting up to `timeout` for one.
    std::optional<Datagram> pop(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) {
            return std::nullopt;
        }
        Datagram datagram = std::move(queue_.front());
        queue_.pop_front();
        return datagram;
    }

    bool waitReadable(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    }

    const Ipv4 clock;

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Datagram> queue_;
};

// One bound socket and the thread that hands what it receives to the clocks' mailboxes.
class SharedPorts::Port {
  public:
    explicit Port(std::unique_ptr<platform::UdpSocket> socket)
        : socket_(std::move(socket)),
          receiver_([this](const std::stop_token& stop) { receive(stop); }) {}

    long send(std::span<const std::uint8_t> data, Endpoint to) {
        std::lock_guard lock(socketMutex_);
        return socket_->sendTo(data, to);
    }

    void attach(Mailbox& mailbox) {
        std::lock_guard lock(routesMutex_);
        routes_.push_back(&mailbox);
    }

    void detach(Mailbox& mailbox) {
        std::lock_guard lock(routesMutex_);
        routes_.erase(std::remove(routes_.begin(), routes_.end(), &mailbox), routes_.end());
    }

  private:
    void receive(const std::stop_token& stop) {
        std::vector<std::uint8_t> buffer(kMaxDatagram);
        while (!stop.stop_requested()) {
            const WaitResult wait = socket_->waitReadable(kReceiveStep);
            if (wait == WaitResult::kTimeout) {
                continue;
            }
            if (wait == WaitResult::kError) {
                std::this_thread::sleep_for(kReceiveStep);
                continue;
            }
            Datagram datagram;
            {
                std::lock_guard lock(socketMutex_);
                datagram.size = socket_->receiveFrom(buffer, datagram.from);
            }
            if (datagram.size < 0) {
                continue;
            }
            const auto kept = std::min(static_cast<std::size_t>(datagram.size), buffer.size());
            datagram.bytes.assign(buffer.begin(), buffer.begin() + static_cast<long>(kept));
            route(datagram);
        }
    }

    // To the clock that sent it; a sender that is no clock in flight to every exchange.
    void route(const Datagram& datagram) {
        std::lock_guard lock(routesMutex_);
        const bool known = std::any_of(routes_.begin(), routes_.end(), [&](const Mailbox* box) {
            return box->clock == datagram.from.address;
        });
        for (Mailbox* box : routes_) {
            if (!known || box->clock == datagram.from.address) {
                box->push(datagram);
            }
        }
    }

    std::unique_ptr<platform::UdpSocket> socket_;
    std::mutex socketMutex_;  // sends and receives; the wait runs outside it
    std::mutex routesMutex_;
    std::vector<Mailbox*> routes_;
    std::jthread receiver_;  // last: it starts once everything above exists
};

// A socket of one clock's exchanges over the shared socket of its port.
class ClockSocket final : public platform::UdpSocket {
  public:
    ClockSocket(SharedPorts& ports, Ipv4 clock) : ports_(ports), mailbox_(clock) {}
    ~ClockSocket() override {
        if (port_ != nullptr) {
            port_->detach(mailbox_);
        }
    }

    bool enableBroadcast() override {
        error_ = kUnicastOnlyText;
        return false;
    }
    bool setReceiveBuffer(int /*bytes*/) override { return true; }
    bool bind(Ipv4 /*address*/, std::uint16_t port) override {
        if (port_ != nullptr) {
            return false;
        }
        port_ = ports_.port(port, error_, errorKind_);
        if (port_ == nullptr) {
            return false;
        }
        number_ = port;
        port_->attach(mailbox_);
        return true;
    }
    std::uint16_t localPort() const override { return number_; }
    long sendTo(std::span<const std::uint8_t> data, Endpoint to) override {
        if (port_ == nullptr) {
            error_ = kNotBoundText;
            return -1;
        }
        return port_->send(data, to);
    }
    WaitResult waitReadable(std::chrono::milliseconds timeout) override {
        return mailbox_.waitReadable(timeout) ? WaitResult::kReadable : WaitResult::kTimeout;
    }
    long receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) override {
        return take(buffer, from, std::chrono::milliseconds::zero());
    }
    long receiveWithin(std::span<std::uint8_t> buffer, Endpoint& from,
                       std::chrono::milliseconds timeout) override {
        const long size = take(buffer, from, timeout);
        return size < 0 ? kReceiveTimedOut : size;
    }
    std::string lastError() const override { return error_; }
    SocketError lastErrorKind() const override { return errorKind_; }

  private:
    long take(std::span<std::uint8_t> buffer, Endpoint& from, std::chrono::milliseconds timeout) {
        std::optional<Datagram> datagram = mailbox_.pop(timeout);
        if (!datagram) {
            return -1;
        }
        std::copy_n(datagram->bytes.begin(), std::min(buffer.size(), datagram->bytes.size()),
                    buffer.begin());
        from = datagram->from;
        return datagram->size;
    }

    SharedPorts& ports_;
    SharedPorts::Mailbox mailbox_;
    SharedPorts::Port* port_ = nullptr;
    std::uint16_t number_ = 0;
    std::string error_;
    SocketError errorKind_ = SocketError::kNone;
};

namespace {

// What one clock's exchanges run on: sockets over the shared ports, everything else the
// underlying network's.
class ClockNetwork final : public platform::Network {
  public:
    ClockNetwork(SharedPorts& ports, platform::Network& network, Ipv4 clock)
        : ports_(ports), network_(network), clock_(clock) {}

    std::unique_ptr<platform::UdpSocket> openUdp() override {
        return std::make_unique<ClockSocket>(ports_, clock_);
    }
    void sleep(std::chrono::milliseconds duration) override { network_.sleep(duration); }
    std::uint32_t tickCount() override { return network_.tickCount(); }
    std::int64_t timeSeconds() override { return network_.timeSeconds(); }
    std::vector<Ipv4> localAddresses() override { return network_.localAddresses(); }
    std::vector<platform::NetworkInterface> interfaces() override { return network_.interfaces(); }

  private:
    SharedPorts& ports_;
    platform::Network& network_;
    const Ipv4 clock_;
};

}  // namespace

SharedPorts::SharedPorts(platform::Network& network) : network_(network) {}

SharedPorts::~SharedPorts() = default;

std::unique_ptr<platform::Network> SharedPorts::networkFor(Ipv4 clock) {
    return std::make_unique<ClockNetwork>(*this, network_, clock);
}

SharedPorts::Port* SharedPorts::port(std::uint16_t number, std::string& error, SocketError& kind) {
    std::lock_guard lock(mutex_);
    if (const auto found = ports_.find(number); found != ports_.end()) {
        return found->second.get();
    }
    std::unique_ptr<platform::UdpSocket> socket = network_.openUdp();
    if (!socket) {
        error = "cannot open a UDP socket";
        kind = SocketError::kOther;
        return nullptr;
    }
    socket->setReceiveBuffer(kSharedReceiveBuffer);
    if (!socket->bind(platform::kAnyAddress, number)) {
        // Not kept: a later exchange tries again, as a single clock's would.
        error = socket->lastError();
        kind = socket->lastErrorKind();
        return nullptr;
    }
    return ports_.emplace(number, std::make_unique<Port>(std::move(socket))).first->second.get();
}

}  // namespace tavlo::workflow
