#pragma once
// Event objects with manual or automatic reset and a timed wait, the way the device threads
// signal each other (acknowledgements, replies, timer ticks, thread ends).

#include <chrono>
#include <condition_variable>
#include <mutex>

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
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
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

// Something that waits on several sources at once and must be woken when one changes.
class EventWaker {
public:
    virtual ~EventWaker() = default;
    virtual void Wake() = 0;
};

} // namespace velk
