#pragma once
// Event objects with manual or automatic reset and a timed wait, the way the device threads
// signal each other (acknowledgements, replies, timer ticks, thread ends).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velk {

class EventWaker;

class ManualResetEvent {
public:
    ManualResetEvent() = default;
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event was (or became) set within the time-out.
    bool Wait(std::chrono::milliseconds timeout);
    void Wait();

    // A waker is told whenever the event becomes set; the main-thread call service uses it to
    // wait for this event while still running queued calls.
    void AttachWaker(EventWaker* waker);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    // Written under the lock; read without it by IsSet, which waiters watch in a loop.
    std::atomic<bool> set_{false};
    EventWaker* waker_ = nullptr;
};

class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    void Reset();
    // Consumes the signal: true when it was (or became) set within the time-out.
    bool Wait(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
};

// Waits until `done()` holds or `timeout` from now has passed; true when it held. `done` is
// watched for `watch` first: an answer that usually comes within microseconds then costs no
// thread wake-up, which on a busy machine costs as much as a whole round trip. Then `event`,
// set by whoever makes `done` true, is slept on; set while `done` is still false (by a stale
// answer) it is reset and slept on again.
template <class Done>
bool WatchThenWait(const Done& done, ManualResetEvent& event, std::chrono::microseconds watch,
                   std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    while (Clock::now() - start < watch) {
        if (done()) return true;
        std::this_thread::yield();
    }
    const auto deadline = start + timeout;
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) return done();
        event.Wait(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        if (done()) return true;
        event.Reset();
        // A second look catches an answer that came between the first look and the reset.
        if (done()) return true;
    }
}

// Something that waits on several sources at once and must be woken when one changes.
class EventWaker {
public:
    virtual ~EventWaker() = default;
    virtual void Wake() = 0;
};

} // namespace velk
