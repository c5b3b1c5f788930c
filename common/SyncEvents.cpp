#include "common/SyncEvents.h"

namespace velk {

void ManualResetEvent::Set() {
    EventWaker* waker = nullptr;
    {
        // Notified under the lock: a waiter may destroy the event as soon as it sees it set.
        std::lock_guard lock(mutex_);
        set_ = true;
        waker = waker_;
        cv_.notify_all();
    }
    if (waker) waker->Wake();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    return set_.load();
}

bool ManualResetEvent::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return set_.load(); });
}

void ManualResetEvent::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return set_.load(); });
}

void ManualResetEvent::AttachWaker(EventWaker* waker) {
    std::lock_guard lock(mutex_);
    waker_ = waker;
}

void AutoResetEvent::Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    cv_.notify_one();
}

void AutoResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool AutoResetEvent::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return set_; })) return false;
    set_ = false;
    return true;
}

} // namespace velk
