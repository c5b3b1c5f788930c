// The link against a scripted box on loopback: numbering, retransmission, acknowledgements,
// the reorder window, error reports and the configuration rules.

#include <functional>

#include "tests/devices/LinkFixture.h"

namespace velk {
namespace {

using namespace std::chrono_literals;
using test::BoxData;
using test::LinkTest;
using test::TBytes;

TEST_F(LinkTest, RequestsAreNumberedFrom129AndWrapAfter255) {
    auto done = std::async(std::launch::async, [this] {
        const std::uint8_t command[] = {0, 4, 0, 0};
        for (int i = 0; i < 128; ++i)
            Link->SendCommand(command, 4);
    });
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(AckNextRequest(),
                  (TBytes{std::uint8_t((129 + i) % 256), link::FrameCommand, 0, 4, 0, 0}));
    done.get();
    EXPECT_EQ(Link->Sequence(), 0);
}

TEST_F(LinkTest, RequestIsSentAgainEvery150msUntilAcknowledged) {
    const auto retransmissions = Link->Retransmissions();
    auto done = Command({0, 6, 0, 0, 'A', 'B'});
    const auto first = Peer->Receive();
    ASSERT_EQ(first, (TBytes{129, link::FrameCommand, 0, 6, 0, 0, 'A', 'B'}));
    auto previous = std::chrono::steady_clock::now();
    for (int copy = 0; copy < 2; ++copy) {
        EXPECT_EQ(Peer->Receive(), first) << "a retransmission must repeat the datagram";
        const auto now = std::chrono::steady_clock::now();
        EXPECT_GE(now - previous, 120ms) << "sent again before its acknowledgement was due";
        previous = now;
    }
    EXPECT_EQ(done.wait_for(0ms), std::future_status::timeout);
    Peer->Send({129, link::FrameAckHigh}); // type 1 acknowledges as well as type 0
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
    done.get();
    EXPECT_EQ(Link->Retransmissions() - retransmissions, 2u);
}

TEST_F(LinkTest, AcknowledgementOfAnEarlierRequestDoesNotCompleteTheCurrentOne) {
    auto first = Command({0, 4, 0, 0});
    const std::uint8_t earlier = AckNextRequest()[0];
    first.get();
    auto second = Command({0, 4, 0, 0});
    const auto request = Peer->Receive();
    ASSERT_TRUE(request.has_value());
    Peer->Send({earlier, link::FrameAckLow});
    Peer->Send({earlier, link::FrameAckHigh});
    EXPECT_EQ(Peer->Receive(), request) << "the old acknowledgement completed the request";
    Peer->Send({(*request)[0], link::FrameAckLow});
    second.get();
}

TEST_F(LinkTest, FramesAreDeliveredInOrderOnceAndResetClearsTheWindow) {
    Reset();
    SendAcked(1, "A");
    SendAcked(3, "-"); // held in the window: must not survive the reset
    ASSERT_EQ(Stream.WaitFor(1), "A");
    Reset(); // the box numbers from 1 again
    // 5, 3 and 4 are acknowledged at once but wait for 1 and 2; a second, different copy of the
    // undelivered 3 does not replace the first, a repeat of the delivered 1 is not delivered.
    for (const auto& [sequence, payload] : std::vector<std::pair<int, std::string>>{
             {5, "5"}, {3, "3"}, {4, "4"}, {3, "X"}, {1, "1"}, {2, "2"}, {1, "Y"}, {6, "6"}})
        SendAcked(std::uint8_t(sequence), payload);
    EXPECT_EQ(Stream.WaitFor(7), "A123456");
}

TEST_F(LinkTest, AFrameRepeatedAfterTheNumbersWrappedIsNotDeliveredAgain) {
    Reset();
    std::string expected;
    for (int n = 1; n <= 2 * 256; ++n) {
        const std::string payload(1, char('a' + n % 26));
        SendAcked(std::uint8_t(n % 256), payload);
        expected += payload;
        // A late copy of frame 1, delivered already, in both rounds of the numbers.
        if (n % 256 == 2) SendAcked(1, "X");
    }
    EXPECT_EQ(Stream.WaitFor(expected.size()), expected);
}

TEST_F(LinkTest, WindowLeavesFrames80To110AheadUnacknowledged) {
    std::string marks;
    for (const int distance : {79, 80, 110, 111}) {
        SCOPED_TRACE(distance);
        Reset();
        const auto sequence = std::uint8_t(1 + distance);
        Peer->Send(BoxData(sequence, "Z"));
        // Frame 1 marks the end: whatever the link answered before it came first.
        Peer->Send(BoxData(1, "M"));
        if (distance < 80 || distance > 110) ExpectDataAck(sequence);
        ExpectDataAck(1);
        marks += "M";
        EXPECT_EQ(Stream.WaitFor(marks.size()), marks);
    }
}

TEST_F(LinkTest, ShortOrOverlongBoxDatagramIsReportedAndTheLinkGoesOn) {
    Reset();
    const std::string full(link::SlotSize, 'f');
    SendAcked(1, full);
    ASSERT_EQ(Stream.WaitFor(full.size()), full);
    EXPECT_FALSE(ErrorEvent.IsSet());
    const std::string corrupted = "Error during reception ! ->Received packet corrupted !";
    for (const auto& [datagram, message] : std::vector<std::pair<TBytes, std::string>>{
             {TBytes{7}, corrupted},
             {TBytes{}, corrupted},
             {BoxData(2, std::string(link::SlotSize + 1, 'x')),
              "Error during reception ! ->Received packet too long !"}}) {
        ErrorEvent.Reset();
        Peer->Send(datagram);
        ASSERT_TRUE(ErrorEvent.Wait(5s));
        EXPECT_EQ(LastError(), std::make_pair(static_cast<const void*>(Link.get()), message));
    }
    ExpectDataAck(2); // the overlong piece is dropped, and the stream goes on behind it
    SendAcked(3, "N");
    EXPECT_EQ(Stream.WaitFor(full.size() + 1), full + "N");
}

TEST_F(LinkTest, PayloadOver114BytesIsRefusedWithoutSending) {
    const TBytes tooLong(115, 'x');
    EXPECT_EQ(test::MessageOf<EEtherLinkError>([&] { Link->SendCommand(tooLong.data(), 115); }),
              "The size of the packet is to high !");
    EXPECT_EQ(Link->Sequence(), 128);
    // The first datagram the box sees is the next, longest allowed request.
    auto done = Command(TBytes(114, 'y'));
    const TBytes request = AckNextRequest();
    done.get();
    EXPECT_EQ(request.size(), 116u);
    EXPECT_EQ(request.at(0), 129);
}

TEST_F(LinkTest, ConfigurationChangeAndASecondLinkAreRefusedWhileActive) {
    const std::vector<std::function<void(TEtherLinkUDP&, bool Change)>> setters = {
        [](TEtherLinkUDP& l, bool c) { l.SetAddrB1(c ? 10 : 127); },
        [](TEtherLinkUDP& l, bool c) { l.SetPort(c ? 193 : 192); },
        [](TEtherLinkUDP& l, bool c) { l.SetReceiveBufferSize(c ? 8192 : 4096); },
    };
    for (const auto& setter : setters) {
        EXPECT_NO_THROW(setter(*Link, false)); // setting the same value is no change
        EXPECT_EQ(test::MessageOf<ESocketUDPError>([&] { setter(*Link, true); }),
                  "Can't change value while UDP socket is active");
    }
    // Two sockets on port 192 would share the box's datagrams.
    TEthernetLinkShared second;
    EXPECT_EQ(test::MessageOf<ESocketUDPError>([&] { test::OpenLink(second); }),
              "Error during Creation (UDP socket): port 192 is already in use by another "
              "monitor or velk-probe");
    second.SetActive(false);
    Link->SetActive(false);
    EXPECT_NO_THROW(test::OpenLink(second));
    for (const auto& setter : setters)
        EXPECT_NO_THROW(setter(*Link, true));
    EXPECT_EQ(Link->Port(), 193);
}

TEST_F(LinkTest, DatagramsFromAnyOtherSourceAreIgnored) {
    Reset();
    for (const auto& [address, port] :
         std::vector<std::pair<const char*, std::uint16_t>>{{"127.0.0.3", 192}, {"127.0.0.2", 193}}) {
        SCOPED_TRACE(address + std::string(":") + std::to_string(port));
        test::TScriptedPeer foreign(address, port);
        auto done = Command({0, 4, 0, 0});
        const auto request = Peer->Receive();
        ASSERT_TRUE(request.has_value());
        foreign.Send({(*request)[0], link::FrameAckLow});
        foreign.Send(BoxData(1, "F"));
        // The request is still pending: the box sees it again, and the intruder hears nothing.
        EXPECT_EQ(Peer->Receive(), request);
        EXPECT_FALSE(foreign.Receive(300ms).has_value());
        Peer->Send({(*request)[0], link::FrameAckLow});
        done.get();
        while (Peer->Receive(0ms)) { // copies sent before the acknowledgement arrived
        }
    }
    SendAcked(1, "P");
    EXPECT_EQ(Stream.WaitFor(1), "P");
}

TEST_F(LinkTest, DestroyingOrDetachingWaitsForARunningHandler) {
    class SlowHandler : public TSocketReceiveEvent {
    public:
        void OnReceive(const void*, const std::uint8_t*, int) override {
            Entered.Set();
            Release.Wait(300ms);
            Finished.store(true);
        }
        ManualResetEvent Entered, Release;
        std::atomic<bool> Finished{false};
    };
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroy" : "detach");
        SlowHandler handler;
        Reset();
        Link->SetOnReceive(&handler);
        SendAcked(1, "S");
        ASSERT_TRUE(handler.Entered.Wait(5s));
        if (destroy)
            Link.reset();
        else
            Link->SetOnReceive(nullptr);
        EXPECT_TRUE(handler.Finished.load()) << "returned while the handler was still running";
    }
}

TEST_F(LinkTest, DeviceThatNeverAnswersIsReportedAfter99SendsAFailedSendAtOnce) {
    const auto retransmissions = Link->Retransmissions();
    auto done = Command({0, 4, 0, 0});
    int sends = 0;
    while (Peer->Receive(3s))
        ++sends;
    EXPECT_EQ(test::MessageOf<EEtherLinkError>([&] { done.get(); }),
              "The device does not respond !");
    EXPECT_EQ(sends, 99);
    EXPECT_EQ(Link->Retransmissions() - retransmissions, 98u);
    // The link stays usable and goes on with the next number.
    auto next = Command({0, 4, 0, 0});
    EXPECT_EQ(AckNextRequest().at(0), 130);
    next.get();
    // A send the system refuses (broadcast without the permission) fails at once.
    Link->SetActive(false);
    for (auto set : {&TUDPComponent::SetAddrB1, &TUDPComponent::SetAddrB2,
                     &TUDPComponent::SetAddrB3, &TUDPComponent::SetAddrB4})
        ((*Link).*set)(255);
    Link->SetActive(true);
    const auto start = std::chrono::steady_clock::now();
    const std::uint8_t command[] = {0, 4, 0, 0};
    EXPECT_EQ(test::MessageOf<EEtherLinkError>([&] { Link->SendCommand(command, 4); }),
              "Error while sending data (UDP socket)");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(LinkActivation, FailureLeavesActiveSetWithoutSocketUntilDeactivated) {
    TUDPComponent component;
    component.SetPort(70000); // would otherwise bind port 70000 - 65536 = 4464
    EXPECT_EQ(test::MessageOf<ESocketUDPError>([&] { component.SetActive(true); }),
              "Error during Creation (UDP socket)");
    EXPECT_TRUE(component.Active());
    EXPECT_EQ(component.SocketHandle(), -1);
    component.SetActive(false);
    EXPECT_FALSE(component.Active());
    TEtherLinkUDP link;
    const std::uint8_t command[] = {0, 4, 0, 0};
    EXPECT_EQ(test::MessageOf<EEtherLinkError>([&] { link.SendData(command, 4); }),
              "Connection not initialised !");
    EXPECT_EQ(link.Sequence(), 128);
}

} // namespace
} // namespace velk
