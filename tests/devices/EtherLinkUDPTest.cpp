// The link against a scripted box on loopback: numbering, retransmission, acknowledgements,
// the reorder window, error reports and the configuration rules.

#include <cstdlib>
#include <functional>
#include <new>

#include "common/SyncEvents.h"
#include "tests/devices/LinkFixture.h"

// The receive path allocates nothing: this program counts the allocations made on one thread.
namespace {
std::atomic<std::thread::id> WatchedThread{};
std::atomic<int> WatchedAllocations{0};
} // namespace

void* operator new(std::size_t Size) {
    if (std::this_thread::get_id() == WatchedThread.load()) ++WatchedAllocations;
    if (void* block = std::malloc(Size ? Size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* Block) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::size_t) noexcept {
    std::free(Block);
}

namespace velk {
namespace {

using namespace std::chrono_literals;
using test::BoxData;
using test::LinkTest;
using test::MessageOf;
using test::TBytes;

TEST_F(LinkTest, RequestsAreNumberedFrom129WrapAfter255AndCarryAtMost114Bytes) {
    const TBytes payload(link::MaxRequestPayload + 1, 'y');
    EXPECT_EQ(MessageOf<EEtherLinkError>([&] { Link->SendCommand(payload.data(), 115); }),
              "The size of the packet is to high !");
    // The refused request took no number, and the box never saw it.
    auto done = std::async(std::launch::async, [&] {
        for (int i = 0; i < 128; ++i)
            Link->SendCommand(payload.data(), link::MaxRequestPayload);
    });
    TBytes expected(link::HeaderSize + link::MaxRequestPayload, 'y');
    expected[1] = link::FrameCommand;
    for (int i = 0; i < 128; ++i) {
        expected[0] = std::uint8_t((129 + i) % 256);
        EXPECT_EQ(AckNextRequest(), expected) << i;
    }
    done.get();
    EXPECT_EQ(Link->Sequence(), 0);
}

// On the receive thread, without a heap allocation: acknowledgements, box data in and out of
// order, repeats and ignored frames.
TEST_F(LinkTest, FramesAreDeliveredInOrderOnceWithinTheWindowAndResetClearsIt) {
    Reset();
    SendAcked(1, "A");
    SendAcked(3, "-"); // held in the window: must not survive the reset
    ASSERT_EQ(Stream.WaitFor(1), "A");
    WatchedThread = Stream.Thread.load();
    WatchedAllocations = 0;
    Reset(); // the box numbers from 1 again
    // 5, 3 and 4 are acknowledged at once but wait for 1 and 2; a second, different copy of the
    // undelivered 3 does not replace the first, a repeat of the delivered 1 is not delivered.
    for (const auto& [sequence, payload] : std::vector<std::pair<int, std::string>>{
             {5, "5"}, {3, "3"}, {4, "4"}, {3, "X"}, {1, "1"}, {2, "2"}, {1, "Y"}, {6, "6"}})
        SendAcked(std::uint8_t(sequence), payload);
    EXPECT_EQ(Stream.WaitFor(7), "A123456");
    // Frames 79 and 111 ahead of the next (7) are acknowledged, 80 to 110 ahead not at all;
    // frame 7 marks the end: whatever the link answered before it came first.
    for (const int distance : {79, 80, 110, 111})
        Peer->Send(BoxData(std::uint8_t(7 + distance), "Z"));
    Peer->Send(BoxData(7, "7"));
    for (const int acknowledged : {7 + 79, 7 + 111, 7})
        ExpectDataAck(std::uint8_t(acknowledged));
    EXPECT_EQ(Stream.WaitFor(8), "A1234567");
    EXPECT_EQ(WatchedAllocations.load(), 0);
    WatchedThread = std::thread::id();
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

TEST_F(LinkTest, ShortOrOverlongBoxDatagramIsReportedAndTheLinkGoesOn) {
    std::mutex lock;
    std::vector<std::pair<const void*, std::string>> errors;
    ManualResetEvent reported;
    Link->SetOnLinkError([&](const void* Sender, const QString& Message) {
        std::lock_guard guard(lock);
        errors.emplace_back(Sender, Message.toStdString());
        reported.Set();
    });
    Reset();
    const std::string full(link::SlotSize, 'f');
    SendAcked(1, full);
    ASSERT_EQ(Stream.WaitFor(full.size()), full);
    const std::string corrupted = "Error during reception ! ->Received packet corrupted !";
    for (const auto& [datagram, message] : std::vector<std::pair<TBytes, std::string>>{
             {TBytes{7}, corrupted},
             {TBytes{}, corrupted},
             {BoxData(2, std::string(link::SlotSize + 1, 'x')),
              "Error during reception ! ->Received packet too long !"}}) {
        reported.Reset();
        Peer->Send(datagram);
        ASSERT_TRUE(reported.Wait(5s));
        std::lock_guard guard(lock);
        EXPECT_EQ(errors.back(), std::make_pair(static_cast<const void*>(Link.get()), message));
    }
    EXPECT_EQ(errors.size(), 3u);
    ExpectDataAck(2); // the overlong piece is dropped, and the stream goes on behind it
    SendAcked(3, "N");
    EXPECT_EQ(Stream.WaitFor(full.size() + 1), full + "N");
}

TEST_F(LinkTest, ConfigurationChangeAndASecondLinkAreRefusedWhileActive) {
    const std::vector<std::function<void(TEtherLinkUDP&, bool Change)>> setters = {
        [](TEtherLinkUDP& l, bool c) { l.SetAddrB1(c ? 10 : 127); },
        [](TEtherLinkUDP& l, bool c) { l.SetPort(c ? 193 : 192); },
        [](TEtherLinkUDP& l, bool c) { l.SetReceiveBufferSize(c ? 8192 : 4096); },
    };
    for (const auto& setter : setters) {
        EXPECT_NO_THROW(setter(*Link, false)); // setting the same value is no change
        EXPECT_EQ(MessageOf<ESocketUDPError>([&] { setter(*Link, true); }),
                  "Can't change value while UDP socket is active");
    }
    // Two sockets on port 192 would share the box's datagrams.
    TEthernetLinkShared second;
    EXPECT_EQ(MessageOf<ESocketUDPError>([&] { test::OpenLink(second); }),
              "Error during Creation (UDP socket): port 192 is already in use by another "
              "monitor or velk-probe");
    second.SetActive(false);
    Link->SetActive(false);
    EXPECT_NO_THROW(test::OpenLink(second));
    for (const auto& setter : setters)
        EXPECT_NO_THROW(setter(*Link, true));
}

// Only the box's acknowledgement carrying the current number completes a request, and the
// box alone delivers data: the request stays pending, and the intruder hears nothing.
TEST_F(LinkTest, AcknowledgementsOfEarlierRequestsOrFromAnyOtherSourceAreIgnored) {
    Reset();
    for (const auto& [address, port] : std::vector<std::pair<const char*, std::uint16_t>>{
             {nullptr, 192}, {"127.0.0.3", 192}, {"127.0.0.2", 193}}) {
        SCOPED_TRACE(address ? address + std::string(":") + std::to_string(port) : "earlier");
        auto foreign = address ? std::make_unique<test::TScriptedPeer>(address, port) : nullptr;
        auto done = Command({0, 4, 0, 0});
        const auto request = Peer->Receive();
        ASSERT_TRUE(request.has_value());
        const std::uint8_t number = (*request)[0] - (foreign ? 0 : 1);
        for (const std::uint8_t type : {link::FrameAckLow, link::FrameAckHigh})
            (foreign ? *foreign : *Peer).Send({number, type});
        if (foreign) foreign->Send(BoxData(1, "F"));
        EXPECT_EQ(Peer->Receive(), request) << "the request was completed";
        EXPECT_FALSE(foreign && foreign->Receive(300ms).has_value());
        Peer->Send({(*request)[0], link::FrameAckHigh}); // type 1 acknowledges as well as type 0
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

// Also the retransmission: every 150 ms the same datagram, 99 sends in all.
TEST_F(LinkTest, DeviceThatNeverAnswersIsReportedAfter99SendsAFailedSendAtOnce) {
    const auto retransmissions = Link->Retransmissions();
    const auto start = std::chrono::steady_clock::now();
    auto done = Command({0, 4, 0, 0});
    const auto first = Peer->Receive();
    int sends = first.has_value();
    auto last = std::chrono::steady_clock::now();
    while (const auto copy = Peer->Receive(3s)) {
        EXPECT_EQ(copy, first) << "a retransmission must repeat the datagram";
        last = std::chrono::steady_clock::now();
        ++sends;
    }
    EXPECT_EQ(MessageOf<EEtherLinkError>([&] { done.get(); }), "The device does not respond !");
    EXPECT_EQ(sends, 99);
    EXPECT_EQ(Link->Retransmissions() - retransmissions, 98u);
    EXPECT_GE(last - start, 98 * link::AckTimeout) << "sent again before the wait was over";
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
    const auto refused = std::chrono::steady_clock::now();
    const std::uint8_t command[] = {0, 4, 0, 0};
    EXPECT_EQ(MessageOf<EEtherLinkError>([&] { Link->SendCommand(command, 4); }),
              "Error while sending data (UDP socket)");
    EXPECT_LT(std::chrono::steady_clock::now() - refused, 1s);
}

TEST(LinkActivation, FailureLeavesActiveSetWithoutSocketUntilDeactivated) {
    TUDPComponent component;
    component.SetPort(70000); // would otherwise bind port 70000 - 65536 = 4464
    EXPECT_EQ(MessageOf<ESocketUDPError>([&] { component.SetActive(true); }),
              "Error during Creation (UDP socket)");
    EXPECT_TRUE(component.Active());
    EXPECT_EQ(component.SocketHandle(), -1);
    component.SetActive(false);
    EXPECT_FALSE(component.Active());
    TEtherLinkUDP link;
    const std::uint8_t command[] = {0, 4, 0, 0};
    EXPECT_EQ(MessageOf<EEtherLinkError>([&] { link.SendData(command, 4); }),
              "Connection not initialised !");
}

} // namespace
} // namespace velk
