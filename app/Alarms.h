#pragma once
// Alarm evaluation: the two temperatures and the vacuum against their limits, each start and
// end found exactly once, with the message the log and the mail carry; with the operator's
// alarm handling: a delay before an alarm starts, a deadband before it ends, reminders while
// it stays raised, and an alarm on an instrument group that stops answering.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QString>

#include "app/Acquisition.h"
#include "app/globalParameters.h"

namespace velk {

struct TAlarmChange {
    enum TKind { Start, Stop, Reminder };
    TKind Kind = Start;
    QString Message;
    QDateTime Since; // a reminder: when its alarm started
};

// A raised alarm as the window shows it.
struct TActiveAlarm {
    TQuantity Quantity; // the reading it watches
    QString Name;       // as its texts name it: "vacuum"
    QDateTime Since;
};

// The moment of an evaluation: a steady clock for delays and intervals (a change of the
// wall clock neither hastens nor holds back an alarm), the date-time for the texts.
struct TAlarmInstant {
    std::int64_t Ms = 0;
    QDateTime Wall;
    static TAlarmInstant Now();
};

class TAlarmEvaluator {
public:
    // Checks channel 1, channel 2, then the vacuum, then the controllers' and the module's
    // answers; sets or clears the Active flags and returns the changes in that order. A reading
    // without a value leaves its alarm as it is. With the default handling this is exactly the
    // plain check: a start at the first reading out of limits, an end at the first inside.
    // Only a new tick (a TickCount not seen before) advances a delay or a silence: an update
    // between ticks judges the same readings again.
    std::vector<TAlarmChange> Evaluate(const TReadings& readings, TAlarmTempArray& alarmTemp,
                                       TAlarmLimits& alarmVacuum,
                                       const TAlarmHandlingParameters& handling,
                                       const TAlarmInstant& now);

    // The raised alarms, in the order channel 1, channel 2, vacuum.
    std::vector<TActiveAlarm> ActiveAlarms(const TAlarmTempArray& alarmTemp,
                                           const TAlarmLimits& alarmVacuum) const;
    // When alarm mail resumes after a mute, nothing raised meanwhile may go unmailed: every
    // alarm still raised and every instrument still reported silent starts again, as if it
    // had just started (its reminders count from now).
    std::vector<TAlarmChange> Restart(const TAlarmTempArray& alarmTemp,
                                      const TAlarmLimits& alarmVacuum, const TAlarmInstant& now);

private:
    struct TAlarmState {
        std::optional<std::int64_t> OutSince; // out of limits at every evaluation since
        QString StartMessage;                 // what a reminder repeats
        QDateTime StartedAt;
        std::int64_t LastMail = 0; // the start's or the last reminder's
        int Reminders = 0;
    };
    struct TGroupState {
        std::optional<std::int64_t> FailingSince; // every tick failed since
        QDateTime FailingSinceWall;
        bool Reported = false;
    };

    void EvaluateAlarm(double x, bool isReading, bool vacuum, TAlarmLimits& alarm,
                       TAlarmState& state, const TAlarmTuning& tuning,
                       const TAlarmHandlingParameters& handling, const TAlarmInstant& now,
                       int texts, std::vector<TAlarmChange>& changes);
    void EvaluateGroup(TInstrumentGroup group, TGroupAnswer answer, bool newTick,
                       const TAlarmHandlingParameters& handling, const TAlarmInstant& now,
                       std::vector<TAlarmChange>& changes);
    // "No answer from … since <the first failed tick>".
    QString SilentMessage(TInstrumentGroup group) const;

    TChannels<TAlarmState> temp_;
    TAlarmState vacuum_;
    std::array<TGroupState, kGroupCount> groups_;
    std::uint64_t seenTicks_ = 0;
    std::optional<std::int64_t> tickMs_; // steady time of the last tick's readings
};

} // namespace velk
