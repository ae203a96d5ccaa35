// Blocks sent from a thread of their own: order, waiting, and failures that
// must reach the caller.

#include "serial_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using calc::SerialWorker;

namespace {

TEST(SerialWorker, JobsRunInOrderAndFinishWaitsForAllOfThem)
{
    SerialWorker worker;
    std::vector<int> done; // touched by the worker only until finish() returns
    for (int i = 0; i < 50; ++i) {
        worker.post([&done, i] {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            done.push_back(i);
        });
    }
    worker.finish();
    ASSERT_EQ(done.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(done[std::size_t(i)], i);
}

// Whether a failure shows at a post() or at finish() depends on timing; that
// each one shows exactly once, in order, and costs no later job does not.
TEST(SerialWorker, EveryFailureReachesTheCallerOnceInOrderAndLaterJobsStillRun)
{
    SerialWorker worker;
    std::vector<std::string> reported;
    auto call = [&](auto &&action) {
        try {
            action();
            return true;
        } catch (const std::runtime_error &e) {
            reported.push_back(e.what());
            return false;
        }
    };
    std::atomic<int> ran{0};
    call([&] { worker.post([] { throw std::runtime_error("first"); }); });
    call([&] { worker.post([] { throw std::runtime_error("second"); }); });
    call([&] { worker.post([&ran] { ++ran; }); });
    int finishes = 0;
    while (!call([&] { worker.finish(); }) && ++finishes < 5) {
    }

    EXPECT_EQ(reported, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(ran, 1) << "a job posted while a failure was thrown still runs";
    EXPECT_NO_THROW(worker.finish()) << "a failure is thrown once";
}

} // namespace
