// The worker type every job thread runs on: its verbs before, during and after a job.
#include "platform/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stop_token>
#include <thread>

namespace tavlo::platform {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLongWait{10000};
constexpr milliseconds kShortWait{20};

// A job that runs until it is asked to stop.
WorkerThread::Job UntilStopped(std::atomic<bool>& sawStop) {
    return [&sawStop](std::stop_token stop) {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        sawStop = true;
    };
}

TEST(WorkerThreadTest, VerbsWithoutAJobDoNothing) {
    WorkerThread worker;
    EXPECT_FALSE(worker.isRunning());
    EXPECT_TRUE(worker.waitFor(milliseconds(0)));
    worker.requestStop();
    worker.join();
}

TEST(WorkerThreadTest, RunsUntilAskedToStopThenWaitsAndJoins) {
    std::atomic<bool> sawStop{false};
    WorkerThread worker;
    ASSERT_TRUE(worker.start(UntilStopped(sawStop)));
    EXPECT_TRUE(worker.isRunning());
    EXPECT_FALSE(worker.waitFor(kShortWait));
    worker.requestStop();
    EXPECT_TRUE(worker.waitFor(kLongWait));
    EXPECT_FALSE(worker.isRunning());
    EXPECT_TRUE(sawStop);
    worker.join();
}

TEST(WorkerThreadTest, TakesANewJobOnlyOnceTheLastIsJoined) {
    WorkerThread worker;
    std::atomic<int> runs{0};
    const auto count = [&runs](std::stop_token) { ++runs; };
    ASSERT_TRUE(worker.start(count));
    EXPECT_TRUE(worker.waitFor(kLongWait));
    EXPECT_FALSE(worker.start(count));  // ended, not joined
    worker.join();
    ASSERT_TRUE(worker.start(count));
    worker.join();
    EXPECT_EQ(runs.load(), 2);
}

TEST(WorkerThreadTest, DestroyingARunningWorkerStopsAndJoinsIt) {
    std::atomic<bool> sawStop{false};
    {
        WorkerThread worker;
        worker.start(UntilStopped(sawStop));
    }
    EXPECT_TRUE(sawStop);
}

}  // namespace
}  // namespace tavlo::platform
