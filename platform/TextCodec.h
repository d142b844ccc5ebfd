// Conversion between UTF-8 and code page 936, the multibyte encoding of every text the clocks
// store (serial numbers, the display text, keys, domain names, SSIDs, passwords). In code page
// 936, ASCII is one byte and other characters take two (lead byte 0x81 to 0xFE).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavlo::platform {

// Code page 936 bytes to UTF-8. Bytes that are not valid code page 936 each become U+FFFD, so
// a text from the network always converts.
std::string Cp936ToUtf8(std::string_view cp936);

// UTF-8 to code page 936 bytes. A character the code page cannot hold, and a byte that is not
// valid UTF-8, become '?'.
std::string Utf8ToCp936(std::string_view utf8);

// True when every character of the UTF-8 text has a code page 936 form.
bool IsCp936Representable(std::string_view utf8);

// The number of bytes the UTF-8 text takes in code page 936 (as Utf8ToCp936 writes it), for
// the edit-box limits that count bytes.
std::size_t Cp936ByteCount(std::string_view utf8);

// The longest start of the code page 936 bytes that fits in `maxBytes` without cutting a
// two-byte character in half.
std::string_view TruncateCp936(std::string_view cp936, std::size_t maxBytes);

// `text` read as UTF-8 with control characters (C0, DEL and the C1 controls U+0080 to
// U+009F) and bytes that are no valid UTF-8 each replaced by '?', safe to print on a terminal
// and always one line (for texts from the network, a file or the command line shown in
// messages).
std::string Printable(std::string_view text);

// True when Printable would leave `text` as it is: valid UTF-8 without a control character.
bool IsPrintable(std::string_view text);

}  // namespace tavlo::platform
