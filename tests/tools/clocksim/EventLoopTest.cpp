#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tools/clocksim/EventLoop.h"

namespace tavlo::clocksim {
namespace {

using std::chrono::milliseconds;

TEST(EventLoopTest, TimersRunByDueTimeThenInSchedulingOrder) {
    EventLoop loop;
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    loop.After(milliseconds(30), [&] { order.push_back(3); });
    loop.After(milliseconds(10), [&] { order.push_back(1); });
    loop.After(milliseconds(10), [&] { order.push_back(2); });
    loop.After(milliseconds(40), [&] {
        order.push_back(4);
        loop.Stop();
    });
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(40));
    EXPECT_GE(loop.NowMs(), 40);
}

}  // namespace
}  // namespace tavlo::clocksim
