#include "devices/ReorderBuffer.h"

#include <algorithm>
#include <cstring>

#include "devices/LinkProtocol.h"

namespace velk {

TReorderBuffer::TReorderBuffer(int SlotSize)
    : SlotSize_(SlotSize),
      Data_(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(SlotSize) * NbSlots)) {
    Reset();
}

void TReorderBuffer::Reset() {
    ExpectedSeq_ = link::FirstBoxSequence;
    std::fill(std::begin(Used_), std::end(Used_), false);
}

TReorderBuffer::TStore TReorderBuffer::Store(std::uint8_t Seq, const std::uint8_t* Data, int Len) {
    if (Distance(Seq) >= StoreWindow) return TStore::OutsideWindow;
    if (Used_[Seq]) return TStore::AlreadyHeld;
    const bool tooLong = Len > SlotSize_;
    if (!tooLong && Len > 0) std::memcpy(Slot(Seq), Data, static_cast<std::size_t>(Len));
    Lengths_[Seq] = tooLong ? 0 : Len;
    Used_[Seq] = true;
    return tooLong ? TStore::TooLong : TStore::Stored;
}

} // namespace velk
