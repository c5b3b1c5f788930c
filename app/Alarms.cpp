#include "app/Alarms.h"

#include "common/NumberFormat.h"
#include "common/ReadingDisplay.h"

namespace velk {

namespace {

constexpr int kMessageDigits = 4;

struct TAlarmTexts {
    const char* Start;
    const char* Stop;
    const char* Unit;
};

// The start and end texts; the value and the unit follow, then ")".
constexpr TAlarmTexts kTempTexts[2] = {
    {"Alarm on cold plate temperature  (", "Alarm stopped on cold plate temperature  (", "°C)"},
    {"Alarm on Nitrogen output temperature  (", "Alarm stopped on Nitrogen output temperature  (",
     "°C)"},
};
constexpr TAlarmTexts kVacuumTexts = {"Alarm on vacuum  (", "Alarm stopped on vacuum (", "mb)"};

void Evaluate(double x, TAlarmLimits& alarm, const TAlarmTexts& texts,
              std::vector<TAlarmChange>& changes) {
    const bool outside = alarm.Enabled && (x <= alarm.Min || x >= alarm.Max);
    if (outside == alarm.Active) return;
    alarm.Active = outside;
    changes.push_back({outside, QString::fromUtf8(outside ? texts.Start : texts.Stop) +
                                    FormatGeneral(x, kMessageDigits) +
                                    QString::fromUtf8(texts.Unit)});
}

} // namespace

std::vector<TAlarmChange> EvaluateAlarms(const TReadings& readings, TAlarmTempArray& alarmTemp,
                                         TAlarmLimits& alarmVacuum) {
    std::vector<TAlarmChange> changes;
    for (int i = 1; i <= 2; ++i)
        if (IsTemperature(readings.Temp[i]))
            Evaluate(readings.Temp[i], alarmTemp[i], kTempTexts[i - 1], changes);
    if (IsVacuumReading(readings.Vacuum))
        Evaluate(readings.Vacuum, alarmVacuum, kVacuumTexts, changes);
    return changes;
}

} // namespace velk
