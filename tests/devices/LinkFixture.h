#pragma once
// A link wired to a scripted box on loopback, with its delivered stream and error reports
// recorded, for the link's tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "common/SyncEvents.h"
#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"
#include "tests/TestSupport.h"
#include "tests/devices/ScriptedPeer.h"
#include "tests/devices/StreamRecorder.h"

namespace velk::test {

inline TBytes BoxData(std::uint8_t Sequence, const std::string& Payload) {
    TBytes datagram(link::HeaderSize + Payload.size());
    datagram[0] = Sequence;
    datagram[1] = link::FrameBoxData;
    std::copy(Payload.begin(), Payload.end(), datagram.begin() + link::HeaderSize);
    return datagram;
}

inline TBytes DataAck(std::uint8_t Sequence) {
    return {Sequence, link::FrameBoxData};
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CanBindPort192())
            GTEST_SKIP() << "UDP port 192 cannot be bound here: run inside scripts/netns.sh";
        Peer = std::make_unique<test::TScriptedPeer>();
        Link = std::make_unique<TEthernetLinkShared>();
        Link->SetPort(link::BoxPort);
        Link->SetReceiveBufferSize(4096);
        Link->SetAddrB1(127);
        Link->SetAddrB2(0);
        Link->SetAddrB3(0);
        Link->SetAddrB4(2);
        Link->SetOnReceive(&Stream);
        Link->SetOnLinkError([this](const void* Sender, const QString& Message) {
            std::lock_guard lock(ErrorMutex);
            ErrorSender = Sender;
            ErrorText = Message.toStdString();
            ErrorEvent.Set();
        });
        Link->SetActive(true);
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
        const TBytes request = AckNextRequest();
        ASSERT_EQ(request.size(), 2u);
        EXPECT_EQ(request[1], link::FrameReset);
        done.get();
    }

    // The next datagram the link sends, expected to be the acknowledgement of box data.
    void ExpectDataAck(std::uint8_t Sequence) {
        auto datagram = Peer->Receive();
        ASSERT_TRUE(datagram.has_value()) << "no acknowledgement of frame " << int(Sequence);
        EXPECT_EQ(*datagram, DataAck(Sequence));
    }

    const void* LastErrorSender() {
        std::lock_guard lock(ErrorMutex);
        return ErrorSender;
    }

    std::string LastError() {
        std::lock_guard lock(ErrorMutex);
        return ErrorText;
    }

    std::unique_ptr<test::TScriptedPeer> Peer;
    test::TStreamRecorder Stream;
    std::unique_ptr<TEthernetLinkShared> Link;
    std::mutex ErrorMutex;
    ManualResetEvent ErrorEvent;
    const void* ErrorSender = nullptr;
    std::string ErrorText;
};

} // namespace velk::test
