// Bounded readers and writers for the fixed-layout records the clocks exchange. Every helper
// checks that the whole field lies inside the buffer: a field that does not fit reads as zero
// (or as an empty text) and is never written. Multi-byte integers and floats are
// little-endian; IPv4 addresses keep their network byte order (first octet first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/Network.h"

namespace tavlo::settings {

// True when `size` bytes starting at `offset` lie inside a buffer of `bufferSize` bytes.
constexpr bool FieldFits(std::size_t bufferSize, std::size_t offset, std::size_t size) {
    return offset <= bufferSize && size <= bufferSize - offset;
}

std::uint8_t ReadU8(std::span<const std::uint8_t> bytes, std::size_t offset);
bool WriteU8(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value);

std::uint16_t ReadU16Le(std::span<const std::uint8_t> bytes, std::size_t offset);
bool WriteU16Le(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);

std::uint32_t ReadU32Le(std::span<const std::uint8_t> bytes, std::size_t offset);
bool WriteU32Le(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);

// IEEE-754 single precision, little-endian.
float ReadFloatLe(std::span<const std::uint8_t> bytes, std::size_t offset);
bool WriteFloatLe(std::span<std::uint8_t> bytes, std::size_t offset, float value);

// Four bytes, first octet first, to and from an address in network byte order (the value
// inet_addr returns).
platform::Ipv4 ReadIpv4(std::span<const std::uint8_t> bytes, std::size_t offset);
bool WriteIpv4(std::span<std::uint8_t> bytes, std::size_t offset, platform::Ipv4 address);

// A NUL-padded text of fixed `width`: the bytes up to the first NUL or to the end of the
// field, whichever comes first. Never reads outside the field.
std::string ReadText(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width);

// Writes the characters of `text` up to its first NUL, at most `width` of them, and pads the
// rest of the field with NUL bytes. A text that fills the field gets no terminator. Returns
// the number of characters written (0 when the field does not fit the buffer).
std::size_t WriteText(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t width,
                      std::string_view text);

// Sets all bytes of a field to zero.
bool ClearField(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t size);

}  // namespace tavlo::settings
