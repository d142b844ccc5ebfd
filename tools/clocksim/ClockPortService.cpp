#include "tools/clocksim/ClockPortService.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
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

bool ClockDirectory::IsSpare(platform::Ipv4 address) const {
    constexpr std::uint8_t kLoopbackOctet = 127;
    return platform::FirstOctet(address) != kLoopbackOctet &&
           std::find(local_.begin(), local_.end(), address) != local_.end() &&
           std::none_of(clocks_.begin(), clocks_.end(),
                        [&](const SimClock& clock) { return clock.address == address; });
}

std::optional<platform::Ipv4> ClockDirectory::FirstSpare() const {
    const auto found = std::find_if(local_.begin(), local_.end(),
                                    [this](platform::Ipv4 address) { return IsSpare(address); });
    return found == local_.end() ? std::nullopt : std::optional(*found);
}

namespace {

// The address settings of a clock's record.
struct Addressing {
    platform::Ipv4 ip = 0;
    bool dynamicIp = false;
};

Addressing AddressingOf(const SimClock& clock) {
    if (IsEarly(clock.kind)) {
        const settings::ConstEarlyClockSettings record(clock.earlyRecord);
        return {record.ipAddress(), record.dynamicIp()};
    }
    const settings::ConstClockSettings record(clock.record);
    return {record.ipAddress(), record.dynamicIp()};
}

void SetIpAddress(SimClock& clock, platform::Ipv4 address) {
    if (IsEarly(clock.kind)) {
        settings::EarlyClockSettings(clock.earlyRecord).setIpAddress(address);
    } else {
        settings::ClockSettings(clock.record).setIpAddress(address);
    }
}

}  // namespace

std::optional<platform::Ipv4> ClockPortService::MoveAfterWrite(SimClock& clock, bool wasDynamic) {
    const Addressing now = AddressingOf(clock);
    std::optional<platform::Ipv4> to;
    if (!now.dynamicIp && now.ip != clock.address && context_.clocks.IsSpare(now.ip)) {
        to = now.ip;
    } else if (now.dynamicIp && !wasDynamic) {
        to = context_.clocks.FirstSpare();
        if (to) {
            SetIpAddress(clock, *to);  // what the DHCP server gave it
        }
    }
    if (to) {
        clock.address = *to;
    }
    return to;
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

void ClockPortService::StartFlood(const SimClock& clock, platform::Endpoint to,
                                  const std::vector<Datagram>& replies) {
    const bool running = floods_.count(clock.address) != 0;
    floods_[clock.address] = Flood{to, replies, 0};
    if (!running) {
        FloodBatch(clock.address, clock.faults.floodPerSecond);
    }
}

void ClockPortService::FloodBatch(platform::Ipv4 clock, int perSecond) {
    constexpr int kMillisecondsPerSecond = 1000;
    const auto interval =
        std::max(kFloodInterval, std::chrono::milliseconds(kMillisecondsPerSecond / perSecond));
    const auto batch =
        std::max<long long>(1, perSecond * interval.count() / kMillisecondsPerSecond);
    Flood& flood = floods_.at(clock);
    for (long long i = 0; i < batch; ++i) {
        Send(clock, flood.to, flood.replies[flood.next]);
        flood.next = (flood.next + 1) % flood.replies.size();
    }
    context_.loop.After(interval, [this, clock, perSecond] { FloodBatch(clock, perSecond); });
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
    // Replies to send once the request is logged, each with the address it leaves from.
    std::vector<std::pair<platform::Ipv4, ScheduledDatagram>> outgoing;
    json::Json decoded;
    std::string request;
    for (SimClock* clock : targets) {
        const platform::Ipv4 askedAt = clock->address;
        const bool wasDynamic = AddressingOf(*clock).dynamicIp;
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
        json::Json entry = {{"address", platform::FormatIpv4(askedAt)},
                            {"request", RequestKindName(answer.request)},
                            {"replies", shaped.size()}};
        platform::Ipv4 replyFrom = askedAt;
        if (!broadcast && answer.taken && RequestClassOf(answer.request) == kWriteRequests &&
            clock->faults.moveOnWrite != MoveOnWrite::kStay) {
            if (const auto moved = MoveAfterWrite(*clock, wasDynamic)) {
                entry["moved_to"] = platform::FormatIpv4(*moved);
                if (clock->faults.moveOnWrite == MoveOnWrite::kAnswerFromNew) {
                    replyFrom = *moved;
                }
            }
        }
        if (RequestClassOf(answer.request) == kWriteRequests) {
            // The clock took the write; whether an acknowledgement of it left unaltered.
            entry["acknowledged"] =
                answer.acknowledges &&
                std::any_of(shaped.begin(), shaped.end(), [&](const ScheduledDatagram& out) {
                    return std::find(answer.replies.begin(), answer.replies.end(), out.bytes) !=
                           answer.replies.end();
                });
        }
        if (clock->faults.floodPerSecond > 0 && !answer.replies.empty()) {
            StartFlood(*clock, datagram.from, answer.replies);
        }
        if (!answer.note.empty()) {
            entry["note"] = answer.note;
        }
        answered.push_back(std::move(entry));
        for (auto& out : shaped) {
            outgoing.push_back({replyFrom, std::move(out)});
        }
    }
    if (!request.empty()) {
        line["request"] = request;
    }
    line["clocks"] = std::move(answered);
    if (!decoded.is_null()) {
        line["frame"] = std::move(decoded);
    }
    // The request is in the log before any reply leaves: whoever got the reply finds the line.
    context_.log.Write(line);
    for (auto& [from, out] : outgoing) {
        if (out.delayMs <= 0) {
            Send(from, datagram.from, out.bytes);
        } else {
            context_.loop.After(std::chrono::milliseconds(out.delayMs),
                                [this, from = from, to = datagram.from,
                                 bytes = std::move(out.bytes)] { Send(from, to, bytes); });
        }
    }
}

}  // namespace tavlo::clocksim
