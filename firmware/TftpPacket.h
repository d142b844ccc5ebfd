// TFTP packets of a firmware write: the write request that names the clock by its MAC
// address, data blocks, and the few fields read from what the clock sends back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MacLookup.h"

namespace tavlo::firmware {

using platform::MacAddress;

enum class TftpOpcode : std::uint16_t {
    kWriteRequest = 2,
    kData = 3,
    kAcknowledgement = 4,
    kError = 5,
    kOptionAcknowledgement = 6,
};

inline constexpr std::uint16_t kTftpServerPort = 69;
inline constexpr std::size_t kBlockSize = 512;
// Blocks are numbered 1 to 65535; a transfer never wraps the 16-bit block number, so the
// largest file that fits is 65535 blocks less one byte (the last block must be short).
inline constexpr std::uint32_t kMaxBlockNumber = 65535;
inline constexpr std::uint32_t kMaxFileSize = kMaxBlockNumber * kBlockSize - 1;

// Every packet starts with a 16-bit opcode; data and acknowledgements follow it with the
// 16-bit block number. All numbers are big-endian.
inline constexpr std::size_t kOpcodeOffset = 0;
inline constexpr std::size_t kBlockNumberOffset = 2;
inline constexpr std::size_t kDataOffset = 4;
inline constexpr std::size_t kAcknowledgementSize = 4;

// Write request layout: opcode, six raw MAC bytes as the file name, then NUL-terminated
// texts: mode, "blksize" option and value, "tsize" option and the file size in decimal.
inline constexpr std::size_t kRequestFileNameOffset = 2;
inline constexpr std::size_t kRequestFileNameSize = 6;
inline constexpr std::size_t kRequestModeOffset = 9;
inline constexpr std::string_view kTransferMode = "octet";
inline constexpr std::string_view kBlockSizeOption = "blksize";
inline constexpr std::string_view kBlockSizeValue = "512";
inline constexpr std::string_view kTransferSizeOption = "tsize";

// The write request for a file of `fileSize` bytes to the clock with hardware address
// `mac`: 34 bytes plus the number of digits of the size.
std::vector<std::uint8_t> BuildWriteRequest(const MacAddress& mac, std::uint32_t fileSize);

// Data packet: opcode 3, the low 16 bits of `block`, then up to 512 data bytes.
std::vector<std::uint8_t> BuildDataPacket(std::uint32_t block, std::span<const std::uint8_t> data);
// The same into `out`, reusing its storage.
void BuildDataPacket(std::uint32_t block, std::span<const std::uint8_t> data,
                     std::vector<std::uint8_t>& out);

// Error packet: opcode 5, a 16-bit error code, then a NUL-terminated message.
inline constexpr std::size_t kErrorCodeOffset = 2;
inline constexpr std::size_t kErrorMessageOffset = 4;
inline constexpr std::uint16_t kErrorUnknownTransferId = 5;
inline constexpr std::string_view kUnknownTransferIdMessage = "Unknown transfer ID";
std::vector<std::uint8_t> BuildErrorPacket(std::uint16_t code, std::string_view message);

// An error packet as received: its code and its message (the bytes up to the first zero or
// the end of what was read, as sent; show them through platform::Printable). Nothing for a
// datagram that is no error packet or too short to hold the code.
struct ErrorPacket {
    std::uint16_t code = 0;
    std::string message;
    friend bool operator==(const ErrorPacket&, const ErrorPacket&) = default;
};
std::optional<ErrorPacket> ReadErrorPacket(std::span<const std::uint8_t> datagram);

// Opcode and block number of a received datagram; nullopt when it is too short to hold both.
struct PacketHead {
    std::uint16_t opcode = 0;
    std::uint16_t block = 0;
};
std::optional<PacketHead> ReadPacketHead(std::span<const std::uint8_t> datagram);

// Big-endian 16-bit helpers.
void WriteBe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
std::uint16_t ReadBe16(std::span<const std::uint8_t> bytes, std::size_t offset);

// "XX-XX-XX-XX-XX-XX": six groups of two hexadecimal digits (either case) joined by
// hyphens, nothing before or after. Anything else gives nullopt.
std::optional<MacAddress> ParseMacAddress(std::string_view text);
// Six upper-case hexadecimal pairs joined by hyphens.
std::string FormatMacAddress(const MacAddress& mac);

}  // namespace tavlo::firmware
