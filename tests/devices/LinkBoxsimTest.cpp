// The link against velk-boxsim with its transport faults on: every reply byte must arrive
// once and in order, and the simulator must end cleanly on SIGTERM.

#include "devices/InstrumentFrame.h"
#include "tests/devices/LinkFixture.h"
#include "tools/boxsim/BoxSimLauncher.h"

namespace velk {
namespace {

// The box echoes each command's instrument bytes in pieces of 3, each its own frame.
TEST(LinkWithBoxSimulator, RepliesArriveOnceInOrderDespiteTransportFaultsAndResets) {
    VELK_NEEDS_PORT_192();
    struct Case {
        std::vector<std::string> faults;
        int commands;
        bool resetAfterEach;
    } cases[] = {
        {{"--loss", "0.15", "--duplicate", "0.2", "--reorder", "0.3", "--late-ack", "0.1"},
         40,
         false},
        // Every datagram of the box is held back 400 ms; an unacknowledged frame goes out again
        // every 150 ms, so copies of the old reply are still held when the reset comes: a reset
        // must drop them, or they would be taken for new ones.
        {{"--reorder", "1", "--reorder-ms", "400", "--resend-ms", "150"}, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.faults));
        std::vector<std::string> args = {"--address", "127.0.0.2", "--echo", "3", "--seed", "7"};
        args.insert(args.end(), c.faults.begin(), c.faults.end());
        boxsim::TBoxSimLauncher box((test::BinDir() + "/velk-boxsim").toStdString(), args);
        test::TStreamRecorder stream;
        TEthernetLinkShared link;
        test::OpenLink(link, &stream);
        link.ResetLink();
        std::string expected;
        for (int i = 0; i < c.commands; ++i) {
            const std::string body = "command " + std::to_string(i) + ";";
            const QByteArray payload = RequestWithLength(QByteArray::fromStdString(body));
            link.SendCommand(reinterpret_cast<const std::uint8_t*>(payload.constData()),
                             static_cast<int>(payload.size()));
            expected += body;
            ASSERT_EQ(stream.WaitFor(expected.size()), expected) << i;
            if (c.resetAfterEach) link.ResetLink();
        }
        link.SetActive(false);
        EXPECT_EQ(stream.WaitFor(0), expected) << "a frame was delivered twice";
        EXPECT_TRUE(box.Stop()) << "velk-boxsim did not end cleanly on SIGTERM";
    }
}

} // namespace
} // namespace velk
