// The link against velk-boxsim with its transport faults on: every reply byte must arrive
// once and in order, and the simulator must end cleanly on SIGTERM.

#include "devices/InstrumentFrame.h"
#include "tests/devices/LinkFixture.h"
#include "tools/boxsim/BoxSimLauncher.h"

namespace velk {
namespace {

TEST(LinkWithBoxSimulator, RepliesArriveInOrderDespiteLossDuplicationAndReordering) {
    VELK_NEEDS_PORT_192();
    boxsim::TBoxSimLauncher box((test::BinDir() + "/velk-boxsim").toStdString(),
                                {"--address", "127.0.0.2", "--echo", "3", "--loss", "0.15",
                                 "--duplicate", "0.2", "--reorder", "0.3", "--late-ack", "0.1",
                                 "--seed", "7"});
    test::TStreamRecorder stream;
    TEthernetLinkShared link;
    test::OpenLink(link, &stream);
    link.ResetLink();
    // The box echoes each command's instrument bytes in pieces of 3, each its own frame.
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        const std::string body = "command " + std::to_string(i) + ";";
        const QByteArray payload = RequestWithLength(QByteArray::fromStdString(body));
        link.SendCommand(reinterpret_cast<const std::uint8_t*>(payload.constData()),
                         static_cast<int>(payload.size()));
        expected += body;
        ASSERT_EQ(stream.WaitFor(expected.size(), std::chrono::seconds(10)), expected) << i;
    }
    link.SetActive(false);
    EXPECT_EQ(stream.WaitFor(0), expected) << "a retransmitted frame was delivered twice";
    EXPECT_TRUE(box.Stop()) << "velk-boxsim did not end cleanly on SIGTERM";
}

TEST(LinkWithBoxSimulator, AResetDropsTheFramesTheBoxStillHeldBack) {
    VELK_NEEDS_PORT_192();
    // Every datagram of the box is held back 400 ms; an unacknowledged frame goes out again
    // every 150 ms, so copies of the old reply are still held when the reset comes.
    boxsim::TBoxSimLauncher box((test::BinDir() + "/velk-boxsim").toStdString(),
                                {"--address", "127.0.0.2", "--echo", "3", "--reorder", "1",
                                 "--reorder-ms", "400", "--resend-ms", "150", "--seed", "7"});
    test::TStreamRecorder stream;
    TEthernetLinkShared link;
    test::OpenLink(link, &stream);
    link.ResetLink();
    std::string expected;
    for (const std::string body : {"old;", "new;"}) {
        const QByteArray payload = RequestWithLength(QByteArray::fromStdString(body));
        link.SendCommand(reinterpret_cast<const std::uint8_t*>(payload.constData()),
                         static_cast<int>(payload.size()));
        expected += body;
        ASSERT_EQ(stream.WaitFor(expected.size(), std::chrono::seconds(10)), expected);
        link.ResetLink();
    }
    link.SetActive(false);
    EXPECT_EQ(stream.WaitFor(0), expected) << "a stale frame was taken for a new one";
}

} // namespace
} // namespace velk
