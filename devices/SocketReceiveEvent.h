#pragma once
// The byte-stream handler shape shared by the link and the drivers' frame assemblers: the
// link calls OnReceive on its receive thread with each payload it delivers in order.

#include <cstdint>

namespace velk {

class TSocketReceiveEvent {
public:
    virtual ~TSocketReceiveEvent() = default;
    // Runs on the link's receive thread; must not block and should not allocate.
    // `Sender` is the object that delivered the bytes (the link or its reorder window).
    virtual void OnReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived) = 0;
};

} // namespace velk
