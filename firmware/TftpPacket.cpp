#include "firmware/TftpPacket.h"

#include <algorithm>
#include <cstdio>

namespace tavlo::firmware {
namespace {

constexpr std::uint16_t kLow16Mask = 0xFFFF;
constexpr unsigned kBitsPerByte = 8;
constexpr std::uint16_t kByteMask = 0xFF;
constexpr std::size_t kMacTextSize = 17;    // "XX-XX-XX-XX-XX-XX"
constexpr std::size_t kMacGroupStride = 3;  // two digits and a hyphen
constexpr char kMacSeparator = '-';
constexpr int kHexRadix = 16;
constexpr int kDecimalDigitBase = 10;

void AppendText(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + kDecimalDigitBase;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + kDecimalDigitBase;
    }
    return -1;
}

}  // namespace

void WriteBe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> kBitsPerByte);
    bytes[offset + 1] = static_cast<std::uint8_t>(value & kByteMask);
}

std::uint16_t ReadBe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << kBitsPerByte) | bytes[offset + 1]);
}

std::vector<std::uint8_t> BuildWriteRequest(const MacAddress& mac, std::uint32_t fileSize) {
    std::vector<std::uint8_t> out(kRequestFileNameOffset + kRequestFileNameSize);
    WriteBe16(out, kOpcodeOffset, static_cast<std::uint16_t>(TftpOpcode::kWriteRequest));
    for (std::size_t i = 0; i < kRequestFileNameSize; ++i) {
        out[kRequestFileNameOffset + i] = mac[i];
    }
    out.push_back(0);  // ends the file-name field
    AppendText(out, kTransferMode);
    AppendText(out, kBlockSizeOption);
    AppendText(out, kBlockSizeValue);
    AppendText(out, kTransferSizeOption);
    AppendText(out, std::to_string(fileSize));
    return out;
}

std::vector<std::uint8_t> BuildDataPacket(std::uint32_t block, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out;
    BuildDataPacket(block, data, out);
    return out;
}

void BuildDataPacket(std::uint32_t block, std::span<const std::uint8_t> data,
                     std::vector<std::uint8_t>& out) {
    out.resize(kDataOffset + data.size());
    WriteBe16(out, kOpcodeOffset, static_cast<std::uint16_t>(TftpOpcode::kData));
    WriteBe16(out, kBlockNumberOffset, static_cast<std::uint16_t>(block & kLow16Mask));
    std::copy(data.begin(), data.end(), out.begin() + kDataOffset);
}

std::vector<std::uint8_t> BuildErrorPacket(std::uint16_t code, std::string_view message) {
    std::vector<std::uint8_t> out(kErrorMessageOffset);
    WriteBe16(out, kOpcodeOffset, static_cast<std::uint16_t>(TftpOpcode::kError));
    WriteBe16(out, kErrorCodeOffset, code);
    AppendText(out, message);
    return out;
}

std::optional<PacketHead> ReadPacketHead(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kAcknowledgementSize) {
        return std::nullopt;
    }
    return PacketHead{ReadBe16(datagram, kOpcodeOffset), ReadBe16(datagram, kBlockNumberOffset)};
}

std::optional<ErrorPacket> ReadErrorPacket(std::span<const std::uint8_t> datagram) {
    const std::optional<PacketHead> head = ReadPacketHead(datagram);
    if (!head || head->opcode != static_cast<std::uint16_t>(TftpOpcode::kError)) {
        return std::nullopt;
    }
    const auto text = datagram.subspan(kErrorMessageOffset);
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    return ErrorPacket{ReadBe16(datagram, kErrorCodeOffset), std::string(text.begin(), end)};
}

std::optional<MacAddress> ParseMacAddress(std::string_view text) {
    if (text.size() != kMacTextSize) {
        return std::nullopt;
    }
    MacAddress mac{};
    for (std::size_t group = 0; group < mac.size(); ++group) {
        const std::size_t at = group * kMacGroupStride;
        const int high = HexDigitValue(text[at]);
        const int low = HexDigitValue(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        if (group + 1 < mac.size() && text[at + 2] != kMacSeparator) {
            return std::nullopt;
        }
        mac[group] = static_cast<std::uint8_t>(high * kHexRadix + low);
    }
    return mac;
}

std::string FormatMacAddress(const MacAddress& mac) {
    char text[kMacTextSize + 1];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace tavlo::firmware
