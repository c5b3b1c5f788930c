// The alarm handling an operator adds, driven with no window and a clock of the test's: the
// delay before a start, the deadband before an end, reminders, the silent-instrument alarm, the
// heartbeat file and the test mail; and, with every addition off, the plain alarms unchanged.

#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/AlarmMail.h"
#include "app/Alarms.h"
#include "app/AliveFile.h"
#include "app/MailMute.h"
#include "common/DateTimeText.h"
#include "common/NumberFormat.h"
#include "tests/TestSupport.h"
#include "tests/mail/ScriptedSmtpServer.h"

using namespace velk;

namespace {

TAlarmInstant At(double seconds) {
    const auto ms = static_cast<std::int64_t>(seconds * 1000);
    return {ms, QDateTime(QDate(2024, 5, 12), QTime(14, 0)).addMSecs(ms)};
}

// Each of the `mails` mails one server received has subject "Alarm", a date of now with the
// local offset, and a Message-ID of its own from this host.
void ExpectSubjectDateAndIdOnEach(const std::string& received, qsizetype mails) {
    const QString data = QString::fromStdString(received);
    EXPECT_EQ(data.count(QStringLiteral("\r\nSubject: Alarm\r\n")), mails);
    static const QRegularExpression dateLine(
        "\r\nDate: ((?:\\w{3}, )?\\d{1,2} (?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "\\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4})\r\n");
    qsizetype dates = 0;
    for (const QRegularExpressionMatch& m : dateLine.globalMatch(data)) {
        const QDateTime when = QDateTime::fromString(m.captured(1), Qt::RFC2822Date);
        const QDateTime now = QDateTime::currentDateTime();
        EXPECT_LT(std::abs(when.secsTo(now)), 600) << m.captured(1).toStdString();
        EXPECT_EQ(when.offsetFromUtc(), now.offsetFromUtc()) << m.captured(1).toStdString();
        ++dates;
    }
    EXPECT_EQ(dates, mails);
    const QRegularExpression idLine("\r\nMessage-ID: (<[^<>@\\s]+@" +
                                    QRegularExpression::escape(QHostInfo::localHostName()) +
                                    ">)\r\n");
    QSet<QString> ids;
    for (const QRegularExpressionMatch& m : idLine.globalMatch(data))
        ids.insert(m.captured(1));
    EXPECT_EQ(ids.size(), mails);
}

// The same readings through the plain check (before the alarm handling existed: its output is
// plain-alarms.txt) and through the evaluator with every addition off give the same log lines
// and the same mails, ticks failing or not.
TEST(AlarmHandling, WithEveryAdditionOffTheMailsAndLogLinesAreThoseOfThePlainCheck) {
    SetDecimalSeparator(QChar('.'));
    TAlarmTempArray temps;
    TAlarmLimits vacuum{true, 0.0, 2e-5, false};
    temps[1] = {true, -200.0, -175.0, false};
    temps[2] = {true, -195.0, -185.0, false};
    test::ScriptedServer server({});
    QStringList lines;
    TAlarmNotifier notifier([&](const QString& l) { lines << l; });
    TAlarmEvaluator evaluator;
    std::uint32_t seed = 12345;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(n));
    };
    for (int i = 0; i < 80; ++i) {
        TReadings r;
        r.Temp[1] = next(9) == 0 ? -300.0 : -175.0 + (next(61) - 30) / 10.0;
        r.Temp[2] = next(2) ? -185.0 + (next(41) - 20) / 10.0 : -195.0 + (next(41) - 20) / 10.0;
        r.Vacuum = next(8) == 0 ? -1.0f : static_cast<float>(2e-5 * (0.8 + next(46) / 100.0));
        r.TickCount = static_cast<std::uint64_t>(i / 2); // every other update is a command's
        r.GroupAnswer = {i % 3 ? TGroupAnswer::Answered : TGroupAnswer::Failed,
                         i > 60 ? TGroupAnswer::Failed : TGroupAnswer::Answered};
        const int edit = i % 20 == 19 ? i / 20 + 1 : 0;
        if (edit == 1) temps[1].Enabled = false;
        if (edit == 2) temps[1].Enabled = true, vacuum.Max = 1e-5;
        if (edit == 3) vacuum.Enabled = false;
        if (edit == 4) vacuum.Enabled = true, temps[2].Min = -190.0;
        for (const TAlarmChange& c : evaluator.Evaluate(r, temps, vacuum, {}, At(i * 600.0)))
            notifier.Notify(
                c.Kind == TAlarmChange::Start, c.Message,
                {true, QStringLiteral("127.0.0.1"), QStringLiteral("a@b"), {server.Port()}});
    }
    QStringList bodies =
        QString::fromStdString(server.data).split("\r\n").filter(QRegularExpression("^Alarm"));
    QString got = lines.join('\n') + "\n--- mail ---\n" + bodies.join('\n') + "\n";
    got.replace(QRegularExpression(QStringLiteral("(Alarm(?: stopped)? at ).*?\\n")),
                "\\1<time>\n");
    QFile plain(QStringLiteral(VELK_PLAIN_ALARMS));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(got, QString::fromUtf8(plain.readAll()));
    ExpectSubjectDateAndIdOnEach(
        server.data, std::count(server.commands.begin(), server.commands.end(), "DATA\r\n"));
}

struct TStep {
    double t; // s
    double temp1;
    float vacuum;
    // The controllers' answer at the tick of this update; None: an update without a tick (a
    // set-point command) on the last tick's readings, which keeps the last tick's answer.
    TGroupAnswer controllers = TGroupAnswer::Answered;
    bool disable = false; // the cold plate alarm, before this update
    bool lost = false;    // the box is away: the values are old ones
    bool resume = false;  // mail resumes after a mute, after this update
};

TEST(AlarmHandling, DelayDeadbandRemindersAndSilenceFollowTheClock) {
    SetDecimalSeparator(QChar('.'));
    const double no = -300.0; // no temperature
    const float out = 3e-4f, in = 5e-5f;
    const auto ok = TGroupAnswer::Answered, failed = TGroupAnswer::Failed,
               none = TGroupAnswer::None;
    const struct {
        const char* name;
        std::function<void(TAlarmHandlingParameters&)> handling;
        std::vector<TStep> steps;
        std::vector<const char*> changes; // "<t>:<+ start, - end, R reminder><message>"
    } cases[] = {
        {"limits reached exactly start, the cold plate before the vacuum; no value changes nothing",
         [](auto&) {},
         {{0, -175, -1}, {20, -180, -1}, {30, -200, out}, {40, no, -1}, {50, -200, in, none, true}},
         {"0:+Alarm on cold plate temperature  (-175°C)",
          "20:-Alarm stopped on cold plate temperature  (-180°C)",
          "30:+Alarm on cold plate temperature  (-200°C)", "30:+Alarm on vacuum  (0.0003mb)",
          "50:-Alarm stopped on cold plate temperature  (-200°C)",
          "50:-Alarm stopped on vacuum (5E-5mb)"}},
        {"a vacuum out for less than the delay mails nothing, for longer once",
         [](auto& h) { h.Vacuum.Delay = 30; },
         {{0, no, out}, {20, no, out}, {25, no, in}, {40, no, out}, {60, no, out}, {70, no, out}},
         {"70:+Alarm on vacuum  (0.0003mb)"}},
        {"a command's update between ticks advances no delay",
         [](auto& h) { h.Temp[1].Delay = 30; },
         {{0, -170, -1}, {35, -170, -1, none}, {60, -170, -1}},
         {"60:+Alarm on cold plate temperature  (-170°C)"}},
        {"a reading without a value restarts the delay",
         [](auto& h) { h.Temp[1].Delay = 30; },
         {{0, -170, -1}, {20, no, -1}, {30, -170, -1}, {50, -170, -1}, {60, -170, -1}},
         {"60:+Alarm on cold plate temperature  (-170°C)"}},
        {"a temperature hovering at Max with no deadband floods",
         [](auto&) {},
         {{0, -174.9, -1}, {10, -175.2, -1}, {20, -174.8, -1}, {30, -175.1, -1}, {40, -177.5, -1}},
         {"0:+Alarm on cold plate temperature  (-174.9°C)",
          "10:-Alarm stopped on cold plate temperature  (-175.2°C)",
          "20:+Alarm on cold plate temperature  (-174.8°C)",
          "30:-Alarm stopped on cold plate temperature  (-175.1°C)"}},
        {"the same with a deadband of 2 starts once and ends once",
         [](auto& h) { h.Temp[1].Deadband = 2; },
         {{0, -174.9, -1}, {10, -175.2, -1}, {20, -174.8, -1}, {30, -175.1, -1}, {40, -177.5, -1}},
         {"0:+Alarm on cold plate temperature  (-174.9°C)",
          "40:-Alarm stopped on cold plate temperature  (-177.5°C)"}},
        {"the vacuum's deadband is a factor on each limit",
         [](auto& h) { h.Vacuum.Deadband = 2; },
         {{0, no, 2e-4f},
          {10, no, 8e-5f},
          {20, no, 4e-5f},
          {30, no, 1e-6f},
          {40, no, 1.5e-6f},
          {50, no, 3e-6f}},
         {"0:+Alarm on vacuum  (0.0002mb)", "20:-Alarm stopped on vacuum (4E-5mb)",
          "30:+Alarm on vacuum  (1E-6mb)", "50:-Alarm stopped on vacuum (3E-6mb)"}},
        {"disabling a raised alarm ends it at once despite the deadband",
         [](auto& h) { h.Temp[1].Deadband = 50; },
         {{0, -170, -1}, {10, -180, -1}, {20, -180, -1, none, true}},
         {"0:+Alarm on cold plate temperature  (-170°C)",
          "20:-Alarm stopped on cold plate temperature  (-180°C)"}},
        {"three reminders at the interval, then none; a new alarm has its own",
         [](auto& h) { h.ReminderEvery = 1; },
         {{0, -170, -1},
          {50, -169, -1},
          {65, -168, -1},
          {100, no, -1},
          {125, -168, -1},
          {190, -168, -1},
          {300, -168, -1},
          {400, -180, -1},
          {410, -170, -1},
          {470, -170, -1}},
         {"0:+Alarm on cold plate temperature  (-170°C)",
          "65:RAlarm on cold plate temperature  (-170°C)",
          "125:RAlarm on cold plate temperature  (-170°C)",
          "190:RAlarm on cold plate temperature  (-170°C)",
          "400:-Alarm stopped on cold plate temperature  (-180°C)",
          "410:+Alarm on cold plate temperature  (-170°C)",
          "470:RAlarm on cold plate temperature  (-170°C)"}},
        {"old values of a box that is away neither start nor end an alarm",
         [](auto&) {},
         {{0, -180, -1},
          {10, -170, -1, none, false, true},
          {20, -170, -1},
          {30, -180, -1, none, false, true},
          {40, -180, -1}},
         {"20:+Alarm on cold plate temperature  (-170°C)",
          "40:-Alarm stopped on cold plate temperature  (-180°C)"}},
        {"mail resuming after a mute starts what is raised again; reminders count from then",
         [](auto& h) {
             h.ReminderEvery = 3;
             h.SilentAfter = 1;
         },
         {{0, -170, -1, ok},
          {60, -170, -1, failed},
          {120, -170, -1, failed},
          {150, -170, -1, failed, false, false, true},
          {200, -170, -1, failed},
          {330, -170, -1, ok}},
         {"0:+Alarm on cold plate temperature  (-170°C)",
          "120:+No answer from the temperature controllers since 12/05/2024 14:01:00",
          "150:+Alarm on cold plate temperature  (-170°C)",
          "150:+No answer from the temperature controllers since 12/05/2024 14:01:00",
          "330:RAlarm on cold plate temperature  (-170°C)",
          "330:-The temperature controllers answer again"}},
        {"controllers failing every tick for the set time: one mail, one when they answer",
         [](auto& h) { h.SilentAfter = 2; },
         {{0, no, -1, ok},
          {60, no, -1, failed},
          {150, no, -1, none},
          {179, no, -1, failed},
          {180, no, -1, failed},
          {240, no, -1, failed},
          {300, no, -1, ok},
          {360, no, -1, ok}},
         {"180:+No answer from the temperature controllers since 12/05/2024 14:01:00",
          "300:-The temperature controllers answer again"}},
    };
    for (const auto& c : cases) {
        TAlarmHandlingParameters handling;
        c.handling(handling);
        TAlarmTempArray temps;
        temps[1] = {true, -200.0, -175.0, false};
        TAlarmLimits vacuum{true, 1e-6, 1e-4, false};
        TAlarmEvaluator evaluator;
        std::vector<std::string> got;
        QDateTime started;
        TReadings r;
        for (const TStep& s : c.steps) {
            temps[1].Enabled = !s.disable;
            r.Temp[1] = s.temp1;
            r.Vacuum = s.vacuum;
            r.Lost = s.lost;
            if (s.controllers != TGroupAnswer::None) {
                r.GroupAnswer[gControllers] = s.controllers;
                ++r.TickCount;
            }
            std::vector<TAlarmChange> changes =
                evaluator.Evaluate(r, temps, vacuum, handling, At(s.t));
            if (s.resume) {
                const auto again = evaluator.Restart(temps, vacuum, At(s.t));
                changes.insert(changes.end(), again.begin(), again.end());
            }
            for (const TAlarmChange& change : changes) {
                const char* kind = change.Kind == TAlarmChange::Start  ? "+"
                                   : change.Kind == TAlarmChange::Stop ? "-"
                                                                       : "R";
                // The date-time in the locale's text, as the log shows it, made comparable.
                const QString message =
                    QString(change.Message)
                        .replace(DateTimeText(At(60).Wall), "12/05/2024 14:01:00");
                got.push_back(QString::number(s.t).toStdString() + ":" + kind +
                              message.toStdString());
                // The cold plate's own start; not a silence, nor a start again after a mute.
                if (change.Kind == TAlarmChange::Start && !s.resume &&
                    change.Message.startsWith("Alarm on"))
                    started = At(s.t).Wall;
                if (change.Kind == TAlarmChange::Reminder) {
                    EXPECT_EQ(ReminderHeaderLine(At(s.t).Wall, change.Since),
                              "Reminder at " + DateTimeText(At(s.t).Wall) + ", alarm since " +
                                  DateTimeText(started));
                }
            }
        }
        EXPECT_EQ(got, std::vector<std::string>(c.changes.begin(), c.changes.end())) << c.name;
    }
}

TEST(AlarmHandling, TheOperatorsMuteEndsAtItsTimeOrWhenSetToZero) {
    const QDateTime now = At(0).Wall, hour = now.addSecs(3600);
    EXPECT_FALSE(HoursAfter(now, 0).isValid()); // 0: not muted
    QDateTime until = HoursAfter(now, 1);
    EXPECT_EQ(until, hour);
    EXPECT_EQ(MailMutedLine(until, true),
              "Alarm mail muted until " + DateTimeText(hour) + " by the operator");
    const std::pair<QDateTime, int> left[] = {
        {now.addSecs(-1), 0}, {now.addSecs(1), 1}, {hour, 1}, {hour.addSecs(1), 2}, {{}, 0}};
    for (const auto& [end, hours] : left)
        EXPECT_EQ(HoursLeft(end, now), hours) << DateTimeText(end).toStdString();
    EXPECT_FALSE(MailMuteEnded(until, hour.addMSecs(-1)));
    EXPECT_TRUE(MailMuteEnded(until, hour));
    EXPECT_FALSE(until.isValid());
    EXPECT_FALSE(MailMuteEnded(until, hour)); // once
}

TEST(AlarmHandling, TheHeartbeatFileIsInTheRuntimeFolderAndAFaultIsReportedOnce) {
    QTemporaryDir dir;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", dir.path().toLocal8Bit());
    for (const auto& [folder, path] :
         {std::pair{dir.path().toLocal8Bit(), dir.path() + "/velk-monitor.alive"},
          {"", dir.path() + "/velk-monitor/velk-monitor.alive"},
          {"relative", dir.path() + "/velk-monitor/velk-monitor.alive"}}) {
        qputenv("XDG_RUNTIME_DIR", folder);
        EXPECT_EQ(AliveFilePath(), path) << folder.constData();
    }
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("XDG_STATE_HOME", state);

    TAliveFile alive;
    EXPECT_EQ(alive.Touch(), std::nullopt); // none set: nothing to do
    QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
    alive.SetPath(dir.filePath("file/velk-monitor.alive")); // a file where its folder should be
    const std::optional<QString> failure = alive.Touch();
    EXPECT_TRUE(failure &&
                failure->startsWith("Unable to update the heartbeat file " + dir.path()));
    EXPECT_EQ(alive.Touch(), std::nullopt); // said once, not at every tick
    alive.SetPath(dir.filePath("new/velk-monitor.alive"));
    EXPECT_EQ(alive.Touch(), std::nullopt); // folder and file made
    EXPECT_TRUE(QFile::exists(dir.filePath("new/velk-monitor.alive")));
}

// A notification made while a mail waits follows it; a test mail has a client of its own.
TEST(AlarmHandling,
     NotificationsAndTestMailsMadeDuringAnAlarmMailWaitTakeTheirTurnOrTheirOwnClient) {
    test::ScriptedServer testServer({});
    std::optional<QString> testFailure = QStringLiteral("not tried");
    QStringList lines;
    TAlarmNotifier notifier([&](const QString& l) { lines << l; });
    // Says nothing: the alarm mail waits, and the rest is done meanwhile.
    test::ScriptedServer silent({{"<greeting>", ""}}, QHostAddress::LocalHost, 0, [&] {
        notifier.Notify(false, QStringLiteral("second"), {false, {}, {}});
        testFailure = SendTestMail(
            {false, QStringLiteral("127.0.0.1"), QStringLiteral("t@lab"), {testServer.Port()}});
    });
    notifier.Notify(true, QStringLiteral("first"),
                    {true, QStringLiteral("127.0.0.1"), QStringLiteral("a@b"), {silent.Port()}});
    EXPECT_EQ(testFailure, std::nullopt);
    EXPECT_NE(testServer.data.find("\r\nTest mail\r\n"), std::string::npos) << testServer.data;
    EXPECT_EQ(testServer.commands.at(3), "RCPT TO:<t@lab>\r\n");
    ExpectSubjectDateAndIdOnEach(testServer.data, 1);
    ASSERT_EQ(lines.size(), 5) << lines.join('|').toStdString();
    EXPECT_EQ(lines[0], "Unable to send an Email:Socket readln aborted");
    EXPECT_EQ(lines[2], "first");
    EXPECT_EQ(lines[4], "second");
}

// A mail that cannot go logs one failure within the mail's time-outs, then the alarm's two
// lines; a test mail there fails the same way.
TEST(AlarmHandling, AMailWithoutServerOrAddressOrSmtpPeerLogsOneFailureThenTheAlarmLines) {
    const std::string err = "-ERR unknown command\r\n";
    test::ScriptedServer smtp({});
    test::ScriptedServer pop({{"<greeting>", err},
                              {"HELO", err},
                              {"RSET", err},
                              {"MAIL", err},
                              {"RCPT", err},
                              {"DATA", err},
                              {".", err},
                              {"QUIT", err}});
    const struct {
        const char* server;
        const char* address;
        int port;
        const char* failure;
    } cases[] = {{"", "a@b", smtp.Port(), "Host Lookup Failed"},
                 {"127.0.0.1", "", smtp.Port(), "Incomplete Header"},
                 {"127.0.0.1", "a@b", pop.Port(), "-ERR unknown command"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        QStringList lines;
        TAlarmNotifier notifier([&](const QString& l) { lines << l; });
        const TAlarmMailSettings settings{true, c.server, c.address, {c.port}};
        const auto start = std::chrono::steady_clock::now();
        notifier.Notify(false, QStringLiteral("end"), settings);
        // Look-up, connection, a line and QUIT's line: 2 s each at most.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
        ASSERT_EQ(lines.size(), 3) << lines.join('|').toStdString();
        EXPECT_EQ(lines[0], UnableToSendText(c.failure));
        EXPECT_TRUE(lines[1].startsWith("Alarm stopped at "));
        EXPECT_EQ(lines[2], "end");
        EXPECT_EQ(SendTestMail(settings), c.failure);
    }
}

} // namespace
