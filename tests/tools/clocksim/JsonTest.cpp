#include <gtest/gtest.h>

#include "tools/clocksim/Json.h"

namespace tavlo::clocksim {
namespace {

TEST(JsonTest, ReadsEveryKindOfValue) {
    std::string error;
    auto v = ParseJson(
        R"( {"a": [1, -2.5e2, true, false, null], "s": "x\"\\\/\n\u00e9\ud83d\ude00", "o": {}} )",
        error);
    ASSERT_TRUE(v) << error;
    const auto& a = v->find("a")->asArray();
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0].asNumber(), 1);
    EXPECT_EQ(a[1].asNumber(), -250);
    EXPECT_TRUE(a[2].asBool());
    EXPECT_TRUE(a[4].isNull());
    EXPECT_EQ(v->find("s")->asString(), "x\"\\/\n\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_TRUE(v->find("o")->isObject());
    EXPECT_EQ(v->find("missing"), nullptr);
}

TEST(JsonTest, RefusesMalformedInputWithItsPlace) {
    const struct {
        const char* text;
        const char* where;
    } cases[] = {
        {"", "line 1, column 1"},
        {"{", "line 1, column 2"},
        {"{\"a\":1,}", "line 1, column 8"},
        {"[1 2]", "line 1, column 4"},
        {"{\"a\":1}\n x", "line 2, column 2"},
        {"01", "line 1, column 2"},
        {"1.", "line 1, column 3"},
        {"\"a\nb\"", "line 1, column 3"},
        {"\"\\x\"", "line 1, column 3"},
        {"\"\\ud800\"", "line 1"},
        {"{\"a\":1,\"a\":2}", "duplicate"},
        {"tru", "line 1, column 1"},
        {"1e999", "out of range"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseJson(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.where), std::string::npos) << c.text << " -> " << error;
    }
}

TEST(JsonTest, LimitsAreEnforced) {
    std::string error;
    JsonLimits limits;
    limits.maxDepth = 4;
    EXPECT_TRUE(ParseJson("[[[[1]]]]", error, limits)) << error;
    EXPECT_FALSE(ParseJson("[[[[[[1]]]]]]", error, limits));
    EXPECT_NE(error.find("nesting"), std::string::npos);
    EXPECT_FALSE(ParseJson(std::string(100000, '['), error)) << "deep input must not recurse away";
    limits = JsonLimits{};
    limits.maxString = 8;
    EXPECT_FALSE(ParseJson("\"0123456789\"", error, limits));
    limits = JsonLimits{};
    limits.maxItems = 2;
    EXPECT_FALSE(ParseJson("[1,2,3]", error, limits));
    limits = JsonLimits{};
    limits.maxInput = 4;
    EXPECT_FALSE(ParseJson("[1, 2]", error, limits));
}

TEST(JsonTest, QuotedBytesAndWriter) {
    EXPECT_EQ(JsonQuote(std::string("a\"b\\\n\x01\xa1", 7)), R"("a\"b\\\n\u0001\u00a1")");
    const std::string line = JsonObjectWriter()
                                 .add("text", "x")
                                 .add("n", -3)
                                 .addBool("b", true)
                                 .addDouble("d", 21.5)
                                 .addRaw("list", JsonArray({"1", "2"}))
                                 .str();
    EXPECT_EQ(line, R"({"text":"x","n":-3,"b":true,"d":21.5,"list":[1,2]})");
    std::string error;
    EXPECT_TRUE(ParseJson(line, error)) << error;
}

}  // namespace
}  // namespace tavlo::clocksim
