#include "tools/tavlo/Cli.h"

#include <array>
#include <cstdio>

#include "platform/Ipv4.h"

namespace tavlo::cli {
namespace {

constexpr int kOctets = 4;
constexpr int kMaxOctet = 255;
constexpr std::size_t kMaxOctetDigits = 3;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr const char* kClearLine = "\r\033[K";

std::string Prefix(std::string_view command) {
    std::string prefix = kProgramName;
    if (!command.empty()) {
        prefix += ' ';
        prefix += command;
    }
    return prefix;
}

// Length of the valid UTF-8 sequence at text[i], or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F) ||
        (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F)) {
        return 0;
    }
    return length;
}

}  // namespace

int UsageError(Io& io, std::string_view command, std::string_view text) {
    const std::string prefix = Prefix(command);
    io.err << prefix << ": " << text << " (see '" << prefix << " --help')\n";
    return kExitUsage;
}

int Failure(Io& io, std::string_view command, std::string_view text, int code) {
    io.err << Prefix(command) << ": " << text << '\n';
    return code;
}

std::optional<platform::Ipv4> ParseDottedAddress(std::string_view text) {
    std::array<std::uint8_t, kOctets> octets{};
    std::size_t pos = 0;
    for (int i = 0; i < kOctets; ++i) {
        std::size_t end = text.find('.', pos);
        if (i == kOctets - 1) {
            end = text.size();
        }
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view part = text.substr(pos, end - pos);
        if (part.empty() || part.size() > kMaxOctetDigits) {
            return std::nullopt;
        }
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
        }
        if (value > kMaxOctet) {
            return std::nullopt;
        }
        octets[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
        pos = end + 1;
    }
    const platform::Ipv4 address = platform::MakeIpv4(octets[0], octets[1], octets[2], octets[3]);
    if (address == platform::kAnyAddress) {
        return std::nullopt;
    }
    return address;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(i, length));
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < kFirstPrintable || c == kDelete) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
        i += length;
    }
    out += '"';
    return out;
}

std::string Printable(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < kFirstPrintable || u == kDelete) {
            c = '?';
        }
    }
    return out;
}

void ProgressLine::show(const std::string& text) {
    if (!io_.errIsTerminal) {
        return;
    }
    std::lock_guard lock(mutex_);
    io_.err << kClearLine << Printable(text) << std::flush;
    shown_ = true;
}

void ProgressLine::clear() {
    std::lock_guard lock(mutex_);
    if (shown_) {
        io_.err << kClearLine << std::flush;
        shown_ = false;
    }
}

}  // namespace tavlo::cli
