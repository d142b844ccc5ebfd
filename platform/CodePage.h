// Inside the text codec: the system's code page 936 conversion (one implementation per
// system) and the byte-level helpers it shares with the codec.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavlo::platform {

inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD
inline constexpr std::string_view kReplacementCp936 = "?";

// Bytes of the valid UTF-8 sequence that starts at `pos` (1 to 4), or 0 when the byte there
// starts none (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
std::size_t ValidUtf8Length(std::string_view text, std::size_t pos);
// Bytes of the UTF-8 sequence that starts at `pos`, judged by its lead byte (1 for a byte
// that cannot start one), never beyond the text.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);
// Bytes of the code page 936 character that starts at `pos` (1 or 2).
std::size_t Cp936CharLength(std::string_view text, std::size_t pos);

// Code page 936 bytes to UTF-8; each character (Cp936CharLength) that does not convert
// becomes one U+FFFD.
std::string DecodeCp936(std::string_view cp936);
// UTF-8 to code page 936, appended to `output`; a character without a form in the code page,
// and each malformed sequence (Utf8SequenceLength), becomes one '?'. False when anything was
// replaced.
bool EncodeCp936(std::string_view utf8, std::string& output);

}  // namespace tavlo::platform
