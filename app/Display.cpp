#include "app/Display.h"

#include "common/DateTimeText.h"
#include "common/ReadingDisplay.h"

namespace velk {

TDisplay DisplayReadings(const TReadings& r) {
    TDisplay shown;
    auto show = [&](TQuantity q, QString text, bool graphed = false, double graphValue = 0.0) {
        TShownReading& line = shown.Readings[q];
        const bool hasValue = text != QLatin1String(kNoValueText);
        line.Stale = hasValue && !r.Fresh[q] && r.LastRead[q].isValid();
        if (line.Stale)
            line.Hint = QStringLiteral("Old value, last read at ") + DateTimeText(r.LastRead[q]);
        // A graph point claims a reading taken now: an old value is not plotted again.
        if (hasValue && graphed && !line.Stale) line.GraphValue = graphValue;
        line.Text = std::move(text);
    };
    show(qTemp1, TemperatureText(r.Temp[1]), true, r.Temp[1]);
    show(qPower, PowerText(r.Power));
    show(qSetPoint1, TemperatureText(r.SetPoint[1]));
    show(qTemp2, TemperatureText(r.Temp[2]), true, r.Temp[2]);
    show(qSetPoint2, TemperatureText(r.SetPoint[2]));
    show(qAlarmLow, TemperatureText(r.AlarmLow));
    show(qVacuum, VacuumText(r.Vacuum), true, r.Vacuum);
    // The pump graph shows 1 while the pump runs.
    show(qPumpStatus, PumpStatusText(r.PumpStatus), true, r.PumpStatus == 0 ? 1.0 : 0.0);
    show(qValveStatus, ValveStatusText(r.ValveStatus));
    show(qLN2Level, LevelText(r.LN2Level), true, r.LN2Level);
    shown.LN2Bar = LevelBarPosition(r.LN2Level);
    return shown;
}

} // namespace velk
