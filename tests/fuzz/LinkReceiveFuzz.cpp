// Datagrams from the box into the link's receive side: acknowledgements, box data through the
// reorder window, and anything else. One link serves every input: it is reset through
// ResetLink (the reset acknowledged at once), then takes in-order frames until its window
// starts where the input's first byte says, so that numbers wrapping past 255 are reached.
// A small model of the window says what must happen to each box data frame: acknowledged or
// not, kept or not, and which payload the reader gets next. Only the receive side's two
// errors may be reported.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "devices/EtherLinkUDP.h"
#include "devices/LinkProtocol.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace velk;

namespace {

class SocketlessLink final : public TEtherLinkUDP, private TSocketReceiveEvent {
public:
    SocketlessLink() {
        SetOnReceive(this);
        SetOnLinkError([](const void*, const QString& message) {
            FUZZ_CHECK(message == QLatin1String("Error during reception ! ->Received packet "
                                                "corrupted !") ||
                       message == QLatin1String("Error during reception ! ->Received packet "
                                                "too long !"));
        });
    }
    ~SocketlessLink() override { SetOnReceive(nullptr); }

    // The real reset request, without a socket: the box's acknowledgement is taken in while
    // the request is being sent.
    void Reset() {
        SetActive(true);
        resetting_ = true;
        ResetLink();
        resetting_ = false;
        kept_.fill(false);
        next_ = link::FirstBoxSequence;
    }

    void Receive(const std::uint8_t* Datagram, int Length) {
        current_ = Datagram;
        acknowledged_ = false;
        bool mustAcknowledge = false;
        if (Length >= link::HeaderSize && Datagram[1] == link::FrameBoxData) {
            const std::uint8_t s = Datagram[0];
            const int d = static_cast<std::uint8_t>(s - next_);
            mustAcknowledge = d < TReorderBuffer::AckWindow || d > TReorderBuffer::BehindWindow;
            // The first copy of a frame inside the window is the one kept; a payload too long
            // for its slot reaches the reader as an empty piece.
            if (d < TReorderBuffer::StoreWindow && !kept_[s]) {
                kept_[s] = true;
                if (Length - link::HeaderSize > link::SlotSize)
                    payloads_[s].clear();
                else
                    payloads_[s].assign(Datagram + link::HeaderSize, Datagram + Length);
            }
        }
        DoReceive(this, Datagram, Length);
        FUZZ_CHECK(acknowledged_ == mustAcknowledge);
        // Everything that was in order has been handed on.
        FUZZ_CHECK(!kept_[next_]);
    }

    // Datagrams go here instead of to a socket.
    void SendDatagram(const std::uint8_t* Buffer, std::uint16_t Port, int Len) override {
        FUZZ_CHECK(Port == link::BoxPort && Len == link::HeaderSize);
        if (resetting_) {
            FUZZ_CHECK(Buffer[1] == link::FrameReset);
            const std::uint8_t ack[link::HeaderSize] = {Buffer[0], link::FrameAckLow};
            DoReceive(this, ack, link::HeaderSize);
            return;
        }
        FUZZ_CHECK(Buffer[0] == current_[0] && Buffer[1] == link::FrameBoxData);
        FUZZ_CHECK(!acknowledged_);
        acknowledged_ = true;
    }

protected:
    // Active without a socket: only what the harness hands over is received.
    void DoSetActive(bool /*Value*/) override {}

private:
    void OnReceive(const void* /*Sender*/, const std::uint8_t* Buffer,
                   int NbByteReceived) override {
        FUZZ_CHECK(kept_[next_] && std::equal(Buffer, Buffer + NbByteReceived,
                                              payloads_[next_].begin(), payloads_[next_].end()));
        kept_[next_] = false;
        next_ = static_cast<std::uint8_t>(next_ + 1);
    }

    bool resetting_ = false;
    const std::uint8_t* current_ = nullptr;
    bool acknowledged_ = false;
    // The model: the payload kept for each number, and the number the reader gets next.
    std::array<bool, TReorderBuffer::NbSlots> kept_{};
    std::array<std::vector<std::uint8_t>, TReorderBuffer::NbSlots> payloads_;
    std::uint8_t next_ = link::FirstBoxSequence;
};

} // namespace

// Byte 0: in-order frames taken first. Then datagrams, each behind two bytes: with the top
// bit clear, the next (value) input bytes as they are; with it set, (value & 0x3FFF) copies of
// the next byte, which reaches payloads longer than a slot.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1) return 0;
    static SocketlessLink link;
    link.Reset();
    std::uint8_t sequence = link::FirstBoxSequence;
    for (int i = 0; i < Data[0]; ++i, ++sequence) {
        const std::uint8_t frame[] = {sequence, link::FrameBoxData, sequence};
        link.Receive(frame, sizeof frame);
    }

    static std::vector<std::uint8_t> filled;
    std::size_t at = 1;
    while (at + 2 <= Size) {
        const unsigned header = Data[at] << 8 | Data[at + 1];
        at += 2;
        if (header & 0x8000) {
            if (at >= Size) break;
            filled.assign(header & 0x3FFF, Data[at++]);
            link.Receive(filled.data(), static_cast<int>(filled.size()));
        } else {
            const std::size_t length = std::min<std::size_t>(header, Size - at);
            link.Receive(Data + at, static_cast<int>(length));
            at += length;
        }
    }
    return 0;
}
