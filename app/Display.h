#pragma once
// What the main window shows of the readings: each value's text, whether it is an old value
// the last tick could not refresh, the value its graph window is fed, and the LN2 bar. The
// readings history keeps the same texts.

#include <array>
#include <optional>

#include <QString>

#include "app/Acquisition.h"

namespace velk {

struct TShownReading {
    QString Text;
    bool Stale = false;               // a value that the last tick could not refresh
    bool Live = false;                // a value that the last tick read
    QString Hint;                     // when stale: the time of its last good read
    std::optional<double> GraphValue; // the point its graph window gets: a live value only
};

struct TDisplay {
    std::array<TShownReading, kQuantityCount> Readings; // indexed by TQuantity
    int LN2Bar = 0;
};

// Numbers use `separator`; a null one stands for the program-wide separator.
TDisplay DisplayReadings(const TReadings& readings, QChar separator = QChar());

} // namespace velk
