// The gate that runs office calls on its worker, used in two halves: a job
// handed over now and waited for later, as the window's background start is.
#include "platform/office/CallGate.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using platform::office::CallGate;
using namespace std::chrono;

TEST(CallGate, ASubmittedJobRunsWhileTheCallerGoesOnAndIsWaitedForLater)
{
    CallGate gate;
    std::atomic_bool release{false}, ran{false};
    gate.submit([&] {
        while (!release)
            std::this_thread::sleep_for(milliseconds(1));
        ran = true;
    });
    EXPECT_TRUE(gate.busy()); // a second call now is refused by its callers
    EXPECT_FALSE(ran);
    release = true;
    EXPECT_EQ(gate.wait(seconds(10)), CallGate::Outcome::Finished);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(gate.busy());

    // Waited for after it has long finished: its failure is not lost.
    gate.submit([] { throw std::runtime_error("office gone"); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !gate.busy(); }, 5000));
    EXPECT_THROW(gate.wait(seconds(10)), std::runtime_error);
    // And the next job is the next job's outcome, not the old failure's.
    EXPECT_EQ(gate.run([] {}, seconds(10)), CallGate::Outcome::Finished);
}

TEST(CallGate, AWaitThatRunsOutLeavesTheJobToEndByItself)
{
    CallGate gate;
    std::atomic_bool release{false};
    gate.submit([&] {
        while (!release)
            std::this_thread::sleep_for(milliseconds(1));
    });
    EXPECT_EQ(gate.wait(milliseconds(50)), CallGate::Outcome::TimedOut);
    EXPECT_TRUE(gate.busy());
    release = true;
    EXPECT_TRUE(gate.waitIdle(seconds(10)));
}
