#pragma once
// Collects the byte stream a link delivers through OnReceive, for tests to wait on.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "devices/SocketReceiveEvent.h"

namespace velk::test {

class TStreamRecorder : public TSocketReceiveEvent {
public:
    void OnReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived) override {
        std::lock_guard lock(Mutex_);
        Bytes_.append(reinterpret_cast<const char*>(Buffer),
                      static_cast<std::size_t>(NbByteReceived));
        LastSender_ = Sender;
        Changed_.notify_all();
    }

    // The stream once it holds at least Count bytes, or what it holds when the time-out passes.
    std::string WaitFor(std::size_t Count,
                        std::chrono::milliseconds Timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(Mutex_);
        Changed_.wait_for(lock, Timeout, [&] { return Bytes_.size() >= Count; });
        return Bytes_;
    }

    std::string Bytes() {
        std::lock_guard lock(Mutex_);
        return Bytes_;
    }
    const void* LastSender() {
        std::lock_guard lock(Mutex_);
        return LastSender_;
    }
    void Clear() {
        std::lock_guard lock(Mutex_);
        Bytes_.clear();
    }

private:
    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::string Bytes_;
    const void* LastSender_ = nullptr;
};

} // namespace velk::test
