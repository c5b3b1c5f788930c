#include "common/ThreadSynchronize.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QtGlobal>

#include "common/SyncEvents.h"

namespace velk {

namespace {

const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::User + 0x0FFF);

struct CallOrder {
    const ThreadMethod* method;
    std::int32_t param;
    std::thread::id caller;
    ManualResetEvent done;
};

void RunGuarded(const CallOrder& order) {
    try {
        (*order.method)(order.param);
    } catch (const std::exception& e) {
        qWarning("Call on the main thread failed: %s", e.what());
    } catch (...) {
        qWarning("Call on the main thread failed");
    }
}

class CallService final : public QObject, public EventWaker {
public:
    bool event(QEvent* e) override {
        if (e->type() != kCallEvent) return QObject::event(e);
        Drain();
        return true;
    }

    void Wake() override {
        std::lock_guard lock(mutex_);
        cv_.notify_all();
    }

    void Enqueue(CallOrder* order) {
        {
            std::lock_guard lock(mutex_);
            if (closed_) {
                order->done.Set();
                return;
            }
            queue_.push_back(order);
            cv_.notify_all();
        }
        QCoreApplication::postEvent(this, new QEvent(kCallEvent));
    }

    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        for (CallOrder* order : queue_)
            order->done.Set();
        queue_.clear();
    }

    bool WaitFor(ManualResetEvent& event, const std::vector<std::thread::id>& workers,
                 std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        const auto served = [&workers](const CallOrder* o) {
            return std::find(workers.begin(), workers.end(), o->caller) != workers.end();
        };
        event.AttachWaker(this);
        bool result = false;
        for (;;) {
            CallOrder* order = nullptr;
            {
                std::unique_lock lock(mutex_);
                auto ready = [&] {
                    if (event.IsSet()) return true;
                    return std::any_of(queue_.begin(), queue_.end(), served);
                };
                if (!cv_.wait_until(lock, deadline, ready)) break;
                if (event.IsSet()) {
                    result = true;
                    break;
                }
                const auto it = std::find_if(queue_.begin(), queue_.end(), served);
                order = *it;
                queue_.erase(it);
            }
            Run(*order);
        }
        event.AttachWaker(nullptr);
        return result;
    }

    // Main thread only.
    bool Running(std::thread::id worker) const {
        return std::find(callers_.begin(), callers_.end(), worker) != callers_.end();
    }

private:
    void Drain() {
        // A call that runs a nested event loop must not have the next call run inside it.
        if (running_) return;
        running_ = true;
        for (;;) {
            CallOrder* order = nullptr;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) break;
                order = queue_.front();
                queue_.pop_front();
            }
            Run(*order);
        }
        running_ = false;
    }

    void Run(CallOrder& order) {
        callers_.push_back(order.caller);
        RunGuarded(order);
        callers_.pop_back();
        order.done.Set();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<CallOrder*> queue_;
    bool closed_ = false;
    bool running_ = false;                 // main thread only
    std::vector<std::thread::id> callers_; // main thread only: makers of the calls running
};

CallService* g_service = nullptr;
std::thread::id g_mainThread;

} // namespace

void CreateThreadCallWindow() {
    if (g_service) return;
    g_mainThread = std::this_thread::get_id();
    g_service = new CallService;
}

void DestroyThreadCallWindow() {
    if (!g_service) return;
    g_service->Close();
    // The object itself stays: a worker may still be between its check and its enqueue.
}

bool IsMainThread() {
    return g_service && std::this_thread::get_id() == g_mainThread;
}

int CallInMainThread(std::int32_t Param, const ThreadMethod& Method) {
    if (!g_service || std::this_thread::get_id() == g_mainThread) {
        CallOrder order{&Method, Param, std::this_thread::get_id(), {}};
        RunGuarded(order);
        return 0;
    }
    CallOrder order{&Method, Param, std::this_thread::get_id(), {}};
    g_service->Enqueue(&order);
    order.done.Wait();
    return 0;
}

bool WaitPumping(ManualResetEvent& event, std::thread::id worker,
                 std::chrono::milliseconds timeout) {
    return WaitPumping(event, std::vector<std::thread::id>{worker}, timeout);
}

bool WaitPumping(ManualResetEvent& event, const std::vector<std::thread::id>& workers,
                 std::chrono::milliseconds timeout) {
    if (!g_service || !IsMainThread()) return event.Wait(timeout);
    return g_service->WaitFor(event, workers, timeout);
}

bool RunningCallOf(std::thread::id worker) {
    return IsMainThread() && g_service->Running(worker);
}

} // namespace velk
