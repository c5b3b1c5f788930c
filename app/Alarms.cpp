#include "app/Alarms.h"

#include <chrono>

#include "common/DateTimeText.h"
#include "common/NumberFormat.h"
#include "common/ReadingDisplay.h"

namespace velk {

namespace {

constexpr int kMessageDigits = 4;
constexpr std::int64_t kSecond = 1000, kMinute = 60 * kSecond;

struct TAlarmTexts {
    const char* Name;
    const char* StopGap; // before the value of the end text
    TQuantity Quantity;
};

// The start text is "Alarm on " and the name, the end text "Alarm stopped on " and the name;
// then the value, the quantity's unit and ")".
constexpr TAlarmTexts kAlarmTexts[3] = {
    {"cold plate temperature", "  (", qTemp1},
    {"Nitrogen output temperature", "  (", qTemp2},
    {"vacuum", " (", qVacuum},
};
constexpr int kVacuumTexts = 2;

struct TGroupTexts {
    const char* Silent;
    const char* Back;
};
constexpr TGroupTexts kGroupTexts[kGroupCount] = {
    {"No answer from the temperature controllers since ",
     "The temperature controllers answer again"},
    {"No answer from the analog module since ", "The analog module answers again"},
};

QString AlarmMessage(bool start, double x, int texts) {
    const TAlarmTexts& t = kAlarmTexts[texts];
    return QString::fromLatin1(start ? "Alarm on " : "Alarm stopped on ") +
           QString::fromLatin1(t.Name) + QString::fromLatin1(start ? "  (" : t.StopGap) +
           FormatGeneral(x, kMessageDigits) + QString::fromUtf8(QuantityInfo(t.Quantity).Unit) +
           QLatin1Char(')');
}

// Inside the limits by more than the deadband: a raised alarm may end. The vacuum's deadband
// is a factor applied to each positive limit; a limit at or below 0 has no band.
bool InsideWithBand(double x, const TAlarmLimits& alarm, bool vacuum, double deadband) {
    if (vacuum) {
        const double low = alarm.Min > 0.0 ? alarm.Min * deadband : alarm.Min;
        const double high = alarm.Max > 0.0 ? alarm.Max / deadband : alarm.Max;
        return x > low && x < high;
    }
    return x > alarm.Min + deadband && x < alarm.Max - deadband;
}

} // namespace

TAlarmInstant TAlarmInstant::Now() {
    const auto steady = std::chrono::steady_clock::now().time_since_epoch();
    return {std::chrono::duration_cast<std::chrono::milliseconds>(steady).count(),
            QDateTime::currentDateTime()};
}

void TAlarmEvaluator::EvaluateAlarm(double x, bool isReading, bool vacuum, TAlarmLimits& alarm,
                                    TAlarmState& state, const TAlarmTuning& tuning,
                                    const TAlarmHandlingParameters& handling,
                                    const TAlarmInstant& now, int texts,
                                    std::vector<TAlarmChange>& changes) {
    if (isReading && !alarm.Active) {
        const bool outside = alarm.Enabled && (x <= alarm.Min || x >= alarm.Max);
        // The delay runs on the times the readings were taken, not on the time they are
        // judged: a command's update looks again at the last tick's readings.
        if (outside && !state.OutSince) state.OutSince = *tickMs_;
        if (!outside) state.OutSince.reset();
        if (outside && *tickMs_ - *state.OutSince >= tuning.Delay * kSecond) {
            alarm.Active = true;
            state = {{}, AlarmMessage(true, x, texts), now.Wall, now.Ms, 0};
            changes.push_back({TAlarmChange::Start, state.StartMessage, {}});
        }
        return;
    }
    // No value is no confirmation that the reading is still out: a delay starts over.
    if (!isReading) state.OutSince.reset();
    if (!alarm.Active) return;
    // Disabling ends a raised alarm at once, whatever its deadband.
    if (isReading && (!alarm.Enabled || InsideWithBand(x, alarm, vacuum, tuning.Deadband))) {
        alarm.Active = false;
        state = {};
        changes.push_back({TAlarmChange::Stop, AlarmMessage(false, x, texts), {}});
        return;
    }
    if (alarm.Enabled && handling.ReminderEvery > 0 && state.Reminders < handling.ReminderLimit &&
        now.Ms - state.LastMail >= handling.ReminderEvery * kMinute) {
        ++state.Reminders;
        state.LastMail = now.Ms;
        changes.push_back({TAlarmChange::Reminder, state.StartMessage, state.StartedAt});
    }
}

QString TAlarmEvaluator::SilentMessage(TInstrumentGroup group) const {
    return QString::fromLatin1(kGroupTexts[group].Silent) +
           DateTimeText(groups_[group].FailingSinceWall);
}

void TAlarmEvaluator::EvaluateGroup(TInstrumentGroup group, TGroupAnswer answer, bool newTick,
                                    const TAlarmHandlingParameters& handling,
                                    const TAlarmInstant& now, std::vector<TAlarmChange>& changes) {
    TGroupState& state = groups_[group];
    // Before the first tick of a connection nothing was asked: a new outage starts afresh.
    if (answer == TGroupAnswer::None) state.FailingSince.reset();
    if (!newTick || answer == TGroupAnswer::None) return;
    if (answer == TGroupAnswer::Answered) {
        state.FailingSince.reset();
        if (state.Reported) {
            state.Reported = false;
            changes.push_back(
                {TAlarmChange::Stop, QString::fromLatin1(kGroupTexts[group].Back), {}});
        }
        return;
    }
    if (!state.FailingSince) {
        state.FailingSince = now.Ms;
        state.FailingSinceWall = now.Wall;
    }
    if (!state.Reported && handling.SilentAfter > 0 &&
        now.Ms - *state.FailingSince >= handling.SilentAfter * kMinute) {
        state.Reported = true; // once per outage, however many ticks fail
        changes.push_back({TAlarmChange::Start, SilentMessage(group), {}});
    }
}

std::vector<TAlarmChange> TAlarmEvaluator::Evaluate(const TReadings& readings,
                                                    TAlarmTempArray& alarmTemp,
                                                    TAlarmLimits& alarmVacuum,
                                                    const TAlarmHandlingParameters& handling,
                                                    const TAlarmInstant& now) {
    std::vector<TAlarmChange> changes;
    const bool newTick = readings.TickCount != seenTicks_;
    seenTicks_ = readings.TickCount;
    if (newTick || !tickMs_) tickMs_ = now.Ms;
    // While the box is away the values are old ones: none starts or ends an alarm.
    const bool live = !readings.Lost;
    for (int i = 1; i <= 2; ++i)
        EvaluateAlarm(readings.Temp[i], live && IsTemperature(readings.Temp[i]), false,
                      alarmTemp[i], temp_[i], handling.Temp[i], handling, now, i - 1, changes);
    EvaluateAlarm(readings.Vacuum, live && IsVacuumReading(readings.Vacuum), true, alarmVacuum,
                  vacuum_, handling.Vacuum, handling, now, kVacuumTexts, changes);
    for (const TInstrumentGroup group : {gControllers, gModule})
        EvaluateGroup(group, readings.GroupAnswer[group], newTick, handling, now, changes);
    return changes;
}

std::vector<TActiveAlarm> TAlarmEvaluator::ActiveAlarms(const TAlarmTempArray& alarmTemp,
                                                        const TAlarmLimits& alarmVacuum) const {
    std::vector<TActiveAlarm> active;
    for (int i = 0; i <= kVacuumTexts; ++i) {
        const bool raised = (i < kVacuumTexts ? alarmTemp[i + 1] : alarmVacuum).Active;
        const TAlarmState& state = i < kVacuumTexts ? temp_[i + 1] : vacuum_;
        if (raised)
            active.push_back({kAlarmTexts[i].Quantity, QString::fromLatin1(kAlarmTexts[i].Name),
                              state.StartedAt});
    }
    return active;
}

std::vector<TAlarmChange> TAlarmEvaluator::Restart(const TAlarmTempArray& alarmTemp,
                                                   const TAlarmLimits& alarmVacuum,
                                                   const TAlarmInstant& now) {
    std::vector<TAlarmChange> changes;
    for (int i = 0; i <= kVacuumTexts; ++i) {
        const bool raised = (i < kVacuumTexts ? alarmTemp[i + 1] : alarmVacuum).Active;
        TAlarmState& state = i < kVacuumTexts ? temp_[i + 1] : vacuum_;
        if (!raised) continue;
        state.LastMail = now.Ms;
        state.Reminders = 0;
        changes.push_back({TAlarmChange::Start, state.StartMessage, {}});
    }
    for (const TInstrumentGroup group : {gControllers, gModule}) {
        if (groups_[group].Reported)
            changes.push_back({TAlarmChange::Start, SilentMessage(group), {}});
    }
    return changes;
}

} // namespace velk
