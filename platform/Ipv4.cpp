#include "platform/Ipv4.h"

#include <arpa/inet.h>

#include <array>

namespace tavlo::platform {

std::uint32_t HostToNetwork32(std::uint32_t host) {
    return htonl(host);
}
std::uint32_t NetworkToHost32(std::uint32_t network) {
    return ntohl(network);
}
std::uint16_t HostToNetwork16(std::uint16_t host) {
    return htons(host);
}
std::uint16_t NetworkToHost16(std::uint16_t network) {
    return ntohs(network);
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

Ipv4 ParseIpv4(std::string_view text) {
    const std::size_t end = text.find_first_of(std::string_view(" \0", 2));
    if (end != std::string_view::npos) {
        text = text.substr(0, end);
    }
    if (text.size() > kMaxAddressText) {
        return kLimitedBroadcast;
    }
    const std::string bounded(text);
    return inet_addr(bounded.c_str());
}

std::optional<Ipv4> ParseDottedAddress(std::string_view text) {
    std::array<char, INET_ADDRSTRLEN> bounded{};
    if (text.size() >= bounded.size() || text.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    text.copy(bounded.data(), text.size());
    in_addr parsed{};
    if (inet_pton(AF_INET, bounded.data(), &parsed) != 1) {
        return std::nullopt;
    }
    return parsed.s_addr;
}

std::string FormatIpv4(Ipv4 address) {
    in_addr in{};
    in.s_addr = address;
    std::array<char, INET_ADDRSTRLEN> text{};
    if (inet_ntop(AF_INET, &in, text.data(), static_cast<socklen_t>(text.size())) == nullptr) {
        return {};
    }
    return std::string(text.data());
}

}  // namespace tavlo::platform
