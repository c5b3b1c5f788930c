// The periodic timer: ticks on its own thread, collapsing of missed periods, the restart rules
// of its setters, and stops from inside the handler and from a main thread serving its calls.

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/SyncEvents.h"
#include "common/ThreadSynchronize.h"
#include "devices/HiresTim.h"
#include "tests/TestSupport.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using velk::THiResTimer;

namespace {

constexpr auto kGenerous = 20s; // bound for anything that should happen soon

// Counts ticks and lets the test wait until a number of them has happened.
struct TickCounter {
    std::atomic<int> count{0}, target{1};
    std::vector<Clock::time_point> times; // read only once the timer has stopped
    velk::ManualResetEvent reached;

    void Tick() {
        times.push_back(Clock::now());
        if (count.fetch_add(1) + 1 >= target) reached.Set();
    }
    bool WaitFor(int ticks) {
        target = ticks;
        reached.Reset(); // a tick before this reset is seen by the count
        return count.load() >= ticks || reached.Wait(kGenerous);
    }
    // True when no tick comes while fifteen 10 ms periods pass.
    bool StaysQuiet() {
        const int before = count.load();
        std::this_thread::sleep_for(150ms);
        return count.load() == before;
    }
};

// Runs the main thread's calls until `done` is set (bounded, so a fault fails instead of hangs).
bool ServeCallsUntil(velk::ManualResetEvent& done) {
    return velk::test::Eventually([&] { return done.IsSet(); });
}

TEST(HiResTimer, RunsWhileEnabledWithAHandlerAndAPositiveIntervalUntilItStopsItself) {
    // Declared before the timer: its destructor waits for the last handler, which still
    // touches them after stopping its own timer.
    TickCounter counter;
    velk::ManualResetEvent stopped;
    THiResTimer timer;
    timer.SetInterval(10);
    timer.SetEnabled(true); // no handler: nothing starts
    timer.SetOnTimer([&](THiResTimer*) {
        counter.Tick();
        throw std::runtime_error("tick failed"); // a failing tick does not end the timer
    });
    EXPECT_TRUE(counter.StaysQuiet()) << "assigning the handler started the timer";
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_TRUE(counter.WaitFor(3));
    timer.SetInterval(0);
    EXPECT_TRUE(counter.StaysQuiet());
    EXPECT_TRUE(timer.Enabled());
    timer.SetInterval(10); // a positive interval starts it again
    EXPECT_TRUE(counter.WaitFor(counter.count.load() + 2));
    timer.SetOnTimer(nullptr); // returns once any running tick has ended
    EXPECT_TRUE(counter.StaysQuiet());
    EXPECT_FALSE(timer.Enabled());
    timer.SetOnTimer([&](THiResTimer* sender) {
        counter.Tick();
        sender->SetEnabled(false); // would wait for itself if it did not know better
        stopped.Set();
    });
    const int before = counter.count.load();
    timer.SetEnabled(true);
    ASSERT_TRUE(stopped.Wait(kGenerous));
    EXPECT_FALSE(timer.Enabled());
    EXPECT_TRUE(counter.StaysQuiet());
    EXPECT_EQ(counter.count.load(), before + 1);
    timer.SetEnabled(true); // and it can be started again
    EXPECT_TRUE(counter.WaitFor(before + 2));
}

TEST(HiResTimer, PeriodsMissedDuringALongTickCollapseIntoOne) {
    constexpr auto kPeriod = 200ms;
    TickCounter counter;
    THiResTimer timer;
    timer.SetInterval(static_cast<int>(kPeriod.count()));
    velk::ManualResetEvent never;
    timer.SetOnTimer([&](THiResTimer*) {
        const bool first = counter.count.load() == 0;
        counter.Tick();
        if (first) never.Wait(kPeriod * 11 / 2); // a tick lasting five and a half periods
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(counter.WaitFor(4));
    timer.SetEnabled(false);
    // Queued periods would follow the long tick back to back; collapsed ones give one tick
    // and then the regular period: within half a period at most one more (a period boundary).
    const auto second = counter.times[1];
    int soon = 0;
    for (const auto& t : counter.times)
        soon += t >= second && t < second + kPeriod / 2;
    EXPECT_LE(soon, 2);
}

// The main thread stops the timer, or destroys it after the handler stopped it, while the
// handler waits for a call into the main thread (as the acquisition's display update does):
// the stop's wait runs that call, and returns only once the handler has ended.
TEST(HiResTimer, MainThreadStopOrDestroyWaitsForTheTickServingItsCalls) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroy after the handler stopped it" : "stop");
        velk::ManualResetEvent inTick, tickEnded;
        std::atomic<bool> callRan{false};
        auto timer = std::make_unique<THiResTimer>();
        timer->SetInterval(10);
        timer->SetOnTimer([&](THiResTimer* sender) {
            if (callRan) return;
            if (destroy) sender->SetEnabled(false);
            inTick.Set();
            velk::CallInMainThread(0, [&](std::int32_t) { callRan = true; });
            tickEnded.Set();
        });
        timer->SetEnabled(true);
        ASSERT_TRUE(inTick.Wait(kGenerous));
        if (destroy)
            timer.reset();
        else
            timer->SetEnabled(false); // the main thread is not in its event loop
        EXPECT_TRUE(callRan);
        EXPECT_TRUE(tickEnded.IsSet());
        ServeCallsUntil(tickEnded); // lets a faulty run's handler end before the next case
    }
}

// The main thread, inside a call that a tick is blocked on (an alarm mail pumping events),
// stops, restarts or (from inside a stop's own wait) destroys the timer. Waiting for that tick
// there would never end; a restarted timer must still not run a tick beside it.
TEST(HiResTimer, MainThreadInsideATicksCallNeitherWaitsForItNorOverlapsTicks) {
    enum class Act { Stop, Restart, DestroyUnderStop };
    for (const Act act : {Act::Stop, Act::Restart, Act::DestroyUnderStop}) {
        SCOPED_TRACE(static_cast<int>(act));
        auto timer = std::make_unique<THiResTimer>();
        std::atomic<int> inside{0}, ticks{0};
        std::atomic<bool> overlapped{false};
        velk::ManualResetEvent inFirstTick, firstEnded, later;
        timer->SetInterval(10);
        timer->SetOnTimer([&](THiResTimer*) {
            if (inside.fetch_add(1) != 0) overlapped = true;
            const int n = ++ticks;
            if (n == 1) {
                inFirstTick.Set();
                velk::CallInMainThread(0, [&](std::int32_t) {
                    if (act == Act::Stop) timer->SetEnabled(false);
                    if (act == Act::Restart) {
                        timer->SetEnabled(false);
                        timer->SetInterval(5);
                        timer->SetEnabled(true);
                        std::this_thread::sleep_for(50ms); // the new run's periods pass meanwhile
                    }
                    if (act == Act::DestroyUnderStop) timer.reset();
                });
            }
            inside.fetch_sub(1);
            (n == 1 ? firstEnded : later).Set();
        });
        timer->SetEnabled(true);
        ASSERT_TRUE(inFirstTick.Wait(kGenerous));
        if (act == Act::DestroyUnderStop) timer->SetEnabled(false); // its wait runs the call
        ASSERT_TRUE(ServeCallsUntil(firstEnded));
        EXPECT_TRUE(act != Act::Restart || later.Wait(kGenerous));
        if (act == Act::Stop) {
            std::this_thread::sleep_for(150ms);
            EXPECT_EQ(ticks.load(), 1);
        }
        timer.reset();
        EXPECT_FALSE(overlapped.load());
    }
}

} // namespace
