#pragma once
// THiResTimer: a periodic timer whose handler runs on its own worker thread, so slow device
// transactions never block the user interface; periods that elapse while the handler runs
// collapse into one pending tick.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/Errors.h"

namespace velk {

class EHiResTimer : public Exception {
public:
    using Exception::Exception;
};

class THiResTimer {
public:
    using TNotifyEvent = std::function<void(THiResTimer* Sender)>;

    THiResTimer();
    ~THiResTimer();
    THiResTimer(const THiResTimer&) = delete;
    THiResTimer& operator=(const THiResTimer&) = delete;

    // Each setter restarts the timer only when the value changes. Stopping from another thread
    // waits for a running OnTimer call; on the main thread that wait keeps running the calls
    // the handler sends to the main thread. Stopping from inside OnTimer does not wait; the
    // destructor then waits for that handler to return (unless it runs inside it).
    bool Enabled() const { return enabled_.load(); }
    void SetEnabled(bool Value);
    int Interval() const { return interval_.load(); }
    void SetInterval(int Value);
    // Kept for callers that tune it; the steady clock behind the period is finer than any
    // resolution asked, so it changes nothing but the restart.
    int Resolution() const { return resolution_.load(); }
    void SetResolution(int Value);
    // Unassigning the handler stops the timer first; assigning one never starts it.
    void SetOnTimer(TNotifyEvent Handler);

private:
    struct TRun;

    void UpdateTimer();
    void StopTimer();
    void StartTimer();
    static void TimerThreadLoop(THiResTimer* owner, const std::shared_ptr<TRun>& run);

    std::atomic<bool> enabled_{false};
    std::atomic<int> interval_{1000};
    std::atomic<int> resolution_{100};
    std::mutex handlerLock_; // OnTimer is read by the timer thread, written by the caller
    TNotifyEvent onTimer_;
    std::recursive_mutex lock_; // serialises starts and stops
    std::shared_ptr<TRun> run_; // the running timer, none when stopped
    // Runs stopped from inside their own handler, whose thread may still be finishing the
    // handler; the destructor waits for them so no handler outlives the component.
    std::vector<std::shared_ptr<TRun>> detached_;
};

} // namespace velk
