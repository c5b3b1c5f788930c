// velk-probe against velk-boxsim: one acquisition printed as the main window shows it, group
// failures, transport faults, writes, and the exit statuses scripts rely on.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include "devices/EthernetDispatcher.h"
#include "tests/TestSupport.h"
#include "tools/boxsim/BoxSimLauncher.h"
#include "tools/boxsim/HeldValues.h"

namespace {

// velk-boxsim for the length of a test, with a fixed seed, the held values unless the test
// wants the live model, and `extra`.
std::unique_ptr<velk::boxsim::TBoxSimLauncher> StartBox(std::vector<std::string> extra = {},
                                                        bool heldValues = true) {
    std::vector<std::string> args = {"--seed", "7", "--exit-with-parent"};
    const auto held = velk::boxsim::HeldValueArguments();
    if (heldValues) args.insert(args.end(), held.begin(), held.end());
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<velk::boxsim::TBoxSimLauncher>(
        (velk::test::BinDir() + "/velk-boxsim").toStdString(), args);
}

struct ProbeResult {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

ProbeResult RunProbe(const QStringList& args) {
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    probe.setProcessEnvironment(env);
    probe.start(velk::test::BinDir() + QStringLiteral("/velk-probe"), args);
    ProbeResult result;
    if (!probe.waitForFinished(120000)) {
        probe.kill();
        probe.waitForFinished();
        return result;
    }
    result.exitCode = probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
    result.lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.errors = QString::fromUtf8(probe.readAllStandardError());
    return result;
}

// What the main window shows for the held values; the vacuum as the module's three decimals
// of volts give it back.
const QStringList kHeldLines = {"Temp1\t-180.5",   "SetPoint1\t-180",     "Temp2\t-191.2",
                                "SetPoint2\t-190", "AlarmLow\t-198",      "Power\t37",
                                "Vacuum\t9.99E-6", "PumpStatus\tRunning", "ValveStatus\tClosed",
                                "LN2Level\t42.5"};
const QString kTimeOut = "error\tCommand failure (time out  1000 ms)";

TEST(ProbeTest, PrintsTheReadingsAndStopsOnlyTheFailingGroup) {
    VELK_NEEDS_PORT_192();
    struct Case {
        std::vector<std::string> box;
        QStringList lines;
        int exitCode;
    } cases[] = {
        {{}, kHeldLines, 0},
        {{"--loss", "0.2", "--duplicate", "0.2", "--reorder", "0.2"}, kHeldLines, 0},
        {{"--silent", "module"}, kHeldLines.mid(0, 6) + QStringList{kTimeOut}, 1},
        {{"--silent", "controller2"},
         kHeldLines.mid(0, 2) + QStringList{kTimeOut} + kHeldLines.mid(6),
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.box));
        const auto box = StartBox(c.box);
        const ProbeResult result = RunProbe({"127.0.0.2"});
        EXPECT_EQ(result.lines, c.lines);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors.toStdString();
    }
}

TEST(ProbeTest, WritesReachTheControllersOrReportTheirRefusal) {
    VELK_NEEDS_PORT_192();
    auto box = StartBox({}, false);
    ProbeResult result = RunProbe({"--set-point", "2", "-185.5", "--alarm-low", "-200.3"});
    EXPECT_TRUE(result.lines.contains("SetPoint2\t-185.5")) << result.lines.join('|').toStdString();
    EXPECT_TRUE(result.lines.contains("AlarmLow\t-200.3"));
    EXPECT_EQ(result.exitCode, 0);
    box.reset();
    box = StartBox({"--refuse-writes", "7"});
    result = RunProbe({"--alarm-low", "-200"});
    EXPECT_EQ(result.lines, QStringList{"error\tError message:  code 07"} + kHeldLines);
    EXPECT_EQ(result.exitCode, 1);
}

TEST(ProbeTest, UsageAndLinkErrorsExitWithTwo) {
    VELK_NEEDS_PORT_192();
    for (const QStringList& args :
         {QStringList{"300.1.2.3"}, QStringList{"--bogus"}, QStringList{"--alarm-low", "-1,5"},
          QStringList{"--set-point", "3", "10"}, QStringList{"127.0.0.2", "127.0.0.3"}}) {
        const ProbeResult result = RunProbe(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(result.lines.isEmpty());
        EXPECT_TRUE(result.errors.startsWith("velk-probe: ")) << result.errors.toStdString();
    }
    // No box at all: the reset handshake fails after its retransmissions.
    const ProbeResult result = RunProbe({"127.0.0.9"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.errors, "velk-probe: The device does not respond !\n");
    // Another program's link holds the port: the probe must not take the box's datagrams.
    velk::TEthernetLinkShared link;
    link.SetPort(192);
    link.SetActive(true);
    const ProbeResult held = RunProbe({"127.0.0.2"});
    EXPECT_EQ(held.exitCode, 2);
    EXPECT_EQ(held.errors, "velk-probe: Error during Creation (UDP socket): port 192 is already "
                           "in use by another monitor or velk-probe\n");
}

} // namespace
