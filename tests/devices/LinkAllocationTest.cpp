// The receive path allocates nothing: acknowledgements, box data in and out of order,
// repeats and ignored frames are handled on the receive thread without a heap allocation.
// This program replaces operator new to count the allocations made on that thread.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "tests/devices/LinkFixture.h"

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

// Notes the receive thread on its first call and counts bytes without allocating.
class ThreadSpotter : public TSocketReceiveEvent {
public:
    void OnReceive(const void*, const std::uint8_t*, int NbByteReceived) override {
        WatchedThread.store(std::this_thread::get_id());
        Bytes.fetch_add(NbByteReceived);
    }
    std::atomic<int> Bytes{0};
};

using LinkAllocation = LinkTest;

TEST_F(LinkAllocation, ReceiveThreadAllocatesNothing) {
    ThreadSpotter spotter;
    Link->SetOnReceive(&spotter);
    Reset();
    SendAcked(1, "a");
    while (spotter.Bytes.load() < 1) // the receive thread is known once it has delivered
        std::this_thread::yield();
    WatchedAllocations.store(0);
    // Frames out of order, a repeat of the delivered 1, one in the ignored band (d = 88).
    for (const int sequence : {4, 3, 1, 2, 90})
        Peer->Send(BoxData(std::uint8_t(sequence), "bc"));
    for (const int sequence : {4, 3, 1, 2})
        ExpectDataAck(std::uint8_t(sequence));
    for (int i = 0; i < 3; ++i) { // requests acknowledged on the receive thread
        auto done = Command({0, 4, 0, 0});
        AckNextRequest();
        done.get();
    }
    SendAcked(5, "d");
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (spotter.Bytes.load() < 8 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(spotter.Bytes.load(), 1 + 3 * 2 + 1);
    EXPECT_EQ(WatchedAllocations.load(), 0);
    Link->SetOnReceive(nullptr);
}

} // namespace
} // namespace velk
