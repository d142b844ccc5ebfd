#include "tools/common/AddressList.h"

#include <charconv>
#include <cstdint>

namespace tavlo::common {
namespace {

using platform::Ipv4;

constexpr std::uint32_t kLastOctetMask = 0xFFu;
constexpr std::uint32_t kBroadcastOctet = 0xFFu;
constexpr unsigned kMaxOctet = 255;

// The last number of a short range ("14" of "198.18.0.10-14"): 0 to 255 without a leading zero,
// which reads as octal to the clocks' own address parser.
std::optional<std::uint32_t> LastNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        value > kMaxOctet || (text.size() > 1 && text.front() == '0')) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::vector<Ipv4>> ParseAddressList(std::string_view text, std::string& error) {
    std::vector<Ipv4> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string_view item =
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        start = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
        std::size_t dash = item.find('-');
        auto first = platform::ParseDottedAddress(item.substr(0, dash));
        if (!first) {
            error = "bad address \"" + std::string(item.substr(0, dash)) + "\"";
            return std::nullopt;
        }
        std::uint32_t low = platform::NetworkToHost32(*first);
        std::uint32_t high = low;
        if (dash != std::string_view::npos) {
            std::string_view end = item.substr(dash + 1);
            if (auto last = platform::ParseDottedAddress(end)) {
                high = platform::NetworkToHost32(*last);
            } else if (auto octet = LastNumber(end)) {
                high = (low & ~kLastOctetMask) | static_cast<std::uint32_t>(*octet);
            } else {
                error = "bad range end \"" + std::string(end) + "\"";
                return std::nullopt;
            }
            if (high < low) {
                error = "range \"" + std::string(item) + "\" runs backwards";
                return std::nullopt;
            }
        }
        if (high - low >= kMaxListedAddresses || out.size() + (high - low) >= kMaxListedAddresses) {
            error = "more than " + std::to_string(kMaxListedAddresses) + " addresses";
            return std::nullopt;
        }
        for (std::uint32_t host = low;; ++host) {
            const std::uint32_t last = host & kLastOctetMask;
            if (host == 0 || last == 0 || last == kBroadcastOctet) {
                error = platform::FormatIpv4(platform::HostToNetwork32(host)) +
                        " cannot be a clock (addresses ending in .0 or .255 are never sent to)";
                return std::nullopt;
            }
            out.push_back(platform::HostToNetwork32(host));
            if (host == high) {
                break;
            }
        }
    }
    return out;
}

}  // namespace tavlo::common
