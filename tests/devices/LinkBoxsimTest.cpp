// The link against velk-boxsim with its faults on: every reply byte must arrive once and in
// order, and the simulator must end cleanly on SIGTERM.

#include <gtest/gtest.h>

#include <string>

#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"
#include "tests/TestSupport.h"
#include "tests/devices/ScriptedPeer.h"
#include "tests/devices/StreamRecorder.h"
#include "tools/boxsim/BoxSimLauncher.h"

namespace velk {
namespace {

using namespace std::chrono_literals;

TEST(LinkWithBoxSimulator, RepliesArriveInOrderDespiteLossDuplicationAndReordering) {
    if (!test::CanBindPort192())
        GTEST_SKIP() << "UDP port 192 cannot be bound here: run inside scripts/netns.sh";
    boxsim::TBoxSimLauncher box((test::BinDir() + "/velk-boxsim").toStdString(),
                                {"--address", "127.0.0.2", "--echo", "3", "--loss", "0.15",
                                 "--duplicate", "0.2", "--reorder", "0.3", "--late-ack", "0.1",
                                 "--seed", "7"});

    test::TStreamRecorder stream;
    TEthernetLinkShared link;
    link.SetPort(link::BoxPort);
    link.SetReceiveBufferSize(4096);
    link.SetAddrB1(127);
    link.SetAddrB4(2);
    link.SetOnReceive(&stream);
    link.SetActive(true);
    link.ResetLink();

    // The box echoes each command's instrument bytes in pieces of 3, each its own frame.
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        const std::string body = "command " + std::to_string(i) + ";";
        const test::TBytes payload = test::CommandPayload(body);
        std::lock_guard transaction(link.Lock);
        link.SendCommand(payload.data(), static_cast<int>(payload.size()));
        expected += body;
        ASSERT_EQ(stream.WaitFor(expected.size(), 10s), expected) << "after command " << i;
    }
    link.SetActive(false);
    // Nothing arrived twice, even after the frames' retransmissions.
    EXPECT_EQ(stream.Bytes(), expected);
    EXPECT_TRUE(box.Stop()) << "velk-boxsim did not end cleanly on SIGTERM";
}

} // namespace
} // namespace velk
