// Dotted IPv4 text and byte-order helpers. Addresses travel in network byte order (as
// inet_addr returns them); these helpers are the only place that knows how octets sit in
// such a value. Everything here is plain C++: no call into the system's address functions,
// whose rules differ between systems (octal and hexadecimal parts, short forms).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Network.h"

namespace tavlo::platform {

// Longest text ParseIpv4 looks at (up to the first blank); longer text is malformed.
inline constexpr std::size_t kMaxAddressText = 64;

constexpr std::uint32_t ByteSwap32(std::uint32_t value) {
    return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
           ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

// htonl / ntohl.
std::uint32_t HostToNetwork32(std::uint32_t host);
std::uint32_t NetworkToHost32(std::uint32_t network);
// htons / ntohs.
std::uint16_t HostToNetwork16(std::uint16_t host);
std::uint16_t NetworkToHost16(std::uint16_t network);

// The address a.b.c.d in network byte order.
Ipv4 MakeIpv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
// First (a) and last (d) number of the dotted form a.b.c.d.
std::uint8_t FirstOctet(Ipv4 address);
std::uint8_t LastOctet(Ipv4 address);
// The last number of a network address (a.b.c.0): it names a group of clocks, never one.
inline constexpr std::uint8_t kNetworkAddressOctet = 0;
// The octet 255 of a broadcast address: the last one of a /24 segment's, each one of
// 255.255.255.255.
inline constexpr std::uint8_t kBroadcastAddressOctet = 255;

// The one reader of every address an operator enters, in the window or in a file: exactly
// four decimal numbers 0 to 255 joined by dots, nothing before, between or after them. A
// number may have leading zeros; they are read as decimal ("010" is ten, never octal eight)
// and reported, so that callers that must not guess can refuse them.
struct DottedDecimal {
    Ipv4 address = 0;
    bool leadingZero = false;
};
std::optional<DottedDecimal> ReadDottedDecimal(std::string_view text);

// The address at the start of a text, up to the first blank (or NUL), so "192.168.1.20
// (SN0042)" gives 192.168.1.20; leading zeros read as decimal. Malformed or overlong text
// gives 255.255.255.255 (kLimitedBroadcast), as inet_addr does, so callers that check an
// address refuse it.
Ipv4 ParseIpv4(std::string_view text);

// Strict dotted decimal for what must mean one address only (the command lines, the files):
// as ReadDottedDecimal, and no number with a leading zero ("010"). 0.0.0.0 and
// 255.255.255.255 are addresses like any other; callers refuse what they cannot use.
std::optional<Ipv4> ParseDottedAddress(std::string_view text);

// inet_ntoa form: "a.b.c.d".
std::string FormatIpv4(Ipv4 address);

}  // namespace tavlo::platform
