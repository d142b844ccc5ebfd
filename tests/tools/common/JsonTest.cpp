// The JSON reader of the command line and the simulator: where a refused text is wrong, the
// limits, member order and output that survives texts that are not UTF-8.
#include "tools/common/Json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace tavlo::json {
namespace {

TEST(JsonRead, KeepsMemberOrderAndEveryKindOfValue) {
    std::string error;
    const auto value =
        Read(R"( {"z": [1, -2.5e2, true, null], "a": "\u00e9\ud83d\ude00", "o": {}} )", error);
    ASSERT_TRUE(value) << error;
    EXPECT_EQ(Write(*value),
              "{\"z\":[1,-250.0,true,null],\"a\":\"\xc3\xa9\xf0\x9f\x98\x80\",\"o\":{}}");
}

TEST(JsonRead, RefusesWithLineAndColumn) {
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"", "line 1, column 1: "},
        {"{", "line 1, column 2: "},
        {"{\"a\":1,}", "line 1, column 8: "},
        {"[1 2]", "line 1, column 4: "},
        {"{\"a\":1}\n x", "line 2, column 2: "},
        {"01", "line 1, column 2: "},
        {"\"a\nb\"", "line 1, column 3: "},
        {"\"\\ud800\"", "line 1, column 8: "},
        {"\"\xff\"", "line 1, column 2: "},
        {"1e999", "line 1, column 5: number overflow"},
        {"{\"a\":1,\n \"a\":2}", "line 2, column 4: duplicate member \"a\""},
        {"{\"a\":{\"b\":1,\"b\":2}}", "line 1, column 15: duplicate member \"b\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Read(c.text, error)) << c.text;
        EXPECT_EQ(error.find(c.says), 0u) << c.text << " -> " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    std::string error;
    EXPECT_TRUE(Read("[{\"a\":1},{\"a\":2}]", error)) << "the same name in two objects";
}

TEST(JsonRead, Limits) {
    std::string error;
    ReadLimits limits;
    limits.maxDepth = 4;
    EXPECT_TRUE(Read("[[[{\"a\":1}]]]", error, limits)) << error;
    EXPECT_FALSE(Read("[[[[[1]]]]]", error, limits));
    EXPECT_EQ(error, "line 1, column 5: nesting deeper than 4");
    EXPECT_FALSE(Read(std::string(1000000, '['), error)) << "deep input must not recurse away";
    limits = ReadLimits{};
    limits.maxMembers = 2;
    EXPECT_TRUE(Read("{\"a\":1,\"b\":2}", error, limits)) << error;
    EXPECT_FALSE(Read("{\"a\":1,\"b\":2,\"c\":3}", error, limits));
    EXPECT_NE(error.find("more than 2 members"), std::string::npos) << error;
    limits = ReadLimits{};
    limits.maxBytes = 4;
    EXPECT_FALSE(Read("[1, 2]", error, limits));
    EXPECT_EQ(error, "input longer than 4 bytes");
}

TEST(JsonReadText, FileOrStandardInputWithinTheLimit) {
    std::istringstream input("{\"a\":1}");
    std::string error;
    EXPECT_EQ(ReadText("-", input, error), "{\"a\":1}");
    std::istringstream large(std::string(10, ' '));
    EXPECT_FALSE(ReadText("-", large, error, 9));
    EXPECT_EQ(error, "- is larger than 9 bytes");
    EXPECT_FALSE(ReadText("/nonexistent/clocks.json", input, error));
    EXPECT_EQ(error, "cannot read /nonexistent/clocks.json");
}

TEST(JsonReadText, APathInUtf8IsThatFileOnEverySystem) {
    const auto folder = std::filesystem::temp_directory_path();
    const std::string number = std::to_string(std::random_device{}());
    const std::u8string name =
        u8"tavlo-\u00fc\u6c49-" + std::u8string(number.begin(), number.end()) + u8".json";
    std::ofstream(folder / name) << "{}";
    const std::u8string path = (folder / name).u8string();
    std::istringstream unused;
    std::string error;
    EXPECT_EQ(ReadText(std::string(path.begin(), path.end()), unused, error), "{}") << error;
    std::filesystem::remove(folder / name);
}

TEST(JsonWrite, ReplacesBytesThatAreNotUtf8) {
    Json value;
    value["text"] = std::string("21.5 \xe2\x84\x83 \"q\"\x01\xff");
    value["count"] = 2;
    EXPECT_EQ(Write(value),
              "{\"text\":\"21.5 \xe2\x84\x83 \\\"q\\\"\\u0001\xef\xbf\xbd\",\"count\":2}");
}

}  // namespace
}  // namespace tavlo::json
