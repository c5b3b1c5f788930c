#pragma once
// The request/acknowledge link to the interface box: numbered requests sent again until
// acknowledged, and the box's numbered data frames acknowledged and delivered in order.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include <QString>

#include "common/SyncEvents.h"
#include "devices/LinkProtocol.h"
#include "devices/PortClaim.h"
#include "devices/ReorderBuffer.h"
#include "devices/UDPSocketComponent.h"

namespace velk {

// Link-level failures; the message is shown to the operator unchanged.
class EEtherLinkError : public ESocketUDPError {
public:
    using ESocketUDPError::ESocketUDPError;
};

class TEtherLinkUDP : public TUDPComponent {
public:
    // Reports an error met while a received datagram was handled (on the receive thread).
    using TLinkErrorEvent = std::function<void(const void* Sender, const QString& Message)>;

    TEtherLinkUDP();
    ~TEtherLinkUDP() override;

    // Tells the box to number its data from 1 again and empties the reorder window. A shorter
    // handshake than the usual MaxSends sends gives up sooner on a box that is away.
    void ResetLink(int MaxSends = link::MaxSends);
    // Sends an instrument command (at most 114 bytes) and returns once the box acknowledged
    // it; the instrument's reply arrives through OnReceive.
    void SendCommand(const std::uint8_t* Buffer, int Len);
    // Sends data for the box itself, acknowledged the same way.
    virtual void SendData(const std::uint8_t* Buffer, int Len);

    // Sequence number of the last request sent.
    std::uint8_t Sequence() const { return Sequence_.load(); }
    // Requests sent again for want of a timely acknowledgement, since the link was made.
    std::uint64_t Retransmissions() const {
        return Retransmissions_.load(std::memory_order_relaxed);
    }

    // When a datagram last came from the box (an acknowledgement or data, in order or not);
    // the moment of activation before any has come.
    std::chrono::steady_clock::time_point LastHeard() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(LastHeard_.load()));
    }
    // Box data frames refused as already delivered or far outside the window, since the link
    // was made: a box that has restarted numbers its frames from 1 again, and they all land here.
    std::uint64_t RefusedFrames() const { return RefusedFrames_.load(std::memory_order_relaxed); }

    void SetOnLinkError(TLinkErrorEvent Handler);

protected:
    void DoSetActive(bool Value) override;
    void DoReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived) override;

private:
    void Request(std::uint8_t Type, const std::uint8_t* Buffer, int Len,
                 int MaxSends = link::MaxSends);
    // True when the request numbered Sequence was acknowledged within the time-out.
    bool WaitAcknowledgement(std::uint8_t Sequence);
    void ReceiveBoxData(const std::uint8_t* Buffer, int NbByteReceived);
    void ReportLinkError(const QString& Message);

    static constexpr std::chrono::microseconds AckWatch{200};

    ManualResetEvent AckEvent_;
    // Number carried by the acknowledgement of the pending request, once it has come.
    static constexpr int NoAcknowledgement = -1;
    std::atomic<int> AckedSequence_{NoAcknowledgement};
    std::atomic<std::uint8_t> Sequence_{128};
    std::atomic<std::uint64_t> Retransmissions_{0};
    std::atomic<std::chrono::steady_clock::rep> LastHeard_{0};
    std::atomic<std::uint64_t> RefusedFrames_{0};
    // Guards the reorder window: the receive thread fills and empties it, ResetLink clears it.
    std::mutex ReorderMutex_;
    TReorderBuffer Reorder_;
    std::mutex LinkErrorMutex_;
    TLinkErrorEvent OnLinkError_;
    // Held while active. The socket binds with SO_REUSEADDR (the box simulator binds the same
    // port on 127.0.0.2), which would also let a second link bind it and take the box's
    // datagrams from the first.
    TPortClaim PortClaim_;
};

} // namespace velk
