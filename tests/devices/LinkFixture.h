#pragma once
// Shared by the link and instrument tests: a UDP socket standing where the interface box would
// be (127.0.0.2:192), a recorder of the stream a link delivers, a link wired to that box, and
// byte strings written as numbers.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QString>

#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"
#include "tests/TestSupport.h"

namespace velk::test {

using TBytes = std::vector<std::uint8_t>;

class TScriptedPeer {
public:
    explicit TScriptedPeer(const char* Address = "127.0.0.2", std::uint16_t Port = 192) {
        Socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        const int yes = 1;
        ::setsockopt(Socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(Port);
        ::inet_pton(AF_INET, Address, &local.sin_addr);
        if (::bind(Socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
            throw std::runtime_error(std::string("scripted peer cannot bind ") + Address);
    }
    ~TScriptedPeer() { ::close(Socket_); }
    TScriptedPeer(const TScriptedPeer&) = delete;
    TScriptedPeer& operator=(const TScriptedPeer&) = delete;

    // The next datagram sent to this socket, or nothing within the time-out.
    std::optional<TBytes> Receive(std::chrono::milliseconds Timeout = std::chrono::seconds(5)) {
        pollfd fd{Socket_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(Timeout.count())) <= 0) return std::nullopt;
        TBytes buffer(65536);
        const ssize_t count = ::recv(Socket_, buffer.data(), buffer.size(), 0);
        if (count < 0) return std::nullopt;
        buffer.resize(static_cast<std::size_t>(count));
        return buffer;
    }
    // To the link: its socket, bound on all addresses, gets what goes to 127.0.0.1:192.
    void Send(const TBytes& Datagram) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(192);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(Socket_, Datagram.data(), Datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

private:
    int Socket_ = -1;
};

// Records without allocating (up to 64 KiB), so that the delivering thread allocates nothing.
class TStreamRecorder : public TSocketReceiveEvent {
public:
    TStreamRecorder() { Bytes_.reserve(65536); }
    void OnReceive(const void*, const std::uint8_t* Buffer, int NbByteReceived) override {
        std::lock_guard lock(Mutex_);
        Bytes_.append(reinterpret_cast<const char*>(Buffer), std::size_t(NbByteReceived));
        Thread = std::this_thread::get_id();
        Changed_.notify_all();
    }
    std::atomic<std::thread::id> Thread; // of the last delivery
    // The stream once it holds at least Count bytes, or what it holds at the time-out.
    std::string WaitFor(std::size_t Count,
                        std::chrono::milliseconds Timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(Mutex_);
        Changed_.wait_for(lock, Timeout, [&] { return Bytes_.size() >= Count; });
        return Bytes_;
    }

private:
    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::string Bytes_;
};

// Configures Link for the box at 127.0.0.2:192 and opens it.
inline void OpenLink(TEthernetLinkShared& Link, TSocketReceiveEvent* Receiver = nullptr) {
    Link.SetPort(link::BoxPort);
    Link.SetReceiveBufferSize(4096);
    Link.SetAddrB1(127);
    Link.SetAddrB4(2);
    Link.SetOnReceive(Receiver);
    Link.SetActive(true);
}

inline TBytes BoxData(std::uint8_t Sequence, const std::string& Payload) {
    TBytes datagram{Sequence, link::FrameBoxData};
    datagram.insert(datagram.end(), Payload.begin(), Payload.end());
    return datagram;
}

// A link to the scripted box, with the test playing the box.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        VELK_NEEDS_PORT_192();
        Peer = std::make_unique<TScriptedPeer>();
        Link = std::make_unique<TEthernetLinkShared>();
        OpenLink(*Link, &Stream);
    }

    // Runs a request on another thread while the test plays the box.
    std::future<void> Command(const TBytes& Payload) {
        return std::async(std::launch::async, [this, Payload] {
            Link->SendCommand(Payload.data(), static_cast<int>(Payload.size()));
        });
    }
    // Receives the next request and acknowledges it.
    TBytes AckNextRequest() {
        auto request = Peer->Receive();
        EXPECT_TRUE(request.has_value()) << "the link sent no request";
        if (!request || request->size() < 2) return {};
        Peer->Send({(*request)[0], link::FrameAckLow});
        return *request;
    }
    void Reset() {
        auto done = std::async(std::launch::async, [this] { Link->ResetLink(); });
        EXPECT_EQ(AckNextRequest().at(1), link::FrameReset);
        done.get();
    }
    // Sends box data and expects the link to acknowledge it.
    void SendAcked(std::uint8_t Sequence, const std::string& Payload) {
        Peer->Send(BoxData(Sequence, Payload));
        ExpectDataAck(Sequence);
    }
    void ExpectDataAck(std::uint8_t Sequence) {
        EXPECT_EQ(Peer->Receive(), (TBytes{Sequence, link::FrameBoxData}))
            << "no acknowledgement of frame " << int(Sequence);
    }

    std::unique_ptr<TScriptedPeer> Peer;
    TStreamRecorder Stream;
    std::unique_ptr<TEthernetLinkShared> Link;
};

} // namespace velk::test
