#pragma once
// Collects one instrument reply frame out of the link's byte stream: a start byte restarts
// collection, an end byte hands the collected content on. Runs on the link's receive thread,
// so it never allocates and never stores more than its fixed capacity.

#include <cstdint>

#include "devices/SocketReceiveEvent.h"

namespace velk {

class TFrameAssembler final : public TSocketReceiveEvent {
public:
    static constexpr int kCapacity = 200;

    // `handler` receives the content of each complete frame (1..kCapacity bytes).
    TFrameAssembler(std::uint8_t startByte, std::uint8_t endByte, TSocketReceiveEvent* handler)
        : start_(startByte), end_(endByte), handler_(handler) {}

    void OnReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived) override;

    // kWaiting between frames, kDiscarding while skipping the rest of an overlong frame,
    // otherwise the number of bytes collected so far.
    static constexpr int kWaiting = -1;
    static constexpr int kDiscarding = -2;
    int Count() const { return count_; }

private:
    const std::uint8_t start_;
    const std::uint8_t end_;
    TSocketReceiveEvent* const handler_;
    int count_ = 0;
    std::uint8_t buffer_[kCapacity] = {};
};

} // namespace velk
