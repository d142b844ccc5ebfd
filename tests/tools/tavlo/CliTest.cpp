// Command-line helpers: address parsing, JSON strings, printable text, usage errors.
#include "tools/tavlo/Cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/Ipv4.h"

namespace tavlo::cli {
namespace {

TEST(CliAddress, TakesOnlyFourDecimalOctets) {
    EXPECT_EQ(ParseDottedAddress("192.0.2.10"), platform::MakeIpv4(192, 0, 2, 10));
    EXPECT_EQ(ParseDottedAddress("255.255.255.255"), platform::kLimitedBroadcast);
    for (const char* bad : {"", "0.0.0.0", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "0x1.2.3.4",
                            " 1.2.3.4", "1.2.3.4 ", "1.2.3.4 (SN1)", "1234.1.1.1"}) {
        EXPECT_FALSE(ParseDottedAddress(bad)) << bad;
    }
}

TEST(CliJson, EscapesAndRepairsText) {
    EXPECT_EQ(JsonString("SN0042"), "\"SN0042\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString(std::string("x\n\x01y", 4)), "\"x\\u000a\\u0001y\"");
    EXPECT_EQ(JsonString("21.5 \u2103"), "\"21.5 \u2103\"");
    // Bytes that are not UTF-8 (a stray lead byte, a cut sequence, an overlong form).
    EXPECT_EQ(JsonString("\xff"), "\"\\ufffd\"");
    EXPECT_EQ(JsonString("a\xe2\x84"), "\"a\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");
}

TEST(CliText, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(Printable(std::string("a\x1b[2Jb\r\n\x7f", 9)), "a?[2Jb???");
    EXPECT_EQ(Printable("192.0.2.10 (SN0042)"), "192.0.2.10 (SN0042)");
}

TEST(CliErrors, OneLineOnStandardError) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err, false};
    EXPECT_EQ(UsageError(io, "read", "give one address only"), kExitUsage);
    EXPECT_EQ(err.str(), "tavlo read: give one address only (see 'tavlo read --help')\n");
    err.str("");
    EXPECT_EQ(Failure(io, "read", "no answer from 192.0.2.10", kExitNoAnswer), kExitNoAnswer);
    EXPECT_EQ(err.str(), "tavlo read: no answer from 192.0.2.10\n");
    EXPECT_TRUE(out.str().empty());
}

TEST(CliProgress, SilentWhenNotATerminal) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err, false};
    {
        ProgressLine line(io);
        line.show("Searching wired clocks: 192.0.2.5, 0 found");
    }
    EXPECT_TRUE(err.str().empty());
    Io terminal{out, err, true};
    {
        ProgressLine line(terminal);
        line.show("probing");
    }
    EXPECT_EQ(err.str(), "\r\033[Kprobing\r\033[K");
}

}  // namespace
}  // namespace tavlo::cli
