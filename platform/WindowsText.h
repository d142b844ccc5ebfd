// UTF-8 and the UTF-16 of the Windows API, for the Windows implementations of platform/.
#pragma once

#include <string>
#include <string_view>

namespace tavlo::platform {

// Malformed UTF-8 becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view utf8);
// An unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view wide);
// The system's text for an error code (GetLastError, WSAGetLastError), one line in UTF-8.
std::string SystemErrorText(unsigned long code);

}  // namespace tavlo::platform
