#include "devices/UDPSocketComponent.h"

#include <pthread.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>

#include "devices/LinkProtocol.h"

namespace velk {

namespace {

// The component whose receive thread is the calling thread, if any.
thread_local const TUDPComponent* ReceivingComponent = nullptr;

// Best effort: acknowledgements of box data should go out at once, but an unprivileged
// process keeps the default priority.
void RaiseToTimeCritical(std::thread& thread) {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param);
}

} // namespace

TUDPComponent::TUDPComponent() = default;

TUDPComponent::~TUDPComponent() {
    CloseSocket();
}

void TUDPComponent::CheckInactive(bool Changes) const {
    if (Changes && Active()) throw ESocketUDPError("Can't change value while UDP socket is active");
}

void TUDPComponent::SetAddrByte(int Index, std::uint8_t Value) {
    CheckInactive(Addr_[Index] != Value);
    Addr_[Index] = Value;
}

in_addr_t TUDPComponent::AddressNetworkOrder() const {
    return htonl(std::uint32_t{Addr_[0]} << 24 | std::uint32_t{Addr_[1]} << 16 |
                 std::uint32_t{Addr_[2]} << 8 | Addr_[3]);
}

void TUDPComponent::SetPort(int Value) {
    CheckInactive(Port_ != Value);
    Port_ = Value;
}

void TUDPComponent::SetReceiveBufferSize(int Value) {
    CheckInactive(ReceiveBufferSize_ != Value);
    ReceiveBufferSize_ = Value;
}

void TUDPComponent::SetActive(bool Value) {
    if (Active_.load() == Value) return;
    Active_.store(Value);
    DoSetActive(Value);
}

void TUDPComponent::SetOnReceive(TSocketReceiveEvent* Handler) {
    OnReceive_.store(Handler);
    // Passing through the delivery lock waits for a delivery that loaded the old handler.
    if (ReceivingComponent != this) std::lock_guard wait(DeliveryMutex_);
}

void TUDPComponent::CallOnReceive(const void* Sender, const std::uint8_t* Buffer,
                                  int NbByteReceived) {
    std::lock_guard lock(DeliveryMutex_);
    if (TSocketReceiveEvent* handler = OnReceive_.load())
        handler->OnReceive(Sender, Buffer, NbByteReceived);
}

void TUDPComponent::DoSetActive(bool Value) {
    CloseSocket();
    if (!Value) return;

    // A port outside 0..65535 would silently bind another one.
    if (Port_ < 0 || Port_ > 65535) throw ESocketUDPError("Error during Creation (UDP socket)");
    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0) throw ESocketUDPError("Error during Creation (UDP socket)");
    // Lets the box simulator bind the same port on another loopback address of this machine.
    const int yes = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(Port_));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &ReceiveBufferSize_, sizeof ReceiveBufferSize_) !=
            0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        throw ESocketUDPError("Error during Creation (UDP socket)");
    }
    PeerAddress_ = AddressNetworkOrder();
    PeerPort_ = htons(static_cast<std::uint16_t>(Port_));
    Socket_.store(fd);
    Terminated_.store(false);
    ReceiveThread_ = std::thread([this] { ReceiveLoop(); });
    RaiseToTimeCritical(ReceiveThread_);
}

void TUDPComponent::CloseSocket() {
    const int fd = Socket_.load();
    if (ReceiveThread_.joinable()) {
        if (ReceiveThread_.get_id() == std::this_thread::get_id())
            // Joining itself would deadlock, and detaching would leave the thread running on
            // a component its owner is about to reuse or destroy.
            std::terminate();
        Terminated_.store(true);
        // Wakes the blocked recvfrom, which then returns at once.
        ::shutdown(fd, SHUT_RDWR);
        ReceiveThread_.join();
    }
    if (fd >= 0) {
        ::close(fd);
        Socket_.store(-1);
    }
}

void TUDPComponent::ReceiveLoop() {
    ReceivingComponent = this;
    const int fd = Socket_.load();
    std::uint8_t buffer[link::MaxDatagram];
    while (!Terminated_.load()) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t count = ::recvfrom(fd, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (count < 0 || Terminated_.load()) continue;
        // Nobody but the peer may complete a request or inject data.
        if (from.sin_family != AF_INET || from.sin_addr.s_addr != PeerAddress_ ||
            from.sin_port != PeerPort_)
            continue;
        try {
            DoReceive(this, buffer, static_cast<int>(count));
        } catch (const std::exception&) {
            // A handler's failure must not end the receive thread; the datagram is dropped.
        }
    }
}

void TUDPComponent::DoReceive(const void* /*Sender*/, const std::uint8_t* Buffer,
                              int NbByteReceived) {
    CallOnReceive(this, Buffer, NbByteReceived);
}

void TUDPComponent::SendDatagram(const std::uint8_t* Buffer, std::uint16_t Port, int Len) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(Port);
    to.sin_addr.s_addr = AddressNetworkOrder();
    const ssize_t sent = ::sendto(Socket_.load(), Buffer, static_cast<std::size_t>(Len), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent != Len) throw ESocketUDPError("Error while sending data (UDP socket)");
}

} // namespace velk
