#include "devices/EtherLinkUDP.h"

#include <cstring>

#include "devices/LinkProtocol.h"

namespace velk {

TEtherLinkUDP::TEtherLinkUDP() : Reorder_(link::SlotSize) {}

TEtherLinkUDP::~TEtherLinkUDP() {
    CloseSocket();
}

void TEtherLinkUDP::SetOnLinkError(TLinkErrorEvent Handler) {
    std::lock_guard lock(LinkErrorMutex_);
    OnLinkError_ = std::move(Handler);
}

void TEtherLinkUDP::DoSetActive(bool Value) {
    SetPort(link::BoxPort);
    if (!Value) {
        TUDPComponent::DoSetActive(false);
        PortClaim_.Release();
        return;
    }
    PortClaim_.Take(Port());
    try {
        LastHeard_.store(std::chrono::steady_clock::now().time_since_epoch().count());
        TUDPComponent::DoSetActive(true);
    } catch (...) {
        PortClaim_.Release();
        throw;
    }
}

void TEtherLinkUDP::ResetLink(int MaxSends) {
    if (!Active()) throw EEtherLinkError("Connection not initialised !");
    {
        std::lock_guard lock(ReorderMutex_);
        Reorder_.Reset();
    }
    Request(link::FrameReset, nullptr, 0, MaxSends);
}

void TEtherLinkUDP::SendCommand(const std::uint8_t* Buffer, int Len) {
    Request(link::FrameCommand, Buffer, Len);
}

void TEtherLinkUDP::SendData(const std::uint8_t* Buffer, int Len) {
    Request(link::FrameData, Buffer, Len);
}

void TEtherLinkUDP::Request(std::uint8_t Type, const std::uint8_t* Buffer, int Len, int MaxSends) {
    if (!Active()) throw EEtherLinkError("Connection not initialised !");
    if (Len > link::MaxRequestPayload) throw EEtherLinkError("The size of the packet is to high !");
    if (Len < 0 || (Len > 0 && Buffer == nullptr))
        throw EEtherLinkError("The size of the packet is invalid !");

    std::uint8_t packet[link::HeaderSize + link::MaxRequestPayload];
    if (Len > 0) std::memcpy(packet + link::HeaderSize, Buffer, static_cast<std::size_t>(Len));
    // Written before the event is reset and the first copy leaves, so that the receive thread
    // compares acknowledgements with this request's number only.
    const std::uint8_t sequence = static_cast<std::uint8_t>(Sequence_.load() + 1);
    Sequence_.store(sequence);
    packet[0] = sequence;
    packet[1] = Type;
    AckedSequence_.store(NoAcknowledgement);
    AckEvent_.Reset();

    for (int send = 0; send < MaxSends; ++send) {
        if (send > 0) Retransmissions_.fetch_add(1, std::memory_order_relaxed);
        try {
            SendDatagram(packet, link::BoxPort, Len + link::HeaderSize);
        } catch (const EEtherLinkError&) {
            throw;
        } catch (const ESocketUDPError& error) {
            throw EEtherLinkError(error.what());
        }
        if (WaitAcknowledgement(sequence)) return;
    }
    throw EEtherLinkError("The device does not respond !");
}

bool TEtherLinkUDP::WaitAcknowledgement(std::uint8_t Sequence) {
    // Only an acknowledgement carrying this number counts: one of an earlier request that the
    // receive thread matched just before the number changed may still set the event.
    return WatchThenWait([&] { return AckedSequence_.load() == Sequence; }, AckEvent_, AckWatch,
                         link::AckTimeout);
}

void TEtherLinkUDP::DoReceive(const void* /*Sender*/, const std::uint8_t* Buffer,
                              int NbByteReceived) {
    try {
        if (NbByteReceived < link::HeaderSize) throw EEtherLinkError("Received packet corrupted !");
        LastHeard_.store(std::chrono::steady_clock::now().time_since_epoch().count());
        const std::uint8_t type = Buffer[1];
        if (type == link::FrameAckLow || type == link::FrameAckHigh) {
            if (Buffer[0] == Sequence_.load()) {
                AckedSequence_.store(Buffer[0]);
                AckEvent_.Set();
            }
        } else if (type == link::FrameBoxData) {
            ReceiveBoxData(Buffer, NbByteReceived);
        }
    } catch (const ESocketUDPError& error) {
        ReportLinkError(error.Message());
    }
}

void TEtherLinkUDP::ReceiveBoxData(const std::uint8_t* Buffer, int NbByteReceived) {
    const std::uint8_t sequence = Buffer[0];
    std::lock_guard lock(ReorderMutex_);
    const int distance = Reorder_.Distance(sequence);
    if (distance >= TReorderBuffer::AckWindow)
        RefusedFrames_.fetch_add(1, std::memory_order_relaxed);
    if (!TReorderBuffer::MustAcknowledge(distance)) return;

    const std::uint8_t ack[link::HeaderSize] = {sequence, link::FrameBoxData};
    SendDatagram(ack, link::BoxPort, link::HeaderSize);

    const auto stored =
        Reorder_.Store(sequence, Buffer + link::HeaderSize, NbByteReceived - link::HeaderSize);
    Reorder_.DeliverInOrder([this](const void* Sender, const std::uint8_t* Data, int Length) {
        CallOnReceive(Sender, Data, Length);
    });
    // Reported after the delivery so that the stream behind the dropped piece is not held up.
    if (stored == TReorderBuffer::TStore::TooLong)
        throw EEtherLinkError("Received packet too long !");
}

void TEtherLinkUDP::ReportLinkError(const QString& Message) {
    TLinkErrorEvent handler;
    {
        std::lock_guard lock(LinkErrorMutex_);
        handler = OnLinkError_;
    }
    if (handler) handler(this, QStringLiteral("Error during reception ! ->") + Message);
}

} // namespace velk
