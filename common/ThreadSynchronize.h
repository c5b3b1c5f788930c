#pragma once
// Main-thread call service: a worker hands a method and a 32-bit argument to the main (GUI)
// thread and blocks until the main thread has run it. Any Qt event loop on the main thread
// (the application's, a modal dialog's, a local one inside a network wait) runs the calls,
// one at a time and in the order they arrive.

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace velk {

class ManualResetEvent;

using ThreadMethod = std::function<void(std::int32_t)>;

// Creates the service on the calling thread, which becomes "the main thread". Needs a
// QCoreApplication. Calling it again is harmless.
void CreateThreadCallWindow();

// Ends the service: calls still queued, and calls made from now on, return without running
// so that no worker stays blocked on a main thread that no longer serves them.
void DestroyThreadCallWindow();

bool IsMainThread();

// Runs Method(Param) on the main thread and returns 0 once it has run. Made on the main
// thread, the call runs at once. An exception escaping Method is dropped.
int CallInMainThread(std::int32_t Param, const ThreadMethod& Method);

// Main thread only: waits until `event` is set or `timeout` passes, and meanwhile runs the
// calls that `worker` makes (only those). True when the event was set. This is how the main
// thread waits for a worker that may itself be waiting in CallInMainThread.
bool WaitPumping(ManualResetEvent& event, std::thread::id worker,
                 std::chrono::milliseconds timeout);
// The same for several workers: the calls of any of them run.
bool WaitPumping(ManualResetEvent& event, const std::vector<std::thread::id>& workers,
                 std::chrono::milliseconds timeout);

// Main thread only: true while the main thread is running, at any depth of nesting, a call
// that `worker` made. Such a worker stays blocked until the main thread returns from the
// call, so the main thread must not wait for it.
bool RunningCallOf(std::thread::id worker);

} // namespace velk
