// The link against a scripted box on loopback: numbering, retransmission, acknowledgements,
// the reorder window, error reports and the configuration rules.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "tests/devices/LinkFixture.h"

namespace velk {
namespace {

using namespace std::chrono_literals;
using test::BoxData;
using test::DataAck;
using test::LinkTest;
using test::TBytes;
using TClock = std::chrono::steady_clock;

const std::string Corrupted = "Error during reception ! ->Received packet corrupted !";

TEST_F(LinkTest, RequestsAreNumberedFrom129AndWrapAfter255) {
    EXPECT_EQ(Link->Sequence(), 128);
    auto done = std::async(std::launch::async, [this] {
        const std::uint8_t command[] = {0, 4, 0, 0};
        for (int i = 0; i < 128; ++i)
            Link->SendCommand(command, 4);
    });
    int expected = 129;
    for (int i = 0; i < 128; ++i) {
        const TBytes request = AckNextRequest();
        ASSERT_EQ(request, (TBytes{std::uint8_t(expected), link::FrameCommand, 0, 4, 0, 0}));
        expected = (expected + 1) % 256;
    }
    done.get();
    EXPECT_EQ(Link->Sequence(), 0);
}

TEST_F(LinkTest, RequestIsSentAgainEvery150msUntilAcknowledged) {
    const TBytes payload{0, 6, 0, 0, 'A', 'B'};
    auto done = Command(payload);
    TClock::time_point previous{};
    TBytes first;
    for (int copy = 0; copy < 3; ++copy) {
        auto request = Peer->Receive();
        ASSERT_TRUE(request.has_value());
        const auto now = TClock::now();
        if (copy == 0) {
            first = *request;
            EXPECT_EQ(first, (TBytes{129, link::FrameCommand, 0, 6, 0, 0, 'A', 'B'}));
        } else {
            EXPECT_EQ(*request, first) << "a retransmission must repeat the datagram";
            EXPECT_GE(now - previous, 120ms) << "sent again before its acknowledgement was due";
        }
        previous = now;
    }
    EXPECT_EQ(done.wait_for(0ms), std::future_status::timeout);
    Peer->Send({first[0], link::FrameAckHigh}); // type 1 acknowledges as well as type 0
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
    done.get();
}

TEST_F(LinkTest, AcknowledgementOfAnEarlierRequestDoesNotCompleteTheCurrentOne) {
    auto first = Command({0, 4, 0, 0});
    const std::uint8_t earlier = AckNextRequest()[0];
    first.get();

    auto second = Command({0, 4, 0, 0});
    auto request = Peer->Receive();
    ASSERT_TRUE(request.has_value());
    Peer->Send({earlier, link::FrameAckLow});
    Peer->Send({earlier, link::FrameAckHigh});
    auto again = Peer->Receive();
    ASSERT_TRUE(again.has_value()) << "the old acknowledgement completed the request";
    EXPECT_EQ(*again, *request);
    Peer->Send({(*request)[0], link::FrameAckLow});
    second.get();
}

TEST_F(LinkTest, FramesArrivingOutOfOrderAreDeliveredInOrderOnce) {
    Reset();
    // 5, 3 and 4 are acknowledged at once but wait for 1 and 2; a second, different copy of
    // the undelivered 3 does not replace the first.
    for (const auto& [sequence, payload] : std::vector<std::pair<int, std::string>>{
             {5, "5"}, {3, "3"}, {4, "4"}, {3, "X"}, {1, "1"}, {2, "2"}}) {
        Peer->Send(BoxData(std::uint8_t(sequence), payload));
        ExpectDataAck(std::uint8_t(sequence));
    }
    EXPECT_EQ(Stream.WaitFor(5), "12345");
    EXPECT_EQ(Stream.LastSender() != nullptr, true);
}

TEST_F(LinkTest, WindowLeavesFrames80To110AheadUnacknowledged) {
    struct Case {
        int Distance;
        bool Acknowledged;
    };
    for (const Case& c : {Case{79, true}, Case{80, false}, Case{110, false}, Case{111, true}}) {
        SCOPED_TRACE(c.Distance);
        Reset();
        Stream.Clear();
        const auto sequence = std::uint8_t(1 + c.Distance);
        Peer->Send(BoxData(sequence, "Z"));
        // Frame 1 marks the end: whatever the link answered before it came first.
        Peer->Send(BoxData(1, "M"));
        if (c.Acknowledged) ExpectDataAck(sequence);
        ExpectDataAck(1);
        EXPECT_EQ(Stream.WaitFor(1), "M");
    }
}

TEST_F(LinkTest, DeliveredFrameSentAgainIsAcknowledgedButNotDeliveredTwice) {
    Reset();
    Peer->Send(BoxData(1, "A"));
    ExpectDataAck(1);
    Peer->Send(BoxData(1, "B"));
    ExpectDataAck(1);
    Peer->Send(BoxData(2, "C"));
    ExpectDataAck(2);
    EXPECT_EQ(Stream.WaitFor(2), "AC");
}

TEST_F(LinkTest, ResetLinkMakesTheBoxNumberingStartAgain) {
    Reset();
    Peer->Send(BoxData(1, "A"));
    ExpectDataAck(1);
    Peer->Send(BoxData(3, "-")); // held in the window: must not survive the reset
    ExpectDataAck(3);
    ASSERT_EQ(Stream.WaitFor(1), "A");
    Reset();
    for (const auto& [sequence, payload] :
         std::vector<std::pair<int, std::string>>{{1, "B"}, {2, "C"}, {3, "D"}}) {
        Peer->Send(BoxData(std::uint8_t(sequence), payload));
        ExpectDataAck(std::uint8_t(sequence));
    }
    EXPECT_EQ(Stream.WaitFor(4), "ABCD");
}

TEST_F(LinkTest, ShortDatagramIsReportedAndTheLinkGoesOn) {
    for (const TBytes& datagram : {TBytes{7}, TBytes{}}) {
        SCOPED_TRACE(datagram.size());
        ErrorEvent.Reset();
        Peer->Send(datagram);
        ASSERT_TRUE(ErrorEvent.Wait(5s));
        EXPECT_EQ(LastError(), Corrupted);
        EXPECT_EQ(LastErrorSender(), static_cast<const void*>(Link.get()));
    }
    auto done = Command({0, 4, 0, 0});
    AckNextRequest();
    done.get();
}

TEST_F(LinkTest, BoxPayloadLongerThanASlotIsDroppedAndReported) {
    Reset();
    const std::string full(link::SlotSize, 'f');
    Peer->Send(BoxData(1, full));
    ExpectDataAck(1);
    ASSERT_EQ(Stream.WaitFor(full.size()), full);
    EXPECT_FALSE(ErrorEvent.IsSet());

    Peer->Send(BoxData(2, std::string(link::SlotSize + 1, 'x')));
    ExpectDataAck(2);
    ASSERT_TRUE(ErrorEvent.Wait(5s));
    EXPECT_EQ(LastError(), "Error during reception ! ->Received packet too long !");
    // The stream goes on behind the dropped piece.
    Peer->Send(BoxData(3, "N"));
    ExpectDataAck(3);
    EXPECT_EQ(Stream.WaitFor(full.size() + 1), full + "N");
}

TEST_F(LinkTest, PayloadOver114BytesIsRefusedWithoutSending) {
    const TBytes tooLong(115, 'x');
    const std::uint8_t before = Link->Sequence();
    try {
        Link->SendCommand(tooLong.data(), 115);
        FAIL() << "a 115-byte payload was accepted";
    } catch (const EEtherLinkError& error) {
        EXPECT_EQ(error.Message(), "The size of the packet is to high !");
    }
    EXPECT_EQ(Link->Sequence(), before);

    // The first datagram the box sees is the next, longest allowed request.
    auto done = Command(TBytes(114, 'y'));
    const TBytes request = AckNextRequest();
    done.get();
    ASSERT_EQ(request.size(), 116u);
    EXPECT_EQ(request[0], std::uint8_t(before + 1));
}

TEST_F(LinkTest, ConfigurationChangeIsRefusedWhileActive) {
    struct Setter {
        const char* Name;
        std::function<void(TEtherLinkUDP&, bool Change)> Apply;
    };
    const std::vector<Setter> setters = {
        {"AddrB1", [](TEtherLinkUDP& l, bool c) { l.SetAddrB1(c ? 10 : 127); }},
        {"AddrB2", [](TEtherLinkUDP& l, bool c) { l.SetAddrB2(c ? 1 : 0); }},
        {"AddrB3", [](TEtherLinkUDP& l, bool c) { l.SetAddrB3(c ? 1 : 0); }},
        {"AddrB4", [](TEtherLinkUDP& l, bool c) { l.SetAddrB4(c ? 3 : 2); }},
        {"Port", [](TEtherLinkUDP& l, bool c) { l.SetPort(c ? 193 : 192); }},
        {"ReceiveBufferSize",
         [](TEtherLinkUDP& l, bool c) { l.SetReceiveBufferSize(c ? 8192 : 4096); }},
    };
    for (const Setter& setter : setters) {
        SCOPED_TRACE(setter.Name);
        EXPECT_NO_THROW(setter.Apply(*Link, false));
        try {
            setter.Apply(*Link, true);
            ADD_FAILURE() << "changed while active";
        } catch (const ESocketUDPError& error) {
            EXPECT_EQ(error.Message(), "Can't change value while UDP socket is active");
        }
    }
    EXPECT_EQ(Link->Port(), 192);
    EXPECT_EQ(Link->AddrB4(), 2);
    Link->SetActive(false);
    for (const Setter& setter : setters)
        EXPECT_NO_THROW(setter.Apply(*Link, true));
    EXPECT_EQ(Link->Port(), 193);
}

TEST_F(LinkTest, DatagramsFromAnyOtherSourceAreIgnored) {
    Reset();
    struct Source {
        const char* Address;
        std::uint16_t Port;
    };
    for (const Source& source : {Source{"127.0.0.3", 192}, Source{"127.0.0.2", 193}}) {
        SCOPED_TRACE(std::string(source.Address) + ":" + std::to_string(source.Port));
        test::TScriptedPeer foreign(source.Address, source.Port);
        auto done = Command({0, 4, 0, 0});
        auto request = Peer->Receive();
        ASSERT_TRUE(request.has_value());
        foreign.Send({(*request)[0], link::FrameAckLow});
        foreign.Send(BoxData(1, "F"));
        // The request is still pending: the box sees it again, and the intruder hears nothing.
        auto again = Peer->Receive();
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(*again, *request);
        EXPECT_FALSE(foreign.Receive(300ms).has_value());
        Peer->Send({(*request)[0], link::FrameAckLow});
        done.get();
        // Copies sent before the acknowledgement arrived are waiting already (loopback).
        while (Peer->Receive(0ms)) {
        }
    }
    Peer->Send(BoxData(1, "P"));
    ExpectDataAck(1);
    EXPECT_EQ(Stream.WaitFor(1), "P");
}

TEST_F(LinkTest, DestroyingOrDetachingWaitsForARunningHandler) {
    // A handler still busy with a datagram when the link is destroyed or the handler is
    // detached: the call must return only after the handler has finished.
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
        Peer->Send(BoxData(1, "S"));
        ExpectDataAck(1);
        ASSERT_TRUE(handler.Entered.Wait(5s));
        if (destroy)
            Link.reset();
        else
            Link->SetOnReceive(nullptr);
        EXPECT_TRUE(handler.Finished.load());
    }
}

TEST_F(LinkTest, DeviceThatNeverAnswersIsReportedAfter99Sends) {
    auto done = Command({0, 4, 0, 0});
    int sends = 0;
    while (Peer->Receive(3s))
        ++sends;
    try {
        done.get();
        FAIL() << "the request succeeded without an acknowledgement";
    } catch (const EEtherLinkError& error) {
        EXPECT_EQ(error.Message(), "The device does not respond !");
    }
    EXPECT_EQ(sends, 99);
    // The link stays usable and goes on with the next number.
    const std::uint8_t failed = Link->Sequence();
    auto next = Command({0, 4, 0, 0});
    EXPECT_EQ(AckNextRequest()[0], std::uint8_t(failed + 1));
    next.get();
}

TEST(LinkActivation, FailureLeavesActiveSetWithoutSocketUntilDeactivated) {
    struct Case {
        const char* Name;
        std::function<void(TUDPComponent&)> Configure;
        std::unique_ptr<TUDPComponent> Component;
        const char* Message;
    };
    Case cases[] = {
        // A link binds the box's port only: another one cannot be applied once Active is set.
        {"link on port 193", [](TUDPComponent& c) { c.SetPort(193); },
         std::make_unique<TEtherLinkUDP>(), "Can't change value while UDP socket is active"},
        // Would otherwise bind port 70000 - 65536 = 4464.
        {"port out of range", [](TUDPComponent& c) { c.SetPort(70000); },
         std::make_unique<TUDPComponent>(), "Error during Creation (UDP socket)"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Configure(*c.Component);
        try {
            c.Component->SetActive(true);
            ADD_FAILURE() << "activation succeeded";
        } catch (const ESocketUDPError& error) {
            EXPECT_EQ(error.Message(), c.Message);
        }
        EXPECT_TRUE(c.Component->Active());
        EXPECT_EQ(c.Component->SocketHandle(), -1);
        c.Component->SetActive(false);
        EXPECT_FALSE(c.Component->Active());
    }
}

TEST(LinkInactive, RequestsAreRefused) {
    TEtherLinkUDP link;
    const std::uint8_t command[] = {0, 4, 0, 0};
    const std::vector<std::function<void()>> requests = {[&] { link.ResetLink(); },
                                                         [&] { link.SendCommand(command, 4); },
                                                         [&] { link.SendData(command, 4); }};
    for (const auto& request : requests) {
        try {
            request();
            ADD_FAILURE() << "a request on an inactive link was accepted";
        } catch (const EEtherLinkError& error) {
            EXPECT_EQ(error.Message(), "Connection not initialised !");
        }
    }
    EXPECT_EQ(link.Sequence(), 128);
    EXPECT_EQ(link.SocketHandle(), -1);
}

} // namespace
} // namespace velk
