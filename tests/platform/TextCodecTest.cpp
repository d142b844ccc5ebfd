#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo::platform {
namespace {

const std::string kCelsiusUtf8 = "\xE2\x84\x83";
const std::string kFahrenheitUtf8 = "\xE2\x84\x89";
const std::string kCelsiusCp936 = "\xA1\xE6";
const std::string kFahrenheitCp936 = "\xA8\x48";
const std::string kReplacement = "\xEF\xBF\xBD";

TEST(TextCodec, DegreeSigns) {
    EXPECT_EQ(Utf8ToCp936(kCelsiusUtf8), kCelsiusCp936);
    EXPECT_EQ(Utf8ToCp936(kFahrenheitUtf8), kFahrenheitCp936);
    EXPECT_EQ(Cp936ToUtf8(kCelsiusCp936), kCelsiusUtf8);
    EXPECT_EQ(Cp936ToUtf8(kFahrenheitCp936), kFahrenheitUtf8);
    EXPECT_EQ(Utf8ToCp936("  21.5 " + kCelsiusUtf8), "  21.5 " + kCelsiusCp936);
    EXPECT_EQ(Cp936ToUtf8("21.5" + kFahrenheitCp936), "21.5" + kFahrenheitUtf8);
}

TEST(TextCodec, AsciiRoundTrips) {
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) {
        ascii += static_cast<char>(c);
    }
    EXPECT_EQ(Utf8ToCp936(ascii), ascii);
    EXPECT_EQ(Cp936ToUtf8(ascii), ascii);
    EXPECT_EQ(Cp936ByteCount(ascii), ascii.size());
    EXPECT_EQ(Utf8ToCp936(""), "");
    EXPECT_EQ(Cp936ToUtf8(""), "");
}

TEST(TextCodec, ChineseTextRoundTrips) {
    const std::string utf8 = "\xE6\x97\xB6\xE9\x92\x9F 1";  // "clock" in Chinese, a blank, 1
    const std::string cp936 = Utf8ToCp936(utf8);
    EXPECT_EQ(cp936, "\xCA\xB1\xD6\xD3 1");
    EXPECT_EQ(Cp936ToUtf8(cp936), utf8);
    EXPECT_EQ(Cp936ByteCount(utf8), 6u);
    EXPECT_TRUE(IsCp936Representable(utf8));
}

TEST(TextCodec, InvalidBytesFromTheNetworkStillConvert) {
    EXPECT_EQ(Cp936ToUtf8("a\xFF"
                          "b"),
              "a" + kReplacement + "b");
    EXPECT_EQ(Cp936ToUtf8("ab\xA1"), "ab" + kReplacement);  // a lead byte cut off at the end
    const std::string twice = Cp936ToUtf8("\xA1\xE6\xFF\xA1\xE6");
    EXPECT_EQ(twice, kCelsiusUtf8 + kReplacement + kCelsiusUtf8);
    // A user-defined code has no character on any system.
    EXPECT_EQ(Cp936ToUtf8("\xAA\xA1"), kReplacement);
}

TEST(TextCodec, CharactersWithoutACodePageFormBecomeQuestionMarks) {
    const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600
    EXPECT_EQ(Utf8ToCp936("a" + emoji + "b"), "a?b");
    EXPECT_FALSE(IsCp936Representable(emoji));
    EXPECT_EQ(Cp936ByteCount(emoji + kCelsiusUtf8), 3u);
    EXPECT_EQ(Utf8ToCp936("a\xC3"), "a?");  // cut UTF-8 sequence
    EXPECT_EQ(Utf8ToCp936("\x80x"), "?x");  // stray continuation byte
    EXPECT_FALSE(IsCp936Representable("\x80"));
    EXPECT_EQ(Utf8ToCp936("\xEE\x80\x80"), "?");  // U+E000, private use
}

TEST(TextCodec, ByteCountingForEditLimits) {
    EXPECT_EQ(Cp936ByteCount(kCelsiusUtf8 + kFahrenheitUtf8 + "a"), 5u);
    std::string long_text;
    for (int i = 0; i < 1000; ++i) {
        long_text += kCelsiusUtf8;
    }
    EXPECT_EQ(Cp936ByteCount(long_text), 2000u);  // longer than one conversion buffer
}

TEST(TextCodec, TruncationNeverSplitsATwoByteCharacter) {
    const std::string text = "a" + kCelsiusCp936 + kFahrenheitCp936;  // 5 bytes
    EXPECT_EQ(TruncateCp936(text, 5), text);
    EXPECT_EQ(TruncateCp936(text, 4), "a" + kCelsiusCp936 + "");
    EXPECT_EQ(TruncateCp936(text, 3), "a" + kCelsiusCp936);
    EXPECT_EQ(TruncateCp936(text, 2), "a");
    EXPECT_EQ(TruncateCp936(text, 0), "");
    EXPECT_EQ(TruncateCp936("\xFF\xFF", 1), "\xFF");  // bytes that start nothing count as one
}

}  // namespace
}  // namespace tavlo::platform
