#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/SyncEvents.h"
#include "common/ThreadSynchronize.h"
#include "tests/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// Runs the main thread's event loop until `done` is set (bounded, so a fault fails the test
// instead of hanging it).
bool SpinUntil(velk::ManualResetEvent& done) {
    return velk::test::Eventually([&] { return done.IsSet(); });
}

TEST(MainThreadCalls, RunOnTheMainThreadAtOnceWhenMadeThere) {
    const auto mainId = std::this_thread::get_id();
    std::vector<int> order;
    velk::CallInMainThread(-1,
                           [&](std::int32_t p) { order.push_back(p); }); // would wait for itself
    bool wrongThread = false;
    velk::ManualResetEvent finished;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            velk::CallInMainThread(i, [&](std::int32_t p) {
                wrongThread |= std::this_thread::get_id() != mainId;
                order.push_back(p);
            });
        finished.Set();
    });
    ASSERT_TRUE(SpinUntil(finished));
    worker.join();
    EXPECT_EQ(order, (std::vector{-1, 0, 1, 2}));
    EXPECT_FALSE(wrongThread);
}

TEST(MainThreadCalls, CallsOfTwoWorkersQueuedWhileTheMainThreadIsBusyRunInArrivalOrder) {
#if defined(__SANITIZE_THREAD__)
    // The wake-ups are delivered here before their calls run, and Qt's hand-over of a posted
    // event is invisible to ThreadSanitizer: it would report the event's deletion.
    GTEST_SKIP() << "not under ThreadSanitizer";
#endif
    struct PostedWakeUps : QObject { // one per queued call
        int count = 0;
        bool eventFilter(QObject* receiver, QEvent* event) override {
            count += event->type() >= QEvent::User && !receiver->isWidgetType();
            return false;
        }
    } posted;
    std::string order;
    std::vector<std::thread> workers;
    velk::ManualResetEvent finished;
    std::thread busy([&] {
        // Inside this call the main thread runs no queued call, whatever events it handles.
        velk::CallInMainThread(0, [&](std::int32_t) {
            QCoreApplication::instance()->installEventFilter(&posted);
            for (const char name : {'a', 'b'}) {
                workers.emplace_back([&order, name] {
                    velk::CallInMainThread(0, [&order, name](std::int32_t) { order += name; });
                });
                EXPECT_TRUE(
                    velk::test::Eventually([&] { return posted.count >= int(workers.size()); }));
            }
            QCoreApplication::instance()->removeEventFilter(&posted);
            EXPECT_EQ(order, "") << "a queued call ran inside another";
        });
        for (std::thread& worker : workers)
            worker.join();
        finished.Set();
    });
    ASSERT_TRUE(SpinUntil(finished));
    busy.join();
    EXPECT_EQ(order, "ab");
}

TEST(MainThreadCalls, RunWhileAModalDialogIsOpen) {
    QDialog dialog;
    bool ranDuringDialog = false;
    std::thread worker;
    QTimer::singleShot(0, &dialog, [&] {
        worker = std::thread([&] {
            velk::CallInMainThread(0, [&](std::int32_t) { ranDuringDialog = dialog.isVisible(); });
            velk::CallInMainThread(0, [&](std::int32_t) { dialog.reject(); });
        });
    });
    QTimer::singleShot(20000, &dialog, &QDialog::reject); // bound a faulty run
    dialog.exec();
    worker.join();
    EXPECT_TRUE(ranDuringDialog);
}

// Without running the worker's calls this wait would never see the worker end; another
// worker's call waits for the event loop.
TEST(MainThreadCalls, WaitPumpingRunsOnlyTheCallsOfTheWorkerItWaitsForUntilItsTimeOut) {
    velk::ManualResetEvent workerEnded, otherDone, never;
    int calls = 0, knownAsTheWorkers = 0;
    bool otherRan = false;
    std::thread other([&] {
        velk::CallInMainThread(0, [&](std::int32_t) { otherRan = true; });
        otherDone.Set();
    });
    std::thread worker([&] {
        const auto self = std::this_thread::get_id();
        for (int i = 0; i < 3; ++i)
            velk::CallInMainThread(0, [&](std::int32_t) {
                ++calls;
                knownAsTheWorkers += velk::RunningCallOf(self);
            });
        workerEnded.Set();
    });
    EXPECT_TRUE(velk::WaitPumping(workerEnded, worker.get_id(), 20s));
    EXPECT_FALSE(velk::RunningCallOf(worker.get_id()));
    worker.join();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(knownAsTheWorkers, 3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(velk::WaitPumping(never, std::this_thread::get_id(), 100ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_FALSE(otherRan);
    ASSERT_TRUE(SpinUntil(otherDone));
    other.join();
    EXPECT_TRUE(otherRan);
}

TEST(Events, AutoResetConsumesOneSignalManualResetStaysSet) {
    velk::AutoResetEvent tick;
    EXPECT_FALSE(tick.Wait(1ms));
    tick.Set();
    tick.Set();
    EXPECT_TRUE(tick.Wait(1ms));
    EXPECT_FALSE(tick.Wait(1ms)); // two sets before a wait collapse into one
    velk::ManualResetEvent ack;
    ack.Set();
    EXPECT_TRUE(ack.Wait(1ms));
    EXPECT_TRUE(ack.Wait(1ms));
    ack.Reset();
    EXPECT_FALSE(ack.Wait(1ms));
}

} // namespace
