#include "platform/TextCodec.h"

#include <iconv.h>

#include <array>
#include <cerrno>

namespace tavlo::platform {

namespace {

constexpr const char* kCp936Name = "CP936";
constexpr const char* kUtf8Name = "UTF-8";
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kReplacementCp936 = "?";
constexpr std::size_t kChunkBytes = 256;

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

// Bytes of the valid UTF-8 sequence that starts at `pos` (1 to 4), or 0 when the byte there
// starts none (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
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

// Bytes of the code page 936 character that starts at `pos` (1 or 2).
std::size_t Cp936CharLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (IsLeadByte(lead) && pos + 1 < text.size() &&
        IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

// Bytes of the UTF-8 sequence that starts at `pos`, judged by its lead byte (1 for a byte
// that cannot start one), never beyond the text.
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

// One conversion descriptor, closed when it goes out of scope.
class Converter {
  public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input. At a sequence it cannot convert it appends `replacement`, skips
    // the bytes `skip` names and goes on. Returns false when anything was replaced.
    template <typename Skip>
    bool convert(std::string_view input, std::string_view replacement, Skip skip,
                 std::string& output) {
        bool exact = true;
        std::size_t pos = 0;
        std::array<char, kChunkBytes> buffer{};
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        while (pos < input.size()) {
            // iconv's interface takes a non-const input pointer but never writes through it.
            char* in = const_cast<char*>(input.data() + pos);
            std::size_t inLeft = input.size() - pos;
            char* out = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(buffer.data(), buffer.size() - outLeft);
            pos = input.size() - inLeft;
            if (result != static_cast<std::size_t>(-1)) {
                continue;
            }
            if (error == E2BIG) {
                continue;
            }
            // EILSEQ (no form in the target, or malformed input) or EINVAL (cut sequence).
            exact = false;
            output += replacement;
            pos += skip(input, pos);
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush any shift state.
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        iconv(handle_, nullptr, nullptr, &out, &outLeft);
        output.append(buffer.data(), buffer.size() - outLeft);
        return exact;
    }

  private:
    iconv_t handle_;
};

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= kAsciiLimit) {
            return false;
        }
    }
    return true;
}

// Converts UTF-8 to code page 936; returns false when anything had to be replaced.
bool EncodeCp936(std::string_view utf8, std::string& output) {
    if (IsAscii(utf8)) {
        output.assign(utf8);
        return true;
    }
    Converter converter(kCp936Name, kUtf8Name);
    if (!converter.valid()) {
        // Without the code page, keep the ASCII characters and mark the rest.
        bool exact = true;
        for (std::size_t pos = 0; pos < utf8.size();) {
            const std::size_t length = Utf8SequenceLength(utf8, pos);
            if (static_cast<unsigned char>(utf8[pos]) < kAsciiLimit) {
                output += utf8[pos];
            } else {
                output += kReplacementCp936;
                exact = false;
            }
            pos += length;
        }
        return exact;
    }
    return converter.convert(utf8, kReplacementCp936, Utf8SequenceLength, output);
}

}  // namespace

std::string Cp936ToUtf8(std::string_view cp936) {
    if (IsAscii(cp936)) {
        return std::string(cp936);
    }
    std::string output;
    Converter converter(kUtf8Name, kCp936Name);
    if (!converter.valid()) {
        for (std::size_t pos = 0; pos < cp936.size();) {
            const std::size_t length = Cp936CharLength(cp936, pos);
            if (static_cast<unsigned char>(cp936[pos]) < kAsciiLimit) {
                output += cp936[pos];
            } else {
                output += kReplacementUtf8;
            }
            pos += length;
        }
        return output;
    }
    converter.convert(cp936, kReplacementUtf8, Cp936CharLength, output);
    return output;
}

std::string Utf8ToCp936(std::string_view utf8) {
    std::string output;
    EncodeCp936(utf8, output);
    return output;
}

bool IsCp936Representable(std::string_view utf8) {
    std::string output;
    return EncodeCp936(utf8, output);
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
