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
    for (const TQuantityInfo& q : Quantities()) {
        const double value = r.Value(q.Quantity);
        // A status is plotted 1 in its first state: the pump graph shows 1 while it runs.
        const double graphValue = q.Shown ? value : value == 0.0 ? 1.0 : 0.0;
        show(q.Quantity, QuantityText(q, value, separator), q.GraphTitle != nullptr, graphValue);
    }
    shown.LN2Bar = LevelBarPosition(r.LN2Level);
    return shown;
}

} // namespace velk
