#include "platform/Ipv4.h"

#include <bit>

namespace tavlo::platform {

namespace {

constexpr std::size_t kOctets = 4;
constexpr unsigned kMaxOctet = 255;
constexpr unsigned kDecimalBase = 10;
constexpr std::size_t kBitsPerOctet = 8;
constexpr char kDot = '.';

constexpr std::uint16_t ByteSwap16(std::uint16_t value) {
    return static_cast<std::uint16_t>((value << kBitsPerOctet) | (value >> kBitsPerOctet));
}

}  // namespace

std::uint32_t HostToNetwork32(std::uint32_t host) {
    return std::endian::native == std::endian::big ? host : ByteSwap32(host);
}
std::uint32_t NetworkToHost32(std::uint32_t network) {
    return HostToNetwork32(network);
}
std::uint16_t HostToNetwork16(std::uint16_t host) {
    return std::endian::native == std::endian::big ? host : ByteSwap16(host);
}
std::uint16_t NetworkToHost16(std::uint16_t network) {
    return HostToNetwork16(network);
}

Ipv4 MakeIpv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint32_t host = (std::uint32_t{a} << 24) | (std::uint32_t{b} << 16) |
                               (std::uint32_t{c} << 8) | std::uint32_t{d};
    return HostToNetwork32(host);
}

std::uint8_t FirstOctet(Ipv4 address) {
    return static_cast<std::uint8_t>(NetworkToHost32(address) >> 24);
}

std::uint8_t LastOctet(Ipv4 address) {
    return static_cast<std::uint8_t>(NetworkToHost32(address) & 0xFFu);
}

std::optional<DottedDecimal> ReadDottedDecimal(std::string_view text) {
    if (text.size() > kMaxAddressText) {
        return std::nullopt;
    }
    DottedDecimal read;
    std::uint32_t host = 0;
    std::size_t at = 0;
    for (std::size_t part = 0; part < kOctets; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != kDot) {
                return std::nullopt;
            }
            ++at;
        }
        const std::size_t first = at;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * kDecimalBase + static_cast<unsigned>(text[at] - '0');
            if (value > kMaxOctet) {
                return std::nullopt;
            }
            ++at;
        }
        if (at == first) {
            return std::nullopt;
        }
        read.leadingZero = read.leadingZero || (at - first > 1 && text[first] == '0');
        host = (host << kBitsPerOctet) | value;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    read.address = HostToNetwork32(host);
    return read;
}

Ipv4 ParseIpv4(std::string_view text) {
    const std::size_t end = text.find_first_of(std::string_view(" \0", 2));
    if (end != std::string_view::npos) {
        text = text.substr(0, end);
    }
    const std::optional<DottedDecimal> read = ReadDottedDecimal(text);
    return read ? read->address : kLimitedBroadcast;
}

std::optional<Ipv4> ParseDottedAddress(std::string_view text) {
    const std::optional<DottedDecimal> read = ReadDottedDecimal(text);
    if (!read || read->leadingZero) {
        return std::nullopt;
    }
    return read->address;
}

std::string FormatIpv4(Ipv4 address) {
    const std::uint32_t host = NetworkToHost32(address);
    std::string text;
    for (std::size_t part = 0; part < kOctets; ++part) {
        const std::size_t shift = kBitsPerOctet * (kOctets - 1 - part);
        text += std::to_string((host >> shift) & kMaxOctet);
        if (part + 1 < kOctets) {
            text += kDot;
        }
    }
    return text;
}

}  // namespace tavlo::platform
