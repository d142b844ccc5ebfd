#include "tools/clocksim/ClockPortService.h"

#include <algorithm>
#include <cstdio>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "tools/clocksim/FaultShaper.h"

namespace tavlo::clocksim {

SimClock* ClockDirectory::Find(platform::Ipv4 address) {
    for (auto& clock : clocks_) {
        if (clock.address == address) {
            return &clock;
        }
    }
    return nullptr;
}

void ClockDirectory::SetLocal(std::vector<platform::Ipv4> addresses,
                              std::vector<platform::Ipv4> broadcasts) {
    local_ = std::move(addresses);
    broadcasts_ = std::move(broadcasts);
}

bool ClockDirectory::IsOwnAddress(platform::Ipv4 address) const {
    if (std::find(local_.begin(), local_.end(), address) != local_.end()) {
        return true;
    }
    return std::any_of(clocks_.begin(), clocks_.end(),
                       [&](const SimClock& clock) { return clock.address == address; });
}

bool ClockDirectory::IsBroadcast(platform::Ipv4 destination) const {
    return destination == platform::kLimitedBroadcast ||
           std::find(broadcasts_.begin(), broadcasts_.end(), destination) != broadcasts_.end();
}

std::vector<ClockKind> KindsServed(std::uint16_t port, std::size_t size) {
    if (port == protocol::kFullFramePort) {
        if (size == protocol::kSettingsFrameSize) {
            return {ClockKind::kWifi};
        }
        if (size == protocol::kCommandFrameSize) {
            return {ClockKind::kEarlyWifi};
        }
    } else if (port == protocol::kChunkPort) {
        if (size == protocol::kChunkSize) {
            return {ClockKind::kWired};
        }
        if (size == protocol::kCommandFrameSize) {
            return {ClockKind::kEarly, ClockKind::kEarlyWifi};
        }
    }
    return {};
}

ClockPortService::ClockPortService(std::unique_ptr<UdpPort> socket, SimContext context,
                                   protocol::NonceSource& nonces)
    : socket_(std::move(socket)), context_(context), responder_(nonces) {}

std::string ClockPortService::Describe() const {
    return "UDP " + std::to_string(socket_->Port());
}

void ClockPortService::OnReadable() {
    for (int i = 0; i < kMaxDatagramsPerWake; ++i) {
        std::string error;
        auto datagram = socket_->Receive(buffer_, error);
        if (!datagram) {
            if (!error.empty()) {
                std::fprintf(stderr, "tavlo-clocksim: port %u: %s\n", socket_->Port(),
                             error.c_str());
            }
            return;
        }
        const std::size_t kept = std::min(datagram->size, buffer_.size());
        Handle(*datagram, std::span<const std::uint8_t>(buffer_.data(), kept));
    }
}

void ClockPortService::Send(platform::Ipv4 from, platform::Endpoint to, const Datagram& bytes) {
    std::string error;
    if (!socket_->SendFrom(from, to, bytes, error)) {
        std::fprintf(stderr, "tavlo-clocksim: reply from %s to %s:%u failed: %s\n",
                     platform::FormatIpv4(from).c_str(), platform::FormatIpv4(to.address).c_str(),
                     to.port, error.c_str());
    }
}

void ClockPortService::Handle(const ReceivedDatagram& datagram,
                              std::span<const std::uint8_t> bytes) {
    const bool broadcast = context_.clocks.IsBroadcast(datagram.destination);
    json::Json line = {
        {"time_ms", context_.loop.NowMs()},
        {"port", socket_->Port()},
        {"from",
         platform::FormatIpv4(datagram.from.address) + ":" + std::to_string(datagram.from.port)},
        {"to", platform::FormatIpv4(datagram.destination)},
        {"broadcast", broadcast},
        {"size", datagram.size},
    };
    if (bytes.size() == protocol::kChunkSize && datagram.size == protocol::kChunkSize) {
        std::uint32_t nonce = 0;
        for (std::size_t i = 0; i < protocol::kChunkNonceSize; ++i) {
            nonce |= std::uint32_t{bytes[protocol::kChunkNonceOffset + i]} << (8 * i);
        }
        line["chunk"] = {{"number", bytes[protocol::kChunkNumberOffset]},
                         {"length", bytes[protocol::kChunkLengthOffset]},
                         {"nonce", nonce}};
    }

    if (context_.clocks.IsOwnAddress(datagram.from.address)) {
        line["note"] = "from an own address";
        context_.log.Write(line);
        return;
    }
    const auto kinds = KindsServed(socket_->Port(), datagram.size);
    std::vector<SimClock*> targets;
    if (kinds.empty()) {
        line["note"] = "no clock takes this size on this port";
    } else if (broadcast) {
        for (auto& clock : context_.clocks.All()) {
            if (std::find(kinds.begin(), kinds.end(), clock.kind) != kinds.end()) {
                targets.push_back(&clock);
            }
        }
    } else if (SimClock* clock = context_.clocks.Find(datagram.destination)) {
        if (std::find(kinds.begin(), kinds.end(), clock->kind) != kinds.end()) {
            targets.push_back(clock);
        } else {
            line["note"] = "the clock at this address is " + std::string(KindName(clock->kind));
        }
    } else {
        line["note"] = "no clock at this address";
    }

    json::Json answered = json::Json::array();
    json::Json decoded;
    std::string request;
    for (SimClock* clock : targets) {
        Answer answer;
        if (datagram.size == protocol::kChunkSize) {
            answer = responder_.OnChunk(*clock, datagram.from, bytes, context_.loop.NowMs());
        } else if (datagram.size == protocol::kSettingsFrameSize) {
            answer = responder_.OnFullFrame(*clock, bytes);
        } else {
            answer = responder_.OnCommandFrame(*clock, bytes);
        }
        if (decoded.is_null() && context_.log.IsOpen()) {
            if (answer.frame) {
                decoded = DecodeSettingsFrame(*answer.frame);
            } else if (answer.command) {
                decoded = DecodeCommandFrame(*answer.command);
            }
        }
        if (request.empty() || answer.request != RequestKind::kIgnored) {
            request = RequestKindName(answer.request);
        }
        auto shaped = ShapeReplies(answer.replies, clock->faults, answer.request, context_.rng);
        json::Json entry = {{"address", platform::FormatIpv4(clock->address)},
                            {"request", RequestKindName(answer.request)},
                            {"replies", shaped.size()}};
        if (!answer.note.empty()) {
            entry["note"] = answer.note;
        }
        answered.push_back(std::move(entry));
        for (auto& out : shaped) {
            if (out.delayMs <= 0) {
                Send(clock->address, datagram.from, out.bytes);
            } else {
                context_.loop.After(std::chrono::milliseconds(out.delayMs),
                                    [this, from = clock->address, to = datagram.from,
                                     bytes = std::move(out.bytes)] { Send(from, to, bytes); });
            }
        }
    }
    if (!request.empty()) {
        line["request"] = request;
    }
    line["clocks"] = std::move(answered);
    if (!decoded.is_null()) {
        line["frame"] = std::move(decoded);
    }
    context_.log.Write(line);
}

}  // namespace tavlo::clocksim
