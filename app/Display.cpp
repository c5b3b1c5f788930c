#include "app/Display.h"

#include "common/DateTimeText.h"
#include "common/ReadingDisplay.h"

namespace velk {

TDisplay DisplayReadings(const TReadings& r, QChar separator) {
    TDisplay shown;
    auto show = [&](TQuantity q, QString text, bool graphed = false, double graphValue = 0.0) {
        TShownReading& line = shown.Readings[q];
        const bool hasValue = text != QLatin1String(kNoValueText);
        line.Stale = hasValue && !r.Fresh[q] && r.LastRead[q].isValid();
        line.Live = hasValue && r.Fresh[q];
        if (line.Stale)
            line.Hint = QStringLiteral("Old value, last read at ") + DateTimeText(r.LastRead[q]);
        // A graph point claims a reading taken now: an old value is not plotted again.
        if (hasValue && graphed && !line.Stale) line.GraphValue = graphValue;
        line.Text = std::move(text);
    };
    show(qTemp1, TemperatureText(r.Temp[1], separator), true, r.Temp[1]);
    show(qPower, PowerText(r.Power, separator));
    show(qSetPoint1, TemperatureText(r.SetPoint[1], separator));
    show(qTemp2, TemperatureText(r.Temp[2], separator), true, r.Temp[2]);
    show(qSetPoint2, TemperatureText(r.SetPoint[2], separator));
    show(qAlarmLow, TemperatureText(r.AlarmLow, separator));
    show(qVacuum, VacuumText(r.Vacuum, separator), true, r.Vacuum);
    // The pump graph shows 1 while the pump runs.
    show(qPumpStatus, PumpStatusText(r.PumpStatus), true, r.PumpStatus == 0 ? 1.0 : 0.0);
    show(qValveStatus, ValveStatusText(r.ValveStatus));
    show(qLN2Level, LevelText(r.LN2Level, separator), true, r.LN2Level);
    shown.LN2Bar = LevelBarPosition(r.LN2Level);
    return shown;
}

} // namespace velk
