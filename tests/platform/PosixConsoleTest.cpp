// The console break on POSIX systems: SIGINT and SIGTERM are held for Poll while it lives.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "platform/Console.h"

namespace tavlo::platform {
namespace {

using namespace std::chrono_literals;

TEST(PosixConsoleTest, ABreakIsHeldForOnePollInsteadOfEndingTheProgram) {
    for (const int signal : {SIGINT, SIGTERM}) {
        const ConsoleBreak consoleBreak;
        EXPECT_FALSE(consoleBreak.Poll(1ms));
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_TRUE(consoleBreak.Poll(0ms)) << signal;
        EXPECT_FALSE(consoleBreak.Poll(1ms)) << signal;
    }
}

}  // namespace
}  // namespace tavlo::platform
