// The system's code page 936 against the iconv build's, code by code in both directions: the
// reference (tests/platform/Cp936Reference.cpp, run on the build machine) names the file in
// TAVLO_CP936_REFERENCE.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/TextCodec.h"
#include "tests/platform/Cp936Codes.h"

namespace tavlo::platform {
namespace {

constexpr int kHexBase = 16;
const std::size_t kShownDifferences = std::getenv("TAVLO_CP936_ALL") ? SIZE_MAX : 20;

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    constexpr unsigned kNibble = 4;
    constexpr unsigned kLowNibble = 0xF;
    std::string text;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += kDigits[value >> kNibble];
        text += kDigits[value & kLowNibble];
    }
    return text.empty() ? "-" : text;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    if (hex == "-") {
        return bytes;
    }
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, kHexBase));
    }
    return bytes;
}

TEST(Cp936Reference, EveryCodeConvertsAsOnTheIconvBuild) {
    const char* path = std::getenv("TAVLO_CP936_REFERENCE");
    ASSERT_NE(path, nullptr) << "TAVLO_CP936_REFERENCE names no reference table";
    std::ifstream table(path);
    ASSERT_TRUE(table) << path;
    std::size_t lines = 0;
    std::size_t differences = 0;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string code, utf8, back;
        ASSERT_TRUE(fields >> code >> utf8 >> back) << line;
        ++lines;
        const std::string decoded = Cp936ToUtf8(FromHex(code));
        const std::string encoded = Utf8ToCp936(FromHex(utf8));
        if (decoded != FromHex(utf8) || encoded != FromHex(back)) {
            if (++differences <= kShownDifferences) {
                ADD_FAILURE() << "code " << code << ": reference " << utf8 << " -> " << back
                              << ", here " << Hex(decoded) << " -> " << Hex(encoded);
            }
        }
    }
    EXPECT_EQ(lines, test::EveryCp936Code().size());
    EXPECT_EQ(differences, 0u);
}

}  // namespace
}  // namespace tavlo::platform
