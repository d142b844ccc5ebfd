// Prints the text codec's view of every code page 936 code, one line each: the code's bytes,
// the UTF-8 they convert to and the bytes that UTF-8 converts back to, all in hexadecimal.
// Built with this machine's compiler for the Windows build, whose suite compares its own
// conversion (the system's code page) with this one (iconv) code by code.
#include <cstdio>
#include <string>

#include "platform/TextCodec.h"
#include "tests/platform/Cp936Codes.h"

namespace {

std::string Hex(const std::string& bytes) {
    std::string text;
    char two[3];
    for (const char byte : bytes) {
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(byte));
        text += two;
    }
    return text.empty() ? "-" : text;
}

}  // namespace

int main() {
    for (const std::string& code : tavlo::test::EveryCp936Code()) {
        const std::string utf8 = tavlo::platform::Cp936ToUtf8(code);
        std::printf("%s %s %s\n", Hex(code).c_str(), Hex(utf8).c_str(),
                    Hex(tavlo::platform::Utf8ToCp936(utf8)).c_str());
    }
    return 0;
}
