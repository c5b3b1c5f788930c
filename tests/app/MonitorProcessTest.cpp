// Runs the real velk-monitor program and ends it with SIGTERM, as a logout would; the
// handler that does so leaves errno alone.

#include <cerrno>
#include <csignal>

#include <QDeadlineTimer>
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/SignalCloser.h"
#include "tests/TestSupport.h"

namespace {

void Prepare(QProcess& monitor, const QString& configDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    monitor.setProcessEnvironment(env);
}

// Starts the monitor with its settings in `configDir` and terminates it; true when it ended
// by itself with exit code 0.
bool RunAndTerminate(const QString& configDir, const QStringList& arguments = {}) {
    QProcess monitor;
    Prepare(monitor, configDir);
    // SIGTERM stays ignored until the monitor installs its own handler, so a signal sent
    // while it is still starting cannot kill it unsaved.
    monitor.setChildProcessModifier([] { ::signal(SIGTERM, SIG_IGN); });
    monitor.start(velk::test::BinDir() + QStringLiteral("/velk-monitor"), arguments);
    if (!monitor.waitForStarted(20000)) return false;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        ::kill(static_cast<pid_t>(monitor.processId()), SIGTERM);
        if (monitor.waitForFinished(200)) break;
    }
    if (monitor.state() != QProcess::NotRunning) {
        monitor.kill();
        monitor.waitForFinished(5000);
        return false;
    }
    return monitor.exitStatus() == QProcess::NormalExit && monitor.exitCode() == 0;
}

TEST(MonitorProcess, SigtermClosesTheWindowAndSavesTheSettings) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(RunAndTerminate(config.path()));
    QFile ini(config.filePath(QStringLiteral("ZURazirod.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray first = ini.readAll();
    EXPECT_TRUE(first.startsWith("[VelkM_main]\nVersionIDSoft=V1.00\nRefreshRate=10000\n")) << first.constData();
    EXPECT_TRUE(first.contains("SMTPServer=localhost\n"));
    ini.close();

    // A second run reads the store back and writes the same values again; started connected
    // to a box that never answers, it still ends at once and saves.
    QByteArray edited = first;
    edited.replace("RefreshRate=10000", "RefreshRate=2500");
    edited.replace("alarmtempmin1=-1E5", "alarmtempmin1=-1.8E2");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(edited);
    ini.close();
    ASSERT_TRUE(RunAndTerminate(config.path(), {QStringLiteral("--connect")}));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), edited);
}

TEST(MonitorProcess, TheCommandLineAnswersHelpAndVersionAndRefusesWhatItDoesNotKnow) {
    QTemporaryDir config;
    const struct {
        const char* argument;
        int exitCode;
        const char* output; // contained in stdout, or stderr on failure
    } cases[] = {{"--version", 0, "Velk Monitor 1.00\n"},
                 {"--help", 0, "--connect"},
                 {"--conect", 1, "Unknown option 'conect'."}};
    for (const auto& c : cases) {
        QProcess monitor;
        Prepare(monitor, config.path());
        monitor.start(velk::test::BinDir() + QStringLiteral("/velk-monitor"),
                      {QString::fromLatin1(c.argument)});
        ASSERT_TRUE(monitor.waitForFinished(20000)) << c.argument;
        EXPECT_EQ(monitor.exitCode(), c.exitCode) << c.argument;
        const QByteArray out =
            c.exitCode == 0 ? monitor.readAllStandardOutput() : monitor.readAllStandardError();
        EXPECT_TRUE(out.contains(c.output)) << out.constData();
    }
    EXPECT_FALSE(QFile::exists(config.filePath(QStringLiteral("ZURazirod.ini"))));
}

TEST(MonitorProcess, ASignalDismissesAnOpenDialogSoTheWindowCloses) {
    QWidget window;
    window.show();
    velk::SignalCloser closer(&window);
    QDialog dialog(&window);
    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    QTimer::singleShot(10000, &dialog, &QDialog::accept); // what a fault would end with
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_FALSE(window.isVisible());
}

TEST(MonitorProcess, TheSignalHandlerLeavesErrnoAsItFoundIt) {
    QWidget window;
    velk::SignalCloser closer(&window);
    // Nothing reads the handler's pipe here, so its writes soon fail with EAGAIN.
    for (int i = 0; i < 20000; ++i) {
        errno = ENOTTY;
        std::raise(SIGHUP);
        if (errno != ENOTTY) {
            ADD_FAILURE() << "errno " << errno << " after " << i + 1 << " signals";
            break;
        }
    }
}

} // namespace
