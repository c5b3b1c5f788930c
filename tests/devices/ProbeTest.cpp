// velk-probe against velk-boxsim: one acquisition printed as the main window shows it, group
// failures, transport faults, writes, and the exit statuses scripts rely on.

#include <memory>
#include <string>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <gtest/gtest.h>

#include "common/NumberFormat.h"
#include "devices/ADAM4017Protocol.h"
#include "tests/TestSupport.h"
#include "tools/boxsim/BoxSimLauncher.h"
#include "tools/boxsim/HeldValues.h"

namespace {

QProcessEnvironment CLocale() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return env;
}

// velk-boxsim for the length of a test, with a fixed seed, the held values unless the test
// wants the live model, and `extra`.
class BoxSim {
public:
    explicit BoxSim(const std::vector<std::string>& extra = {}, bool heldValues = true) {
        std::vector<std::string> args = {"--seed", "7", "--exit-with-parent"};
        if (heldValues) {
            const auto held = velk::boxsim::HeldValueArguments();
            args.insert(args.end(), held.begin(), held.end());
        }
        args.insert(args.end(), extra.begin(), extra.end());
        try {
            launcher_ = std::make_unique<velk::boxsim::TBoxSimLauncher>(
                (velk::test::BinDir() + "/velk-boxsim").toStdString(), args);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    bool Started() const { return launcher_ != nullptr; }

private:
    std::unique_ptr<velk::boxsim::TBoxSimLauncher> launcher_;
};

struct ProbeResult {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

ProbeResult RunProbe(const QStringList& args) {
    QProcess probe;
    probe.setProcessEnvironment(CLocale());
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

// What the main window shows for the forced values; the vacuum as the module's three
// decimals of volts give it back.
QStringList ForcedLines() {
    const QString vacuum = velk::FormatGeneral(velk::adam4017::VacuumFromVolts(3.797f), 3, '.');
    return {"Temp1\t-180.5",       "SetPoint1\t-180", "Temp2\t-191.2",     "SetPoint2\t-190",
            "AlarmLow\t-198",      "Power\t37",       "Vacuum\t" + vacuum, "PumpStatus\tRunning",
            "ValveStatus\tClosed", "LN2Level\t42.5"};
}

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!velk::test::CanBindPort192())
            GTEST_SKIP() << "needs UDP port 192 (run inside scripts/netns.sh)";
    }
};

TEST_F(ProbeTest, PrintsAllTenReadingsInTickOrder) {
    BoxSim box;
    ASSERT_TRUE(box.Started());
    const ProbeResult result = RunProbe({});
    EXPECT_EQ(result.lines, ForcedLines());
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
}

TEST_F(ProbeTest, TransportFaultsDoNotChangeTheReadings) {
    BoxSim box({"--loss", "0.2", "--duplicate", "0.2", "--reorder", "0.2"});
    ASSERT_TRUE(box.Started());
    const ProbeResult result = RunProbe({"127.0.0.2"});
    EXPECT_EQ(result.lines, ForcedLines());
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
}

TEST_F(ProbeTest, ASilentModuleFailsItsGroupOnly) {
    BoxSim box({"--silent", "module"});
    ASSERT_TRUE(box.Started());
    const ProbeResult result = RunProbe({});
    EXPECT_EQ(result.lines,
              ForcedLines().mid(0, 6) + QStringList{"error\tCommand failure (time out  1000 ms)"});
    EXPECT_EQ(result.exitCode, 1);
}

TEST_F(ProbeTest, ASilentControllerStopsTheControllerGroupAtItsFirstRead) {
    BoxSim box({"--silent", "controller2"});
    ASSERT_TRUE(box.Started());
    const ProbeResult result = RunProbe({});
    EXPECT_EQ(result.lines, ForcedLines().mid(0, 2) +
                                QStringList{"error\tCommand failure (time out  1000 ms)"} +
                                ForcedLines().mid(6));
    EXPECT_EQ(result.exitCode, 1);
}

TEST_F(ProbeTest, CorruptedRepliesEndInReadingsOrTheirOwnMessages) {
    BoxSim box({"--corrupt", "0.5"});
    ASSERT_TRUE(box.Started());
    const ProbeResult result = RunProbe({});
    ASSERT_GE(result.lines.size(), 2); // at least each group's first line
    int errors = 0;
    for (const QString& line : result.lines) {
        if (!line.startsWith("error\t")) continue;
        ++errors;
        EXPECT_TRUE(line.startsWith("error\tBad received response")) << line.toStdString();
    }
    EXPECT_LE(errors, 2);
    EXPECT_EQ(result.exitCode, errors == 0 ? 0 : 1);
}

TEST_F(ProbeTest, WritesReachTheControllersOrReportTheirRefusal) {
    {
        BoxSim box({}, false);
        ASSERT_TRUE(box.Started());
        const ProbeResult result =
            RunProbe({"--set-point", "2", "-185.5", "--alarm-low", "-200.3"});
        EXPECT_TRUE(result.lines.contains("SetPoint2\t-185.5"))
            << result.lines.join('|').toStdString();
        EXPECT_TRUE(result.lines.contains("AlarmLow\t-200.3"));
        EXPECT_EQ(result.exitCode, 0);
    }
    BoxSim box({"--refuse-writes", "7"});
    ASSERT_TRUE(box.Started());
    const ProbeResult result = RunProbe({"--alarm-low", "-200"});
    ASSERT_FALSE(result.lines.isEmpty());
    EXPECT_EQ(result.lines.front(), "error\tError message:  code 07");
    EXPECT_EQ(result.lines.size(), 11);
    EXPECT_EQ(result.exitCode, 1);
}

TEST_F(ProbeTest, UsageAndLinkErrorsExitWithTwo) {
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
}

} // namespace
