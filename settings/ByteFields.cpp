#include "settings/ByteFields.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace tavlo::settings {

namespace {

constexpr unsigned kBitsPerByte = 8;

}  // namespace

std::uint8_t ReadU8(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return FieldFits(bytes.size(), offset, 1) ? bytes[offset] : 0;
}

bool WriteU8(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value) {
    if (!FieldFits(bytes.size(), offset, 1)) {
        return false;
    }
    bytes[offset] = value;
    return true;
}

std::uint16_t ReadU16Le(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (!FieldFits(bytes.size(), offset, sizeof(std::uint16_t))) {
        return 0;
    }
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << kBitsPerByte));
}

bool WriteU16Le(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    if (!FieldFits(bytes.size(), offset, sizeof(std::uint16_t))) {
        return false;
    }
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> kBitsPerByte);
    return true;
}

std::uint32_t ReadU32Le(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (!FieldFits(bytes.size(), offset, sizeof(std::uint32_t))) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = sizeof(std::uint32_t); i-- > 0;) {
        value = (value << kBitsPerByte) | bytes[offset + i];
    }
    return value;
}

bool WriteU32Le(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    if (!FieldFits(bytes.size(), offset, sizeof(std::uint32_t))) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof(std::uint32_t); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (kBitsPerByte * i));
    }
    return true;
}

float ReadFloatLe(std::span<const std::uint8_t> bytes, std::size_t offset) {
    static_assert(sizeof(float) == sizeof(std::uint32_t) && std::numeric_limits<float>::is_iec559);
    return std::bit_cast<float>(ReadU32Le(bytes, offset));
}

bool WriteFloatLe(std::span<std::uint8_t> bytes, std::size_t offset, float value) {
    return WriteU32Le(bytes, offset, std::bit_cast<std::uint32_t>(value));
}

platform::Ipv4 ReadIpv4(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (!FieldFits(bytes.size(), offset, sizeof(platform::Ipv4))) {
        return 0;
    }
    // An address in network byte order is the value whose bytes in memory are the octets,
    // first octet first, whatever the host's byte order.
    platform::Ipv4 address = 0;
    std::memcpy(&address, bytes.data() + offset, sizeof address);
    return address;
}

bool WriteIpv4(std::span<std::uint8_t> bytes, std::size_t offset, platform::Ipv4 address) {
    if (!FieldFits(bytes.size(), offset, sizeof(platform::Ipv4))) {
        return false;
    }
    std::memcpy(bytes.data() + offset, &address, sizeof address);
    return true;
}

std::string ReadText(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
    if (!FieldFits(bytes.size(), offset, width)) {
        return {};
    }
    const auto field = bytes.subspan(offset, width);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

std::size_t WriteText(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t width,
                      std::string_view text) {
    if (!FieldFits(bytes.size(), offset, width)) {
        return 0;
    }
    const std::size_t terminator = text.find('\0');
    if (terminator != std::string_view::npos) {
        text = text.substr(0, terminator);
    }
    const std::size_t count = std::min(text.size(), width);
    const auto field = bytes.subspan(offset, width);
    std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count), field.begin(),
                   [](char c) { return static_cast<std::uint8_t>(c); });
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(count), field.end(), std::uint8_t{0});
    return count;
}

bool ClearField(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    if (!FieldFits(bytes.size(), offset, size)) {
        return false;
    }
    const auto field = bytes.subspan(offset, size);
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    return true;
}

}  // namespace tavlo::settings
