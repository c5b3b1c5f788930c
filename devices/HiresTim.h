#pragma once
// THiResTimer: a periodic timer whose handler runs on its own worker thread, so slow device
// transactions never block the user interface; periods that elapse while the handler runs
// collapse into one pending tick.

#include <functional>
#include <memory>

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
    // the handler sends to the main thread. A stop does not wait when it cannot end: asked
    // from inside OnTimer, or by the main thread from inside a call that a handler of this
    // timer is blocked on; the handler then finishes by itself and no later tick of the
    // stopped run follows. Handlers never overlap, across restarts either.
    bool Enabled() const;
    void SetEnabled(bool Value);
    int Interval() const;
    void SetInterval(int Value);
    // Kept for callers that tune it; the steady clock behind the period is finer than any
    // resolution asked, so it changes nothing but the restart.
    int Resolution() const;
    void SetResolution(int Value);
    // Unassigning the handler stops the timer first; assigning one never starts it.
    void SetOnTimer(TNotifyEvent Handler);

    // The destructor waits for every handler still running, except one it cannot wait for
    // (see above): that handler finishes on its own and touches none of the timer's state
    // after the destructor, which is also safe while a stop of this timer is in progress
    // further down the same thread's stack.

private:
    struct TRun;
    struct TState;

    static void UpdateTimer(const std::shared_ptr<TState>& State, THiResTimer* Owner);

    // Shared with the handler threads and with every stop in progress, so neither ever
    // touches a freed timer.
    std::shared_ptr<TState> State_;
};

} // namespace velk
