#include "devices/HiresTim.h"

#include <chrono>
#include <condition_variable>
#include <string>
#include <system_error>
#include <thread>

#include <pthread.h>
#include <sched.h>

#include "common/SyncEvents.h"
#include "common/ThreadSynchronize.h"

namespace velk {

namespace {

const std::string kOutOfResources = "Unable to create a timer: Out of resources!";

// "Without limit" waits are made of long bounded ones so a wait never overflows a deadline.
constexpr std::chrono::hours kLongWait{1};

// Best effort: without the right to raise priorities the thread keeps the one it has.
void RaiseThreadPriority(int stepsBelowMax) {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO) - stepsBelowMax;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace

// One start of the timer: the periodic signaller, the handler thread and the two events they
// share. Owned jointly by the component and the handler thread, so a thread that was stopped
// from inside its own handler can finish after the component has moved on or gone.
struct THiResTimer::TRun {
    AutoResetEvent TickEvent;
    ManualResetEvent DoneEvent;
    std::atomic<bool> Terminated{false};
    std::thread TimerThread;
    std::thread::id WorkerId; // kept once the thread is detached

    std::mutex SignalMutex;
    std::condition_variable SignalWake;
    bool SignalStop = false;
    std::thread Signaller;

    // The periodic signal: its only action is to set TickEvent, on a fixed phase.
    void Signal(std::chrono::milliseconds period) {
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(SignalMutex);
        while (!SignalWake.wait_until(lock, next, [this] { return SignalStop; })) {
            TickEvent.Set();
            const auto now = std::chrono::steady_clock::now();
            while (next <= now)
                next += period;
        }
    }

    void StopSignaller() {
        {
            std::lock_guard lock(SignalMutex);
            SignalStop = true;
        }
        SignalWake.notify_all();
        if (Signaller.joinable()) Signaller.join();
    }
};

namespace {
// The run whose handler thread is the current thread, if any.
thread_local const void* t_currentRun = nullptr;
} // namespace

THiResTimer::THiResTimer() = default;

THiResTimer::~THiResTimer() {
    enabled_ = false;
    try {
        UpdateTimer();
    } catch (...) {
        // A failing stop must not escape a destructor; nothing is left running either way.
    }
    std::lock_guard lock(lock_);
    for (const auto& run : detached_) {
        if (t_currentRun == run.get()) continue; // destroyed from inside that very handler
        while (!WaitPumping(run->DoneEvent, run->WorkerId, kLongWait)) {
        }
    }
}

void THiResTimer::SetEnabled(bool Value) {
    if (enabled_.exchange(Value) != Value) UpdateTimer();
}

void THiResTimer::SetInterval(int Value) {
    if (interval_.exchange(Value) != Value) UpdateTimer();
}

void THiResTimer::SetResolution(int Value) {
    if (resolution_.exchange(Value) != Value) UpdateTimer();
}

void THiResTimer::SetOnTimer(TNotifyEvent Handler) {
    if (!Handler) SetEnabled(false);
    std::lock_guard lock(handlerLock_);
    onTimer_ = std::move(Handler);
}

void THiResTimer::UpdateTimer() {
    std::lock_guard lock(lock_);
    StopTimer();
    bool assigned;
    {
        std::lock_guard handlerLock(handlerLock_);
        assigned = static_cast<bool>(onTimer_);
    }
    if (interval_.load() > 0 && enabled_.load() && assigned) StartTimer();
}

void THiResTimer::StopTimer() {
    if (!run_) return;
    const std::shared_ptr<TRun> run = std::move(run_);
    run_.reset();
    run->StopSignaller();
    run->Terminated = true;
    run->TickEvent.Set();
    std::erase_if(detached_, [](const std::shared_ptr<TRun>& r) { return r->DoneEvent.IsSet(); });
    if (t_currentRun == run.get()) {
        // Stopped from inside OnTimer: the thread ends by itself once the handler returns.
        run->WorkerId = run->TimerThread.get_id();
        run->TimerThread.detach();
        detached_.push_back(run);
        return;
    }
    const std::thread::id worker = run->TimerThread.get_id();
    while (!WaitPumping(run->DoneEvent, worker, kLongWait)) {
    }
    run->TimerThread.join();
}

void THiResTimer::StartTimer() {
    auto run = std::make_shared<TRun>();
    try {
        run->TimerThread = std::thread([this, run] { TimerThreadLoop(this, run); });
    } catch (const std::system_error&) {
        throw EHiResTimer(kOutOfResources);
    }
    run_ = run;
    try {
        const std::chrono::milliseconds period(interval_.load());
        run->Signaller = std::thread([run, period] { run->Signal(period); });
    } catch (const std::system_error&) {
        StopTimer();
        throw EHiResTimer(kOutOfResources);
    }
}

void THiResTimer::TimerThreadLoop(THiResTimer* owner, const std::shared_ptr<TRun>& run) {
    t_currentRun = run.get();
    RaiseThreadPriority(1);
    // The owner is used only while the run is not terminated: a run stopped from inside its
    // own handler may outlive the component.
    while (!run->Terminated) {
        while (!run->TickEvent.Wait(kLongWait)) {
        }
        if (run->Terminated) break;
        TNotifyEvent handler;
        {
            std::lock_guard lock(owner->handlerLock_);
            handler = owner->onTimer_;
        }
        try {
            if (handler) handler(owner);
        } catch (...) {
            // The handler reports what it wants reported; a failing tick never ends the timer.
        }
    }
    run->DoneEvent.Set();
}

} // namespace velk
