#include "platform/TextCodec.h"

#include "platform/CodePage.h"

namespace tavlo::platform {

namespace {

constexpr unsigned char kAsciiLimit = 0x80;
constexpr unsigned char kLeadFirst = 0x81;
constexpr unsigned char kLeadLast = 0xFE;
constexpr unsigned char kTrailFirst = 0x40;
constexpr unsigned char kTrailLast = 0xFE;
constexpr unsigned char kTrailGap = 0x7F;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// UTF-8 lead and continuation bytes.
constexpr unsigned char kContinuationFirst = 0x80;
constexpr unsigned char kContinuationLast = 0xBF;
constexpr unsigned char kTwoByteLeadFirst = 0xC2;
constexpr unsigned char kTwoByteLeadLast = 0xDF;
constexpr unsigned char kThreeByteLeadFirst = 0xE0;
constexpr unsigned char kThreeByteLeadLast = 0xEF;
constexpr unsigned char kSurrogateLead = 0xED;
constexpr unsigned char kFourByteLeadFirst = 0xF0;
constexpr unsigned char kFourByteLeadLast = 0xF4;
constexpr unsigned char kNoOverlongThreeByte = 0xA0;
constexpr unsigned char kBelowSurrogates = 0x9F;
constexpr unsigned char kNoOverlongFourByte = 0x90;
constexpr unsigned char kBelowUnicodeEnd = 0x8F;
// U+0080 to U+009F are C2 80 to C2 9F.
constexpr unsigned char kLastC1Continuation = 0x9F;

}  // namespace

std::size_t ValidUtf8Length(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < kAsciiLimit) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = kContinuationFirst;
    unsigned char high = kContinuationLast;
    if (lead >= kTwoByteLeadFirst && lead <= kTwoByteLeadLast) {
        length = 2;
    } else if (lead >= kThreeByteLeadFirst && lead <= kThreeByteLeadLast) {
        length = 3;
        low = lead == kThreeByteLeadFirst ? kNoOverlongThreeByte : low;
        high = lead == kSurrogateLead ? kBelowSurrogates : high;
    } else if (lead >= kFourByteLeadFirst && lead <= kFourByteLeadLast) {
        length = 4;
        low = lead == kFourByteLeadFirst ? kNoOverlongFourByte : low;
        high = lead == kFourByteLeadLast ? kBelowUnicodeEnd : high;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        const unsigned char min = i == 1 ? low : kContinuationFirst;
        const unsigned char max = i == 1 ? high : kContinuationLast;
        if (next < min || next > max) {
            return 0;
        }
    }
    return length;
}

namespace {

// One character of a UTF-8 text: its bytes, and whether a terminal must not see it: a C0
// control, DEL, a C1 control (U+0080 to U+009F; U+009B starts a terminal command) or a byte
// that is no valid UTF-8 (a stray 0x9B is the same command to an 8-bit terminal).
struct Character {
    std::size_t length = 1;
    bool control = false;
};

Character CharacterAt(std::string_view text, std::size_t pos) {
    const std::size_t length = ValidUtf8Length(text, pos);
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (length == 0) {
        return {1, true};
    }
    const bool c0 = length == 1 && (lead < kFirstPrintable || lead == kDelete);
    const bool c1 = length == 2 && lead == kTwoByteLeadFirst &&
                    static_cast<unsigned char>(text[pos + 1]) <= kLastC1Continuation;
    return {length, c0 || c1};
}

bool IsLeadByte(unsigned char c) {
    return c >= kLeadFirst && c <= kLeadLast;
}
bool IsTrailByte(unsigned char c) {
    return c >= kTrailFirst && c <= kTrailLast && c != kTrailGap;
}

}  // namespace

std::size_t Cp936CharLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (IsLeadByte(lead) && pos + 1 < text.size() &&
        IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    constexpr unsigned char kTwoByteLead = 0xC0;
    constexpr unsigned char kThreeByteLead = 0xE0;
    constexpr unsigned char kFourByteLead = 0xF0;
    constexpr unsigned char kInvalidLead = 0xF8;
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuation = 0x80;
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= kTwoByteLead && lead < kThreeByteLead) {
        length = 2;
    } else if (lead >= kThreeByteLead && lead < kFourByteLead) {
        length = 3;
    } else if (lead >= kFourByteLead && lead < kInvalidLead) {
        length = 4;
    }
    // Stop at the first byte that does not continue the sequence.
    std::size_t taken = 1;
    while (taken < length && pos + taken < text.size() &&
           (static_cast<unsigned char>(text[pos + taken]) & kContinuationMask) == kContinuation) {
        ++taken;
    }
    return taken;
}

namespace {

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= kAsciiLimit) {
            return false;
        }
    }
    return true;
}

// Converts UTF-8 to code page 936; returns false when anything had to be replaced.
bool Encode(std::string_view utf8, std::string& output) {
    if (IsAscii(utf8)) {
        output.assign(utf8);
        return true;
    }
    return EncodeCp936(utf8, output);
}

}  // namespace

std::string Cp936ToUtf8(std::string_view cp936) {
    if (IsAscii(cp936)) {
        return std::string(cp936);
    }
    return DecodeCp936(cp936);
}

std::string Utf8ToCp936(std::string_view utf8) {
    std::string output;
    Encode(utf8, output);
    return output;
}

bool IsCp936Representable(std::string_view utf8) {
    std::string output;
    return Encode(utf8, output);
}

std::size_t Cp936ByteCount(std::string_view utf8) {
    return Utf8ToCp936(utf8).size();
}

std::string_view TruncateCp936(std::string_view cp936, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < cp936.size()) {
        const std::size_t length = Cp936CharLength(cp936, end);
        if (end + length > maxBytes) {
            break;
        }
        end += length;
    }
    return cp936.substr(0, end);
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const Character character = CharacterAt(text, pos);
        if (character.control) {
            out += kReplacementCp936;
        } else {
            out.append(text.substr(pos, character.length));
        }
        pos += character.length;
    }
    return out;
}

bool IsPrintable(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const Character character = CharacterAt(text, pos);
        if (character.control) {
            return false;
        }
        pos += character.length;
    }
    return true;
}

}  // namespace tavlo::platform
