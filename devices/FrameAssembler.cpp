#include "devices/FrameAssembler.h"

namespace velk {

void TFrameAssembler::OnReceive(const void* /*Sender*/, const std::uint8_t* Buffer,
                                int NbByteReceived) {
    for (int i = 0; i < NbByteReceived; ++i) {
        const std::uint8_t b = Buffer[i];
        if (b == start_) {
            count_ = 0;
        } else if (b == end_) {
            if (count_ > 0 && handler_) handler_->OnReceive(this, buffer_, count_);
            count_ = kWaiting;
        } else if (count_ == kDiscarding) {
            // the rest of an overlong frame: its tail is no reply of its own
        } else if (count_ < 0) {
            // A stray byte between frames opens a collection of its own, without being kept.
            count_ = 0;
        } else if (count_ < kCapacity) {
            buffer_[count_++] = b;
        } else {
            count_ = kDiscarding; // longer than any reply: the whole frame is dropped
        }
    }
}

} // namespace velk
