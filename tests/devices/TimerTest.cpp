// The periodic timer: ticks on its own thread, collapsing of missed periods, the restart rules
// of its setters, and stops from inside the handler and from a main thread serving its calls.

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
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
    std::atomic<int> count{0}, target{1};
    std::vector<Clock::time_point> times; // read only once the timer has stopped
    velk::ManualResetEvent reached;

    void Tick() {
        times.push_back(Clock::now());
        if (count.fetch_add(1) + 1 >= target) reached.Set();
    }
    bool WaitFor(int ticks) {
        target = ticks;
        if (count.load() < ticks) reached.Reset();
        if (count.load() >= ticks) return true;
        return reached.Wait(kGenerous);
    }
    // True when no tick comes while fifteen 10 ms periods pass.
    bool StaysQuiet() {
        const int before = count.load();
        std::this_thread::sleep_for(150ms);
        return count.load() == before;
    }
    void Start(THiResTimer& timer) {
        timer.SetInterval(10);
        timer.SetOnTimer([this](THiResTimer*) { Tick(); });
        timer.SetEnabled(true);
    }
};

TEST(HiResTimer, StartsOnlyOnceEnabledWithAHandler) {
    TickCounter counter;
    THiResTimer timer;
    timer.SetInterval(10);
    timer.SetEnabled(true); // no handler: nothing starts
    timer.SetOnTimer([&](THiResTimer*) { counter.Tick(); });
    EXPECT_TRUE(counter.StaysQuiet()) << "assigning the handler started the timer";
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_TRUE(counter.WaitFor(1));
}

TEST(HiResTimer, IntervalZeroOrNoHandlerStopsTheTicks) {
    for (const bool unassign : {false, true}) {
        SCOPED_TRACE(unassign ? "OnTimer unassigned" : "Interval 0");
        TickCounter counter;
        THiResTimer timer;
        counter.Start(timer);
        ASSERT_TRUE(counter.WaitFor(1));
        if (unassign)
            timer.SetOnTimer(nullptr); // returns once any running tick has ended
        else
            timer.SetInterval(0);
        EXPECT_TRUE(counter.StaysQuiet());
        EXPECT_EQ(timer.Enabled(), !unassign);
        if (!unassign) { // a positive interval starts it again
            timer.SetInterval(10);
            EXPECT_TRUE(counter.WaitFor(counter.count.load() + 2));
        }
    }
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

TEST(HiResTimer, AnExceptionInTheHandlerDoesNotStopTheTicks) {
    TickCounter counter;
    THiResTimer timer;
    timer.SetInterval(10);
    timer.SetOnTimer([&](THiResTimer*) {
        counter.Tick();
        throw std::runtime_error("tick failed");
    });
    timer.SetEnabled(true);
    EXPECT_TRUE(counter.WaitFor(3));
}

TEST(HiResTimer, DisablingFromInsideTheHandlerReturnsAtOnceAndEndsTheTicks) {
    // Declared before the timer: its destructor waits for the last handler, which still
    // touches them after stopping its own timer.
    TickCounter counter;
    velk::ManualResetEvent stopped;
    THiResTimer timer;
    timer.SetInterval(10);
    timer.SetOnTimer([&](THiResTimer* sender) {
        counter.Tick();
        sender->SetEnabled(false); // would wait for itself if it did not know better
        stopped.Set();
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(stopped.Wait(kGenerous));
    EXPECT_FALSE(timer.Enabled());
    EXPECT_TRUE(counter.StaysQuiet());
    EXPECT_EQ(counter.count.load(), 1);
    timer.SetEnabled(true); // and it can be started again
    EXPECT_TRUE(counter.WaitFor(2));
}

TEST(HiResTimer, DestroyingWaitsForAHandlerThatStoppedItsOwnTimer) {
    velk::ManualResetEvent inHandler;
    std::atomic<bool> finished{false};
    {
        THiResTimer timer;
        timer.SetInterval(10);
        timer.SetOnTimer([&](THiResTimer* sender) {
            sender->SetEnabled(false);
            inHandler.Set();
            // Runs only while the main thread serves calls: here, inside the destructor's wait.
            velk::CallInMainThread(0, [](std::int32_t) {});
            finished = true;
        });
        timer.SetEnabled(true);
        ASSERT_TRUE(inHandler.Wait(kGenerous));
    }
    EXPECT_TRUE(finished.load());
    const auto deadline = Clock::now() + kGenerous; // let a faulty run's handler end
    while (!finished.load() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
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
        const auto deadline = Clock::now() + kGenerous;
        while (!firstEnded.IsSet() && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(firstEnded.IsSet());
        if (act == Act::Restart) {
            EXPECT_TRUE(later.Wait(kGenerous));
        }
        if (act == Act::Stop) {
            std::this_thread::sleep_for(150ms);
            EXPECT_EQ(ticks.load(), 1);
        }
        timer.reset();
        EXPECT_FALSE(overlapped.load());
    }
}
