#pragma once
// A UDP socket bound to a local port with its own receive thread, which hands every datagram
// from the configured peer to DoReceive; the base of the link to the interface box.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include <netinet/in.h>

#include "common/Errors.h"
#include "devices/SocketReceiveEvent.h"

namespace velk {

// Socket-level failures: creation, binding, sending, refused configuration changes.
class ESocketUDPError : public Exception {
public:
    using Exception::Exception;
    // A literal would match both base constructors.
    explicit ESocketUDPError(const char* Message) : Exception(std::string(Message)) {}
};

class TUDPComponent {
public:
    TUDPComponent();
    virtual ~TUDPComponent();
    TUDPComponent(const TUDPComponent&) = delete;
    TUDPComponent& operator=(const TUDPComponent&) = delete;

    // Peer address, AddrB1 most significant (first on the wire). The configuration setters
    // refuse a different value while the socket is active.
    std::uint8_t AddrB1() const { return Addr_[0]; }
    std::uint8_t AddrB2() const { return Addr_[1]; }
    std::uint8_t AddrB3() const { return Addr_[2]; }
    std::uint8_t AddrB4() const { return Addr_[3]; }
    void SetAddrB1(std::uint8_t Value) { SetAddrByte(0, Value); }
    void SetAddrB2(std::uint8_t Value) { SetAddrByte(1, Value); }
    void SetAddrB3(std::uint8_t Value) { SetAddrByte(2, Value); }
    void SetAddrB4(std::uint8_t Value) { SetAddrByte(3, Value); }

    // Local port to bind. Only datagrams coming from the peer address and from this same port
    // are received: both ends of the box protocol use one port.
    int Port() const { return Port_; }
    void SetPort(int Value);

    int ReceiveBufferSize() const { return ReceiveBufferSize_; }
    void SetReceiveBufferSize(int Value);

    bool Active() const { return Active_.load(); }
    // Opens (bind + receive thread) or closes the socket. Closing waits for the receive
    // thread to end, so it must not be done from inside a receive handler.
    void SetActive(bool Value);

    int SocketHandle() const { return Socket_.load(); }

    // Handler of received bytes; may be changed at any time from any thread. Once the call
    // returns, no delivery to the previous handler is still running (unless the call is
    // made by that handler itself on the receive thread). Handlers run on the receive thread
    // and must not block, in particular not on a lock held around SetOnReceive.
    TSocketReceiveEvent* OnReceive() const { return OnReceive_.load(); }
    void SetOnReceive(TSocketReceiveEvent* Handler);

    // Sends Len bytes of Buffer in one datagram to the peer address and Port.
    virtual void SendDatagram(const std::uint8_t* Buffer, std::uint16_t Port, int Len);

protected:
    virtual void DoSetActive(bool Value);
    // Runs on the receive thread for each datagram from the peer.
    virtual void DoReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived);

    // Calls the current OnReceive handler, if any, so that SetOnReceive can wait for it.
    void CallOnReceive(const void* Sender, const std::uint8_t* Buffer, int NbByteReceived);

    // Ends the receive thread and closes the socket; harmless when already closed. Every
    // class of the hierarchy calls it first in its destructor, so that the receive thread
    // never runs a virtual operation of an object being destroyed.
    void CloseSocket();

private:
    void SetAddrByte(int Index, std::uint8_t Value);
    void CheckInactive(bool Changes) const;
    in_addr_t AddressNetworkOrder() const;
    void ReceiveLoop();

    std::uint8_t Addr_[4] = {0, 0, 0, 0};
    int Port_ = 0;
    int ReceiveBufferSize_ = 12288;
    std::atomic<bool> Active_{false};
    std::atomic<int> Socket_{-1};
    std::atomic<TSocketReceiveEvent*> OnReceive_{nullptr};

    // Held by the receive thread while it runs an OnReceive handler.
    std::mutex DeliveryMutex_;
    std::thread ReceiveThread_;
    std::atomic<bool> Terminated_{false};
    // Source the receive thread accepts, fixed when the socket opens.
    in_addr_t PeerAddress_ = 0;
    in_port_t PeerPort_ = 0;
};

} // namespace velk
