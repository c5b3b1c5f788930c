// The event log and readings history on disk, with a clock and a folder of the test's own.

#include <sys/stat.h>

#include <functional>
#include <optional>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include "app/Display.h"
#include "app/History.h"
#include "common/NumberFormat.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

const QTimeZone kZone(2 * 3600);

struct History {
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("velk-monitor"));
    QDateTime now{QDate(2024, 5, 1), QTime(23, 59, 58), kZone};
    QStringList notices;

    THistory Open() {
        return THistory(
            folder, [this] { return now; }, [this](const QString& l) { notices << l; });
    }
    QByteArray File(const char* name) {
        QFile f(folder + '/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
};

TDisplay Shown(const std::function<void(TReadings&)>& set = {}) {
    TReadings r;
    if (set) set(r);
    return DisplayReadings(r, QLatin1Char('.'));
}

TEST(History, LinesAreAppendedAcrossARestartAndAtMidnightANewDayBegins) {
    History h;
    h.Open().AppendEvent(QStringLiteral("first\nrun"));
    h.Open().AppendReadings(Shown());
    // A crash cut a line short: it would claim a wrong value, so the next run drops it.
    QFile cut(h.folder + "/readings-2024-05-01.csv");
    ASSERT_TRUE(cut.open(QIODevice::Append));
    cut.write("2024-05-01T23:59:59+02:00,-19");
    cut.close();
    THistory second = h.Open();
    second.AppendReadings(Shown());
    second.AppendEvent(QStringLiteral("second run"));
    h.now = h.now.addSecs(3);
    second.AppendReadings(Shown());
    second.AppendEvent(QStringLiteral("next day"));

    const QByteArray header = THistory::ReadingsHeader();
    EXPECT_EQ(header,
              "time,temp1,power,setpoint1,temp2,setpoint2,alarmlow,vacuum,pump,valve,level\n");
    EXPECT_EQ(h.File("readings-2024-05-01.csv"), header + "2024-05-01T23:59:58+02:00,,,,,,,,,,\n"
                                                          "2024-05-01T23:59:58+02:00,,,,,,,,,,\n");
    EXPECT_EQ(h.File("readings-2024-05-02.csv"), header + "2024-05-02T00:00:01+02:00,,,,,,,,,,\n");
    EXPECT_EQ(h.File("events-2024-05-01.log"), "2024-05-01T23:59:58+02:00  first run\n"
                                               "2024-05-01T23:59:58+02:00  second run\n");
    EXPECT_EQ(h.File("events-2024-05-02.log"), "2024-05-02T00:00:01+02:00  next day\n");
    EXPECT_TRUE(h.notices.isEmpty());
}

TEST(History, AFieldIsEmptyUnlessTheLastTickReadAValueAndNumbersUseAPoint) {
    const QChar separator = DecimalSeparator();
    SetDecimalSeparator(QLatin1Char(','));
    History h;
    const QDateTime at(QDate(2024, 5, 1), QTime(10, 0, 0), kZone);
    h.Open().AppendReadings(Shown([&](TReadings& r) {
        r.Temp[1] = -195.347;
        r.Refreshed(qTemp1, at);
        r.Power = 12.5;
        r.Refreshed(qPower, at);
        r.Temp[2] = -190.0; // read by an earlier tick only
        r.Refreshed(qTemp2, at);
        r.Fresh[qTemp2] = false;
        r.SetPoint[2] = -190.0; // never read: written by the operator only
        r.Vacuum = -1.0f;       // read, but out of the gauge's range
        r.Refreshed(qVacuum, at);
        r.Vacuum = 2.34e-6f;
        r.PumpStatus = 0;
        r.Refreshed(qPumpStatus, at);
        r.ValveStatus = 1;
        r.Refreshed(qValveStatus, at);
    }));
    SetDecimalSeparator(separator);
    EXPECT_TRUE(
        h.File("readings-2024-05-01.csv")
            .endsWith("\n2024-05-01T23:59:58+02:00,-195.35,12.5,,,,,2.34E-6,Running,Closed,\n"));
}

// Each fault is made so that it holds for root too, as CI runs.
TEST(History, AFailingFolderOrFileIsReportedOnceAndItsRecoveryOnce) {
    std::optional<test::TFullDisk> full;
    const struct {
        const char* name;
        std::function<void(History&)> breakIt, repair;
        const char* reason;
    } faults[] = {
        {"folder is a file", [](History& h) { QFile(h.folder).open(QIODevice::WriteOnly); },
         [](History& h) { QFile::remove(h.folder); }, "Not a directory"},
        {"writes fail halfway", [&full](History&) { full.emplace(40); }, // shorter than the header
         [&full](History&) { full.reset(); }, "File too large"},
        {"event log is a link, whose target is neither cut nor appended to",
         [](History& h) {
             QDir().mkpath(h.folder);
             QFile target(h.dir.filePath("target"));
             ASSERT_TRUE(target.open(QIODevice::WriteOnly) && target.write("no line end") > 0);
             QFile::link(target.fileName(), h.folder + "/events-2024-05-01.log");
         },
         [](History& h) {
             QFile target(h.dir.filePath("target"));
             EXPECT_TRUE(target.open(QIODevice::ReadOnly) && target.readAll() == "no line end");
             QFile::remove(h.folder + "/events-2024-05-01.log");
         },
         "Not a regular file"},
        {"readings file is a named pipe",
         [](History& h) {
             QDir().mkpath(h.folder);
             mkfifo(QFile::encodeName(h.folder + "/readings-2024-05-01.csv").constData(), 0644);
         },
         [](History& h) { QFile::remove(h.folder + "/readings-2024-05-01.csv"); },
         "Not a regular file"},
        {"event log is a folder",
         [](History& h) { QDir().mkpath(h.folder + "/events-2024-05-01.log"); },
         [](History& h) { QDir(h.folder + "/events-2024-05-01.log").removeRecursively(); },
         "Is a directory"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        History h;
        fault.breakIt(h);
        THistory history = h.Open();
        for (int tick = 0; tick < 3; ++tick) {
            history.AppendReadings(Shown());
            history.AppendEvent(QStringLiteral("Command failure"));
        }
        ASSERT_EQ(h.notices.size(), 1) << h.notices.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(h.notices[0].startsWith("Unable to write the history: "))
            << h.notices[0].toStdString();
        EXPECT_TRUE(h.notices[0].contains(fault.reason)) << h.notices[0].toStdString();
        fault.repair(h);
        history.AppendReadings(Shown());
        history.AppendEvent(QStringLiteral("back"));
        ASSERT_EQ(h.notices.size(), 2) << h.notices.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(h.notices[1].startsWith("History written again in " + h.folder));
        EXPECT_TRUE(h.File("events-2024-05-01.log")
                        .endsWith("are missing)\n2024-05-01T23:59:58+02:00  back\n"));
        EXPECT_TRUE(h.File("readings-2024-05-01.csv").startsWith(THistory::ReadingsHeader()));
    }
}

} // namespace
