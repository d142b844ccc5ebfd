// Code page 936 through MultiByteToWideChar and WideCharToMultiByte, one character at a time so
// that each one that does not convert is replaced on its own, as the iconv build does. Windows
// maps the code page's user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0) and a few unassigned
// codes to the Private Use Area, where iconv has no character: such codes count as invalid
// here too, so both builds show and write every text alike.
#include <windows.h>

#include <array>

#include "platform/CodePage.h"
#include "platform/WindowsText.h"

namespace tavlo::platform {
namespace {

constexpr UINT kCp936 = 936;
constexpr std::size_t kMaxWidePerCharacter = 2;  // a surrogate pair
constexpr std::size_t kMaxCp936PerCharacter = 2;
constexpr wchar_t kPrivateUseFirst = 0xE000;
constexpr wchar_t kPrivateUseLast = 0xF8FF;

bool IsPrivateUse(wchar_t character) {
    return character >= kPrivateUseFirst && character <= kPrivateUseLast;
}

}  // namespace

std::string DecodeCp936(std::string_view cp936) {
    std::string output;
    for (std::size_t pos = 0; pos < cp936.size();) {
        const std::size_t length = Cp936CharLength(cp936, pos);
        std::array<wchar_t, kMaxWidePerCharacter> wide{};
        const int count = ::MultiByteToWideChar(kCp936, MB_ERR_INVALID_CHARS, cp936.data() + pos,
                                                static_cast<int>(length), wide.data(), wide.size());
        if (count > 0 && !IsPrivateUse(wide[0])) {
            output += WideToUtf8(std::wstring_view(wide.data(), static_cast<std::size_t>(count)));
        } else {
            output += kReplacementUtf8;
        }
        pos += length;
    }
    return output;
}

bool EncodeCp936(std::string_view utf8, std::string& output) {
    bool exact = true;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t length = ValidUtf8Length(utf8, pos);
        if (length == 0) {
            output += kReplacementCp936;
            exact = false;
            pos += Utf8SequenceLength(utf8, pos);
            continue;
        }
        const std::wstring wide = Utf8ToWide(utf8.substr(pos, length));
        std::array<char, kMaxCp936PerCharacter> bytes{};
        BOOL usedDefault = FALSE;
        const int count = ::WideCharToMultiByte(kCp936, WC_NO_BEST_FIT_CHARS, wide.data(),
                                                static_cast<int>(wide.size()), bytes.data(),
                                                bytes.size(), nullptr, &usedDefault);
        if (count > 0 && usedDefault == FALSE && !IsPrivateUse(wide[0])) {
            output.append(bytes.data(), static_cast<std::size_t>(count));
        } else {
            output += kReplacementCp936;
            exact = false;
        }
        pos += length;
    }
    return exact;
}

}  // namespace tavlo::platform
