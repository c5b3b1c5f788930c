// What runs without an operator, driven with no window: the texts and graph points of the
// readings, the alarm notification and its mail, and one acquisition tick against velk-boxsim.

#include <functional>

#include <gtest/gtest.h>

#include "app/Acquisition.h"
#include "app/AlarmMail.h"
#include "app/Display.h"
#include "app/Reconnection.h"
#include "common/DateTimeText.h"
#include "common/ReadingDisplay.h"
#include "tests/TestSupport.h"
#include "tests/mail/ScriptedSmtpServer.h"
#include "tools/boxsim/BoxSimLauncher.h"
#include "tools/boxsim/HeldValues.h"

using namespace velk;

namespace {

// A value the last tick could not refresh keeps its text, is not plotted again, and names the
// time of its last read; a value never read is not an old one.
TEST(Display, EachReadingShowsItsDigitsOrFiveHyphensAndFeedsItsGraphOnlyWithANewValue) {
    const QDateTime at(QDate(2024, 5, 12), QTime(14, 3, 7));
    const auto oldTemp2 = [&](TReadings& r) {
        r.Temp[2] = -190.0;
        r.Refreshed(qTemp2, at);
        r.Fresh[qTemp2] = false; // the next tick failed before it
    };
    const struct {
        std::function<void(TReadings&)> set;
        TQuantity quantity;
        const char* text;
        std::optional<double> graph;
        bool old = false;
    } cases[] = {
        {[](TReadings& r) { r.Temp[1] = -195.347; }, qTemp1, "-195.35", -195.347},
        {[](TReadings& r) { r.Temp[2] = -274.0; }, qTemp2, "-----", {}},
        {[](TReadings& r) { r.Power = 0.0; }, qPower, "0", {}},
        {[](TReadings& r) { r.Vacuum = 2.34e-6f; }, qVacuum, "2.34E-6", double(2.34e-6f)},
        {[](TReadings& r) { r.Vacuum = -1.0f; }, qVacuum, "-----", {}},
        {[](TReadings& r) { r.PumpStatus = 0; }, qPumpStatus, "Running", 1.0},
        {[](TReadings& r) { r.PumpStatus = 1; }, qPumpStatus, "Stopped", 0.0},
        {[](TReadings& r) { r.PumpStatus = 2; }, qPumpStatus, "-----", {}},
        {[](TReadings& r) { r.ValveStatus = 1; }, qValveStatus, "Closed", {}},
        {[](TReadings& r) { r.LN2Level = 100.0f; }, qLN2Level, "100", 100.0},
        {[](TReadings& r) { r.LN2Level = 0.0f; }, qLN2Level, "-----", {}},
        {oldTemp2, qTemp2, "-190", {}, true},
    };
    for (const auto& c : cases) {
        TReadings readings;
        c.set(readings);
        const TShownReading shown = DisplayReadings(readings).Readings[c.quantity];
        EXPECT_EQ(shown.Text, c.text) << c.text;
        EXPECT_EQ(shown.GraphValue, c.graph) << c.text;
        EXPECT_EQ(shown.Stale, c.old) << c.text;
        EXPECT_EQ(shown.Hint, c.old ? "Old value, last read at " + DateTimeText(at) : QString());
    }
    const std::pair<float, int> bars[] = {{37.46f, 37}, {-1.0f, 0}, {150.0f, 100}};
    for (const auto& [level, bar] : bars) {
        TReadings readings;
        readings.LN2Level = level;
        EXPECT_EQ(DisplayReadings(readings).LN2Bar, bar) << level;
    }
}

struct LoggedNotifier {
    QStringList lines;
    TAlarmNotifier notifier{[this](const QString& line) { lines << line; }};
};

TEST(AlarmMail, FailuresAreLoggedFirstAndTheNextMailStartsAfreshUnlessMailIsOff) {
    // The server refuses the mail and stays on the line: the client's connection must not
    // stay open, or the next alarm would fail with "Already connected".
    test::ScriptedServer server({{".", "552 message too big\r\n"}});
    LoggedNotifier n;
    const TAlarmMailSettings settings{
        true, QStringLiteral("127.0.0.1"), QStringLiteral("a@b"), {server.Port()}};
    n.notifier.Notify(true, QStringLiteral("first"), settings);
    n.notifier.Notify(false, QStringLiteral("second"), settings);
    n.notifier.Notify(true, QStringLiteral("third"),
                      {false, settings.Server, settings.Address, settings.Submission});
    const QString failed = QStringLiteral("Unable to send an Email:552 message too big");
    ASSERT_EQ(n.lines.size(), 8) << n.lines.join('|').toStdString();
    EXPECT_EQ(n.lines[0], failed);
    EXPECT_TRUE(n.lines[1].startsWith(QStringLiteral("Alarm at ")));
    EXPECT_EQ(n.lines[2], "first");
    EXPECT_EQ(n.lines[3], failed); // tried again from the start, not "Already connected"
    EXPECT_TRUE(n.lines[4].startsWith(QStringLiteral("Alarm stopped at ")));
    EXPECT_EQ(n.lines[5], "second");
    EXPECT_EQ(n.lines[7], "third"); // mail off: the two lines only
    EXPECT_EQ(std::count(server.commands.begin(), server.commands.end(), std::string("DATA\r\n")),
              2);
}

TEST(Acquisition, SilentControllerLeavesItsReadingsOldAndLogsOneLinePerTick) {
    VELK_NEEDS_PORT_192();
    std::vector<std::string> args = boxsim::HeldValueArguments();
    args.insert(args.end(), {"--silent", "controller2"});
    boxsim::TBoxSimLauncher sim((test::BinDir() + "/velk-boxsim").toStdString(), args);
    QStringList log;
    int updates = 0;
    TAcquisition session(
        60000, [&](std::int32_t) { log << DeviceErrorLine(session.Readings.ErrorMessage, {}); },
        [&](std::int32_t) { ++updates; });
    session.Connect(127, 0, 0, 2);
    for (int tick = 1; tick <= 2; ++tick) {
        session.TimerTick(); // on the main thread its calls run at once
        EXPECT_EQ(updates, tick);
        ASSERT_EQ(log.size(), tick);
        EXPECT_TRUE(
            log.back().startsWith(QStringLiteral("Command failure (time out  1000 ms)  (")));
    }
    const TReadings& r = session.Readings;
    EXPECT_EQ(r.Temp[1], -180.5f);
    EXPECT_EQ(r.SetPoint[1], -180.0);
    EXPECT_EQ(r.Temp[2], kNoTemperature);
    EXPECT_EQ(r.LN2Level, 42.5f);
    const bool fresh[] = {true, true, false, false, false, false, true, true, true, true};
    for (int q = 0; q < kQuantityCount; ++q)
        EXPECT_EQ(r.Fresh[q], fresh[q]) << q;
    EXPECT_EQ(r.TickCount, 2u);
    EXPECT_EQ(r.GroupAnswer[gControllers], TGroupAnswer::Failed);
    EXPECT_EQ(r.GroupAnswer[gModule], TGroupAnswer::Answered);
}

// Lost after the longer of 25 s and three periods without a datagram from the box, or at
// once when it restarted; attempts at once, then 5, 10, 30 and every 60 s; the outage
// counted from the last datagram.
TEST(Reconnection, LostByTheRuleTriedOnTheScheduleAndTheOutageMeasured) {
    using namespace std::chrono_literals;
    const TReconnection::Clock::time_point t0{};
    const struct {
        std::chrono::milliseconds period;
        std::chrono::seconds silent;
        bool restarted, lost;
    } rules[] = {{300ms, 24s, false, false},
                 {300ms, 25s, false, true},
                 {10000ms, 29s, false, false},
                 {10000ms, 30s, false, true},
                 {300ms, 1s, true, true}};
    for (const auto& r : rules) {
        TReconnection c;
        c.Connected(t0);
        EXPECT_EQ(c.Judge(t0 + r.silent, t0, r.period, r.restarted), r.lost) << r.silent.count();
        EXPECT_EQ(c.AttemptDue(t0 + r.silent), r.lost) << r.silent.count();
    }
    TReconnection c;
    c.Connected(t0);
    ASSERT_TRUE(c.Judge(t0 + 30s, t0 + 2s, 300ms, false));
    EXPECT_FALSE(c.Judge(t0 + 31s, t0 + 2s, 300ms, false)); // told once
    auto at = t0 + 30s;
    for (const auto gap : {5s, 10s, 30s, 60s, 60s}) {
        EXPECT_FALSE(c.AttemptFailed(at)); // an outage is told by its lost line only
        EXPECT_FALSE(c.AttemptDue(at + gap - 1ms)) << gap.count();
        EXPECT_TRUE(c.AttemptDue(at + gap)) << gap.count();
        at += gap;
    }
    EXPECT_EQ(c.AttemptSucceeded(at), at - (t0 + 2s));
    EXPECT_FALSE(c.Lost());
    // Unattended start: the first failure is told, once; an answer at once tells nothing.
    c.Unanswered(t0);
    EXPECT_TRUE(c.AttemptDue(t0));
    EXPECT_TRUE(c.AttemptFailed(t0));
    EXPECT_FALSE(c.AttemptFailed(t0 + 5s));
    EXPECT_EQ(c.AttemptSucceeded(t0 + 15s), 15s);
    c.Unanswered(t0);
    EXPECT_EQ(c.AttemptSucceeded(t0), std::nullopt);
    const std::pair<std::chrono::seconds, const char*> durations[] = {
        {45s, "45 s"}, {192s, "3 min 12 s"}, {7205s, "2 h 0 min 5 s"}};
    for (const auto& [duration, text] : durations)
        EXPECT_EQ(DurationText(duration), text);
}

} // namespace
