// Ranges of addresses a discovery sweep probes: "A.B.C.D/N" or "FIRST-LAST" as an operator
// types them, and the sweep of the window's "Unicast" (the typed address to .254 of its
// network). Addresses here count in host byte order, so that a range is two numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo::protocol {

// First to last address, both included, host byte order; first <= last.
struct AddressRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint64_t size() const { return std::uint64_t{last} - first + 1; }
    bool contains(std::uint32_t host) const { return host >= first && host <= last; }
    friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

// Prefix lengths an operator may give ("/16" to "/32") and the addresses of every range of
// one search together.
inline constexpr int kMinRangePrefix = 16;
inline constexpr int kMaxRangePrefix = 32;
inline constexpr std::uint64_t kMaxSweptAddresses = 65536;

// Reads "A.B.C.D/N" (the whole network of that address, N from 16 to 32) or "FIRST-LAST"
// (strict dotted addresses, FIRST not above LAST). Nothing, with `error` saying why, for
// anything else.
std::optional<AddressRange> ParseAddressRange(std::string_view text, std::string& error);

// The ranges sorted, with overlapping and adjacent ones joined, so that no address is probed
// twice in a round.
std::vector<AddressRange> JoinRanges(std::vector<AddressRange> ranges);
// Addresses of every range together.
std::uint64_t CountAddresses(const std::vector<AddressRange>& ranges);

// From `from` (whose last number is at most 254) to .254 of its /24: the window's "Unicast"
// sweep.
AddressRange SweepToEndOfNetwork(std::uint32_t from);

// A sweep probes an address unless its last number is 0 (a network) or 255 (a broadcast).
bool IsSweptAddress(std::uint32_t host);

}  // namespace tavlo::protocol
