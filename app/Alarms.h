#pragma once
// Alarm evaluation: the two temperatures and the vacuum against their limits, each start and
// end found exactly once, with the message the log and the mail carry.

#include <vector>

#include <QString>

#include "app/Acquisition.h"
#include "app/globalParameters.h"

namespace velk {

struct TAlarmChange {
    bool Start = false; // false: the alarm ended
    QString Message;
};

// Checks channel 1, channel 2, then the vacuum; a reading without a value leaves its alarm
// as it is. Sets or clears the Active flags and returns the changes in that order.
std::vector<TAlarmChange> EvaluateAlarms(const TReadings& readings, TAlarmTempArray& alarmTemp,
                                         TAlarmLimits& alarmVacuum);

} // namespace velk
