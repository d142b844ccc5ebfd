// One simulated clock: its kind, identity, settings record and the faults it shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Network.h"
#include "protocol/ProtocolState.h"

namespace tavlo::clocksim {

enum class ClockKind : std::uint8_t {
    kWired,      // chunked SettingsFrame on port 6869
    kWifi,       // whole SettingsFrame on port 6866
    kEarly,      // CommandFrame on port 6869 (wired family)
    kEarlyWifi,  // CommandFrame on port 6869, discovery probes also on port 6866
};

std::string_view KindName(ClockKind kind);  // "wired", "wifi", "early", "early-wifi"
bool IsEarly(ClockKind kind);

// Which requests a fault applies to.
enum RequestClass : std::uint8_t {
    kProbeRequests = 1,
    kReadRequests = 2,
    kWriteRequests = 4,
    kAllRequests = kProbeRequests | kReadRequests | kWriteRequests,
};

// What a clock does with a unicast write that gives it another address: a static address
// other than its own, or a switch to dynamic IP (it then takes a spare address of this
// machine, as a DHCP server might give it).
enum class MoveOnWrite : std::uint8_t {
    kStay,           // keeps answering at its address, whatever a write gives it
    kAnswerFromNew,  // moves, and acknowledges the write from the new address
    kAnswerFromOld,  // moves, but acknowledges the write from the old address
};

// Misbehaviour on request, per clock. Probabilities are 0 to 1.
struct Faults {
    bool silent = false;          // never answers (requests are still logged)
    int ignoreFirst = 0;          // ignores its first N requests, then answers
    double drop = 0;              // each reply datagram is lost with this probability
    double duplicate = 0;         // each reply datagram is sent twice with this probability
    int delayMs = 0;              // every reply leaves this much later
    int jitterMs = 0;             // plus a random 0 to this many milliseconds
    bool noAck = false;           // flag bit 0 (early: request marker) cleared in replies
    bool wrongSize = false;       // reply datagrams one byte too long
    bool junk = false;            // datagrams of wrong sizes sent before every reply
    bool hostileLengths = false;  // chunk length bytes that lie (255, 101, 0, 100, ...)
    double dropAcks = 0;          // the whole reply to a write is lost with this probability,
                                  // though the clock took the write
    int floodPerSecond = 0;       // repeats its last reply to the last asker this many times
                                  // a second (0: never)
    MoveOnWrite moveOnWrite = MoveOnWrite::kStay;
    std::uint8_t appliesTo = kAllRequests;
    friend bool operator==(const Faults&, const Faults&) = default;
};

inline constexpr std::uint16_t kDefaultVersion = 329;  // 3.29
inline constexpr std::string_view kDefaultUserPassword = "omber";
inline constexpr std::string_view kDefaultGlobalPassword = "tarnfelk";

struct SimClock {
    ClockKind kind = ClockKind::kWired;
    platform::Ipv4 address = 0;  // network byte order
    std::array<std::uint8_t, 6> mac{};
    // The full record as a read reply carries it (type and flag bit 0 are set per reply).
    // Current clocks keep serial number, version and passwords in it too.
    protocol::SettingsFrame record{};
    // The record of an early-version clock (marker, command and checksum set per reply).
    protocol::CommandFrame earlyRecord{};
    Faults faults;
    int requestsSeen = 0;  // counts requests for Faults::ignoreFirst

    std::string SerialNumber() const;
};

// A clock with plausible settings for its address: serial number "SN" and four digits from
// the address's last two octets, MAC 02:54:56:00:c.d, version 3.29, passwords "omber" and
// "tarnfelk", the PC side (.1 of its /24) as gateway and DNS, two time servers, UTC+1 with
// the European daylight-saving rule, "Normal" brightness, 24-hour display, a humiture sensor
// reading 21.5 degrees Celsius and 45 % and, for Wi-Fi clocks, an association to "ClockNet".
SimClock MakeDefaultClock(ClockKind kind, platform::Ipv4 address);

std::string FormatMac(const std::array<std::uint8_t, 6>& mac);  // "02:54:56:00:00:0a"

}  // namespace tavlo::clocksim
