// What a simulated clock does with a request: decode it, apply a write to its record and
// build the reply datagrams. Pure: no sockets, no clock time beyond what the caller passes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Network.h"
#include "protocol/Chunks.h"
#include "protocol/ProtocolState.h"
#include "tools/clocksim/SimClock.h"

namespace tavlo::clocksim {

using Datagram = std::vector<std::uint8_t>;

enum class RequestKind : std::uint8_t {
    kIgnored,     // not a request this clock takes (see Answer::note)
    kChunkPart,   // one chunk of an eight-chunk request, more to come
    kProbe,       // discovery (type 3, or command 1 with request marker 0)
    kRead,        // type 1, or command 1 with request marker 1
    kWriteBasic,  // type 2
    kWriteWifi,   // type 40
    kWriteEarly,  // command 2
};

std::string_view RequestKindName(RequestKind kind);
// The RequestClass bit of a kind (0 for kIgnored and kChunkPart).
std::uint8_t RequestClassOf(RequestKind kind);

struct Answer {
    RequestKind request = RequestKind::kIgnored;
    std::string note;               // why a request was ignored or not answered
    std::vector<Datagram> replies;  // to the sender, in this order
    bool acknowledges = false;      // the replies carry the acknowledgement (flag bit 0 or marker)
    bool taken = false;             // the clock carried the request out (a write is applied)
    // The complete request as the clock understood it (after reassembly and unscrambling).
    std::optional<protocol::SettingsFrame> frame;
    std::optional<protocol::CommandFrame> command;
};

// Nonces for the clock's own chunks: 1 to 32767 with a non-zero low byte, from `rng`.
class SimNonceSource final : public protocol::NonceSource {
  public:
    explicit SimNonceSource(std::mt19937& rng) : rng_(rng) {}
    std::uint32_t nextNonce() override;

  private:
    std::mt19937& rng_;
};

// Writes: the parts of a request that a clock takes into its record.
// Type 2: everything the Basic page sets. The clock keeps its serial number, version,
// passwords, live readings, time server in use, Wi-Fi and mail fields; with the batch bit set
// (one request to every clock) it also keeps its IP address, subnet mask and gateway. The
// humiture unit and durations are taken only when both the clock and the request have a
// sensor.
void ApplyBasicWrite(protocol::SettingsFrame& record, const protocol::SettingsFrame& request);
// Type 40: the Wi-Fi association block (bytes 288 to 346) as sent.
void ApplyWifiWrite(protocol::SettingsFrame& record, const protocol::SettingsFrame& request);
// Command 2: daylight saving, zone, format, brightness, energy saving, time servers, dynamic
// IP, gateway and DNS; IP address and subnet mask only with static IP. The serial number and
// the time server in use stay.
void ApplyEarlyWrite(protocol::CommandFrame& record, const protocol::CommandFrame& request);

// The reply frame of a current clock: its record with the request's type and, when `ack`,
// flag bit 0; the batch bit is never set in a reply.
protocol::SettingsFrame ReplyFrame(const SimClock& clock, std::uint8_t type, bool ack);
// Chunks of a reply: one chunk (bytes 0 to 98) or the eight chunks of 100 x 7 + 72 bytes,
// each scrambled with its own nonce.
std::vector<Datagram> ReplyChunks(const protocol::SettingsFrame& frame, bool eightChunks,
                                  protocol::NonceSource& nonces);
// The reply of an early-version clock: its record with magic, command, request marker (1
// when `ack`, else 0) and checksum.
protocol::CommandFrame EarlyReplyFrame(const SimClock& clock, std::uint8_t command, bool ack);

// Takes requests for the clocks and keeps the reassembly of eight-chunk requests, separately
// for each clock and sender. Faults that change what a clock does (silent, ignore-first,
// no-ack) act here; faults on the way back (loss, delay, ...) are the caller's.
class ClockResponder {
  public:
    explicit ClockResponder(protocol::NonceSource& nonces) : nonces_(nonces) {}

    // A 772-byte frame on port 6866 to a Wi-Fi clock.
    Answer OnFullFrame(SimClock& clock, std::span<const std::uint8_t> datagram);
    // A 95-byte command frame to an early-version clock.
    Answer OnCommandFrame(SimClock& clock, std::span<const std::uint8_t> datagram);
    // A 106-byte chunk to a wired clock from `from`, at `nowMs` (for dropping stale parts).
    Answer OnChunk(SimClock& clock, platform::Endpoint from, std::span<const std::uint8_t> datagram,
                   std::int64_t nowMs);

    std::size_t PendingAssemblies() const { return assemblies_.size(); }

    // An eight-chunk request whose parts stop coming is forgotten after this long.
    static constexpr std::int64_t kAssemblyTimeoutMs = 10000;
    // At most this many half-received requests are kept (the oldest goes first).
    static constexpr std::size_t kMaxAssemblies = 4096;

  private:
    struct Assembly {
        protocol::SettingsFrame frame{};
        std::uint8_t received = 0;  // bit n-1 for chunk n
        std::int64_t lastMs = 0;
    };
    using AssemblyKey = std::tuple<platform::Ipv4, platform::Ipv4, std::uint16_t>;

    // Decides whether the clock answers at all, counts the request, applies a write and
    // builds the replies.
    Answer Complete(SimClock& clock, Answer answer);
    void Prune(std::int64_t nowMs);

    protocol::NonceSource& nonces_;
    std::map<AssemblyKey, Assembly> assemblies_;
};

}  // namespace tavlo::clocksim
