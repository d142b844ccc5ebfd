#include "protocol/AddressRange.h"

#include <algorithm>
#include <charconv>

#include "platform/Ipv4.h"

namespace tavlo::protocol {
namespace {

constexpr char kPrefixMark = '/';
constexpr char kRangeMark = '-';
constexpr int kAddressBits = 32;
constexpr std::uint32_t kLastNumberMask = 0xFFu;
constexpr std::uint32_t kNetworkNumber = 0;
constexpr std::uint32_t kBroadcastNumber = 255;
constexpr std::uint32_t kLastSweptNumber = 254;

std::optional<std::uint32_t> HostAddress(std::string_view text) {
    const std::optional<platform::Ipv4> address = platform::ParseDottedAddress(text);
    if (!address) {
        return std::nullopt;
    }
    return platform::NetworkToHost32(*address);
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

}  // namespace

std::optional<AddressRange> ParseAddressRange(std::string_view text, std::string& error) {
    if (const std::size_t slash = text.find(kPrefixMark); slash != std::string_view::npos) {
        const std::optional<std::uint32_t> address = HostAddress(text.substr(0, slash));
        const std::string_view prefixText = text.substr(slash + 1);
        int prefix = -1;
        const auto [end, failure] =
            std::from_chars(prefixText.data(), prefixText.data() + prefixText.size(), prefix);
        if (!address || failure != std::errc() || end != prefixText.data() + prefixText.size() ||
            prefixText.empty()) {
            error = Quoted(text) + " is not a range like 198.51.100.0/24";
            return std::nullopt;
        }
        if (prefix < kMinRangePrefix || prefix > kMaxRangePrefix) {
            error = Quoted(text) + ": the prefix length must be from " +
                    std::to_string(kMinRangePrefix) + " to " + std::to_string(kMaxRangePrefix);
            return std::nullopt;
        }
        const std::uint32_t hostBits =
            prefix == kAddressBits ? 0 : (std::uint32_t{1} << (kAddressBits - prefix)) - 1;
        return AddressRange{*address & ~hostBits, *address | hostBits};
    }
    const std::size_t dash = text.find(kRangeMark);
    const std::optional<std::uint32_t> first =
        dash == std::string_view::npos ? std::nullopt : HostAddress(text.substr(0, dash));
    const std::optional<std::uint32_t> last =
        dash == std::string_view::npos ? std::nullopt : HostAddress(text.substr(dash + 1));
    if (!first || !last) {
        error =
            Quoted(text) + " is not a range like 198.51.100.0/24 or 198.51.100.1-198.51.100.200";
        return std::nullopt;
    }
    if (*first > *last) {
        error = Quoted(text) + ": the first address is above the last";
        return std::nullopt;
    }
    return AddressRange{*first, *last};
}

std::vector<AddressRange> JoinRanges(std::vector<AddressRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.first < b.first; });
    std::vector<AddressRange> joined;
    for (const AddressRange& range : ranges) {
        if (!joined.empty() &&
            std::uint64_t{range.first} <= std::uint64_t{joined.back().last} + 1) {
            joined.back().last = std::max(joined.back().last, range.last);
        } else {
            joined.push_back(range);
        }
    }
    return joined;
}

std::uint64_t CountAddresses(const std::vector<AddressRange>& ranges) {
    std::uint64_t count = 0;
    for (const AddressRange& range : ranges) {
        count += range.size();
    }
    return count;
}

AddressRange SweepToEndOfNetwork(std::uint32_t from) {
    return AddressRange{from, (from & ~kLastNumberMask) | kLastSweptNumber};
}

bool IsSweptAddress(std::uint32_t host) {
    const std::uint32_t number = host & kLastNumberMask;
    return number != kNetworkNumber && number != kBroadcastNumber;
}

}  // namespace tavlo::protocol
