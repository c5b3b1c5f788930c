#include "devices/HiresTim.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

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
// share. Owned jointly by the timer's state and the handler thread, so a thread that was
// stopped without waiting can finish after the timer has moved on or gone.
struct THiResTimer::TRun {
    AutoResetEvent TickEvent;
    ManualResetEvent DoneEvent;
    std::atomic<bool> Terminated{false};
    std::thread TimerThread;
    std::thread::id WorkerId; // set by the starter, kept once the thread is detached

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

struct THiResTimer::TState {
    std::atomic<bool> Enabled{false};
    std::atomic<int> Interval{1000};
    std::atomic<int> Resolution{100};
    std::mutex HandlerLock; // OnTimer is read by the timer thread, written by the caller
    TNotifyEvent OnTimer;
    // Held by a handler thread while OnTimer runs, so the handler of a run started while a
    // stopped run's handler is still finishing waits for it: ticks never overlap.
    std::mutex TickLock;

    std::recursive_mutex Lock; // serialises starts and stops; guards the members below
    std::shared_ptr<TRun> Run; // the running timer, none when stopped
    // Runs stopped without waiting, whose threads may still be finishing their handler.
    std::vector<std::shared_ptr<TRun>> Detached;
    bool Destroyed = false; // the component is gone or going: nothing starts any more

    // Under Lock. The handler threads of every run not known to have ended.
    std::vector<std::thread::id> Workers() const {
        std::vector<std::thread::id> workers;
        if (Run) workers.push_back(Run->WorkerId);
        for (const auto& run : Detached)
            if (!run->DoneEvent.IsSet()) workers.push_back(run->WorkerId);
        return workers;
    }

    // Under Lock. Waiting for a handler of this timer cannot end when the caller is one of
    // its handler threads (a handler holds TickLock, which the others need) or when the main
    // thread runs a call that one of them is blocked on.
    bool CannotWait() const {
        const auto self = std::this_thread::get_id();
        const auto blocks = [self](const std::shared_ptr<TRun>& run) {
            return run->WorkerId == self || RunningCallOf(run->WorkerId);
        };
        return (Run && blocks(Run)) || std::any_of(Detached.begin(), Detached.end(), blocks);
    }

    // Under Lock. Waits for `run`'s thread to end, serving the calls of every handler thread
    // of this timer meanwhile (the stopped one may wait for a detached one's TickLock).
    void WaitForEnd(TRun& run) const {
        const std::vector<std::thread::id> workers = Workers();
        while (!WaitPumping(run.DoneEvent, workers, kLongWait)) {
        }
    }

    void Stop() {
        if (!Run) return;
        const std::shared_ptr<TRun> run = std::move(Run);
        Run.reset();
        run->StopSignaller();
        run->Terminated = true;
        run->TickEvent.Set();
        std::erase_if(Detached, [](const auto& r) { return r->DoneEvent.IsSet(); });
        Detached.push_back(run);
        if (CannotWait()) {
            // The thread ends by itself once its handler returns.
            run->TimerThread.detach();
            return;
        }
        WaitForEnd(*run);
        std::erase(Detached, run); // calls run by the wait may have changed the list
        run->TimerThread.join();
    }

    void Start(THiResTimer* owner, const std::shared_ptr<TState>& self) {
        Stop(); // a call run by a stop's wait may have started one meanwhile
        auto run = std::make_shared<TRun>();
        try {
            run->TimerThread = std::thread([owner, self, run] { ThreadLoop(owner, *self, *run); });
        } catch (const std::system_error&) {
            throw EHiResTimer(kOutOfResources);
        }
        run->WorkerId = run->TimerThread.get_id();
        Run = run;
        try {
            const std::chrono::milliseconds period(Interval.load());
            run->Signaller = std::thread([run, period] { run->Signal(period); });
        } catch (const std::system_error&) {
            Stop();
            throw EHiResTimer(kOutOfResources);
        }
    }

    // The handler thread. It uses only the state and its run: Owner is merely handed to the
    // handler as Sender.
    static void ThreadLoop(THiResTimer* owner, TState& state, TRun& run) {
        RaiseThreadPriority(1);
        while (!run.Terminated) {
            while (!run.TickEvent.Wait(kLongWait)) {
            }
            if (run.Terminated) break;
            std::lock_guard tick(state.TickLock);
            if (run.Terminated) break;
            TNotifyEvent handler;
            {
                std::lock_guard lock(state.HandlerLock);
                handler = state.OnTimer;
            }
            try {
                if (handler) handler(owner);
            } catch (...) {
                // The handler reports what it wants reported; a failing tick never ends the
                // timer.
            }
        }
        run.DoneEvent.Set();
    }
};

THiResTimer::THiResTimer() : State_(std::make_shared<TState>()) {}

THiResTimer::~THiResTimer() {
    const std::shared_ptr<TState> state = State_; // a stop further down the stack shares it
    std::lock_guard lock(state->Lock);
    state->Destroyed = true;
    state->Enabled = false;
    try {
        state->Stop();
    } catch (...) {
        // A failing stop must not escape a destructor.
    }
    if (state->CannotWait()) return; // those handlers end by themselves, holding the state
    for (const auto& run : state->Detached)
        state->WaitForEnd(*run);
    state->Detached.clear();
}

bool THiResTimer::Enabled() const {
    return State_->Enabled.load();
}
int THiResTimer::Interval() const {
    return State_->Interval.load();
}
int THiResTimer::Resolution() const {
    return State_->Resolution.load();
}

void THiResTimer::SetEnabled(bool Value) {
    if (State_->Enabled.exchange(Value) != Value) UpdateTimer(State_, this);
}

void THiResTimer::SetInterval(int Value) {
    if (State_->Interval.exchange(Value) != Value) UpdateTimer(State_, this);
}

void THiResTimer::SetResolution(int Value) {
    if (State_->Resolution.exchange(Value) != Value) UpdateTimer(State_, this);
}

void THiResTimer::SetOnTimer(TNotifyEvent Handler) {
    if (!Handler) SetEnabled(false);
    std::lock_guard lock(State_->HandlerLock);
    State_->OnTimer = std::move(Handler);
}

void THiResTimer::UpdateTimer(const std::shared_ptr<TState>& State, THiResTimer* Owner) {
    // A copy: the timer may be destroyed by a call the stop's wait runs, and this frame must
    // still find its state when the wait returns.
    const std::shared_ptr<TState> state = State;
    std::lock_guard lock(state->Lock);
    state->Stop();
    bool assigned;
    {
        std::lock_guard handlerLock(state->HandlerLock);
        assigned = static_cast<bool>(state->OnTimer);
    }
    if (!state->Destroyed && state->Interval.load() > 0 && state->Enabled.load() && assigned)
        state->Start(Owner, state);
}

} // namespace velk
