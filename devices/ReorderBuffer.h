#pragma once
// The link's in-order delivery window: 256 slots indexed by the box's sequence number, so
// that box data frames arriving out of order, or twice, reach the reader once and in order.

#include <cstdint>
#include <memory>

#include "devices/SocketReceiveEvent.h"

namespace velk {

class TReorderBuffer {
public:
    static constexpr int NbSlots = 256;
    // A frame d = (s - ExpectedSeq) mod 256 ahead: below AckWindow it is new data, above
    // BehindWindow it was delivered already and is sent again; in between it is ignored
    // (not even acknowledged). Only frames below StoreWindow are kept.
    static constexpr int AckWindow = 80;
    static constexpr int BehindWindow = 110;
    static constexpr int StoreWindow = 90;

    explicit TReorderBuffer(int SlotSize);

    int SlotSize() const { return SlotSize_; }
    int ExpectedSeq() const { return ExpectedSeq_; }

    // Next frame to deliver is number 1, nothing stored.
    void Reset();

    int Distance(std::uint8_t Seq) const { return (Seq - ExpectedSeq_ + NbSlots) % NbSlots; }
    static bool MustAcknowledge(int Distance) {
        return Distance < AckWindow || Distance > BehindWindow;
    }

    enum class TStore { Stored, AlreadyHeld, OutsideWindow, TooLong };
    // Keeps a payload of a frame ahead of the window's start. A payload longer than a slot
    // is not kept; the slot is marked as holding an empty piece so that the stream goes on.
    TStore Store(std::uint8_t Seq, const std::uint8_t* Data, int Len);

    // Hands every frame that is now in order to Deliver(Sender, bytes, length), oldest first.
    template <typename F> void DeliverInOrder(F&& Deliver) {
        while (Used_[ExpectedSeq_]) {
            Deliver(this, Slot(ExpectedSeq_), Lengths_[ExpectedSeq_]);
            Used_[ExpectedSeq_] = false;
            ExpectedSeq_ = (ExpectedSeq_ + 1) % NbSlots;
        }
    }

private:
    std::uint8_t* Slot(int Seq) { return Data_.get() + static_cast<std::size_t>(Seq) * SlotSize_; }

    int ExpectedSeq_ = 1;
    int SlotSize_;
    bool Used_[NbSlots] = {};
    int Lengths_[NbSlots] = {};
    std::unique_ptr<std::uint8_t[]> Data_;
};

} // namespace velk
