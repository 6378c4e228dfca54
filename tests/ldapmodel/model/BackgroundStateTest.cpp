// The worker thread of BackgroundState: a bounded join, and exceptions that
// escape the worker.

#include "model/BackgroundState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using ldapmodel::BackgroundState;
using Clock = std::chrono::steady_clock;

TEST(BackgroundStateDeathTest, ExceptionOnTheWorkerReachesTheFaultReport)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            BackgroundState state;
            state.startWorker([] { throw std::runtime_error("worker failed"); });
            state.joinWorker();
            std::exit(3);
        },
        testing::ExitedWithCode(0),
        "Escaped C\\+\\+ exception: worker failed\n(.|\n)*Exception! Reason UNKNOWN_EXCEPTION");
}

TEST(BackgroundStateTest, JoinWorkerForWaitsNoLongerThanItsTimeout)
{
    BackgroundState state;
    std::atomic<bool> release{false};
    state.startWorker([&release] {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(state.joinWorkerFor(std::chrono::milliseconds(100)));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_LT(waited, std::chrono::milliseconds(900));
    EXPECT_TRUE(state.hasWorker());

    release.store(true);
    EXPECT_TRUE(state.joinWorkerFor(std::chrono::seconds(10)));
    EXPECT_FALSE(state.hasWorker());
    // Nothing to wait for.
    EXPECT_TRUE(state.joinWorkerFor(std::chrono::milliseconds(0)));
}
