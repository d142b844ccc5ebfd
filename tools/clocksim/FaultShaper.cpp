#include "tools/clocksim/FaultShaper.h"

#include <iterator>

#include "protocol/Frames.h"

namespace tavlo::clocksim {
namespace {

constexpr std::uint8_t kJunkFill = 0xA5;

// Datagrams of sizes no peer takes for a reply of `size` bytes: one byte, one short, one long.
std::vector<Datagram> JunkFor(std::size_t size) {
    std::vector<Datagram> junk;
    junk.emplace_back(1, kJunkFill);
    if (size > 1) {
        junk.emplace_back(size - 1, kJunkFill);
    }
    junk.emplace_back(size + 1, kJunkFill);
    return junk;
}

}  // namespace

std::vector<ScheduledDatagram> ShapeReplies(const std::vector<Datagram>& replies,
                                            const Faults& faults, RequestKind kind,
                                            std::mt19937& rng) {
    std::vector<ScheduledDatagram> out;
    if (replies.empty()) {
        return out;
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    // Drawn only when asked for, so that the other faults keep their sequence for a seed.
    if (faults.dropAcks > 0 && RequestClassOf(kind) == kWriteRequests &&
        chance(rng) < faults.dropAcks) {
        return out;
    }
    if ((faults.appliesTo & RequestClassOf(kind)) == 0) {
        for (const auto& reply : replies) {
            out.push_back({0, reply});
        }
        return out;
    }
    int delay = faults.delayMs;
    if (faults.jitterMs > 0) {
        delay += std::uniform_int_distribution<int>(0, faults.jitterMs)(rng);
    }
    std::size_t hostileIndex = 0;
    for (const auto& reply : replies) {
        if (faults.junk) {
            for (auto& junk : JunkFor(reply.size())) {
                out.push_back({delay, std::move(junk)});
            }
        }
        if (faults.drop > 0 && chance(rng) < faults.drop) {
            continue;
        }
        Datagram bytes = reply;
        if (faults.hostileLengths && bytes.size() == protocol::kChunkSize) {
            bytes[protocol::kChunkLengthOffset] =
                kHostileChunkLengths[hostileIndex++ % std::size(kHostileChunkLengths)];
        }
        if (faults.wrongSize) {
            bytes.push_back(0);
        }
        const bool twice = faults.duplicate > 0 && chance(rng) < faults.duplicate;
        out.push_back({delay, bytes});
        if (twice) {
            out.push_back({delay, std::move(bytes)});
        }
    }
    return out;
}

}  // namespace tavlo::clocksim
