// The periodic timer: ticks on its own thread, collapsing of missed periods, the restart rules
// of its setters, and stops from inside the handler and from a main thread serving its calls.

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/SyncEvents.h"
#include "common/ThreadSynchronize.h"
#include "devices/HiresTim.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using velk::THiResTimer;

namespace {

constexpr auto kGenerous = 20s; // bound for anything that should happen soon

// Counts ticks and lets the test wait until a number of them has happened.
struct TickCounter {
    std::atomic<int> count{0};
    std::mutex lock;
    std::vector<Clock::time_point> times;
    velk::ManualResetEvent reached;
    int target = 1;

    void Tick() {
        {
            std::lock_guard guard(lock);
            times.push_back(Clock::now());
        }
        if (count.fetch_add(1) + 1 >= target) reached.Set();
    }
    // Count after letting a few periods pass; for checks that nothing (more) happens.
    int CountAfter(std::chrono::milliseconds quiet) {
        std::this_thread::sleep_for(quiet);
        return count.load();
    }
};

// Starts `timer` ticking every 10 ms into `counter`; true once the first tick came.
bool StartCounting(THiResTimer& timer, TickCounter& counter) {
    timer.SetInterval(10);
    timer.SetOnTimer([&](THiResTimer*) { counter.Tick(); });
    timer.SetEnabled(true);
    return counter.reached.Wait(kGenerous);
}

TEST(HiResTimer, StartsOnlyWithHandlerIntervalAndEnabled) {
    TickCounter counter;
    THiResTimer timer;
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    EXPECT_EQ(timer.Resolution(), 100);
    timer.SetInterval(10);
    timer.SetEnabled(true); // no handler: nothing starts
    timer.SetOnTimer([&](THiResTimer*) { counter.Tick(); });
    EXPECT_EQ(counter.CountAfter(150ms), 0); // assigning the handler does not start it either
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_TRUE(counter.reached.Wait(kGenerous));
}

TEST(HiResTimer, IntervalZeroStopsAndAPositiveIntervalRestarts) {
    TickCounter counter;
    THiResTimer timer;
    ASSERT_TRUE(StartCounting(timer, counter));
    timer.SetInterval(0); // returns once any running tick has ended
    const int stopped = counter.count.load();
    EXPECT_EQ(counter.CountAfter(150ms), stopped);
    EXPECT_TRUE(timer.Enabled());
    counter.reached.Reset();
    counter.target = stopped + 2;
    timer.SetInterval(10);
    EXPECT_TRUE(counter.reached.Wait(kGenerous));
}

TEST(HiResTimer, UnassigningTheHandlerStopsAndDisables) {
    TickCounter counter;
    THiResTimer timer;
    ASSERT_TRUE(StartCounting(timer, counter));
    timer.SetOnTimer(nullptr);
    EXPECT_FALSE(timer.Enabled());
    const int stopped = counter.count.load();
    EXPECT_EQ(counter.CountAfter(150ms), stopped);
}

TEST(HiResTimer, PeriodsMissedDuringALongTickCollapseIntoOne) {
    constexpr auto kPeriod = 200ms;
    TickCounter counter;
    counter.target = 2;
    THiResTimer timer;
    timer.SetInterval(static_cast<int>(kPeriod.count()));
    velk::ManualResetEvent never;
    timer.SetOnTimer([&](THiResTimer*) {
        const bool first = counter.count.load() == 0;
        counter.Tick();
        if (first) never.Wait(kPeriod * 11 / 2); // a tick lasting five and a half periods
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(counter.reached.Wait(kGenerous));
    std::this_thread::sleep_for(3 * kPeriod);
    timer.SetEnabled(false);
    std::lock_guard guard(counter.lock);
    ASSERT_GE(counter.times.size(), 2u);
    // Queued periods would follow the long tick back to back; collapsed ones give one tick
    // and then the regular period: within half a period at most one more (a period boundary).
    const auto second = counter.times[1];
    int soon = 0;
    for (const auto& t : counter.times)
        if (t >= second && t < second + kPeriod / 2) ++soon;
    EXPECT_LE(soon, 2);
}

TEST(HiResTimer, AnExceptionInTheHandlerDoesNotStopTheTicks) {
    TickCounter counter;
    counter.target = 3;
    THiResTimer timer;
    timer.SetInterval(10);
    timer.SetOnTimer([&](THiResTimer*) {
        counter.Tick();
        throw std::runtime_error("tick failed");
    });
    timer.SetEnabled(true);
    EXPECT_TRUE(counter.reached.Wait(kGenerous));
}

TEST(HiResTimer, DisablingFromInsideTheHandlerReturnsAtOnceAndEndsTheTicks) {
    TickCounter counter;
    THiResTimer timer;
    velk::ManualResetEvent stopped;
    timer.SetInterval(10);
    timer.SetOnTimer([&](THiResTimer* sender) {
        counter.Tick();
        sender->SetEnabled(false); // would wait for itself if it did not know better
        stopped.Set();
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(stopped.Wait(kGenerous));
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(counter.CountAfter(150ms), 1);
    timer.SetEnabled(true); // and it can be started again
    counter.target = 2;
    EXPECT_TRUE(counter.reached.Wait(kGenerous));
}

TEST(HiResTimer, MainThreadStopKeepsServingTheTicksCallsIntoIt) {
    THiResTimer timer;
    velk::ManualResetEvent inTick;
    std::atomic<bool> callRan{false}, tickEnded{false};
    timer.SetInterval(10);
    timer.SetOnTimer([&](THiResTimer*) {
        if (callRan) return;
        inTick.Set();
        // The tick ends with a blocking call into the main thread, as the acquisition does.
        velk::CallInMainThread(0, [&](std::int32_t) { callRan = true; });
        tickEnded = true;
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(inTick.Wait(kGenerous));
    timer.SetEnabled(false); // the main thread is not in its event loop: only the stop serves it
    EXPECT_TRUE(callRan);
    EXPECT_TRUE(tickEnded);
}

} // namespace
