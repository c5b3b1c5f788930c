#pragma once
// What a history curve shows of its readings: every reading while they are few, otherwise
// for each pixel column the lowest and the highest reading that falls in it, so that a
// single reading out of line stays visible in a month. Pure functions of the column store.

#include <bitset>
#include <vector>

#include "history/ReadingsFile.h"

namespace velk {

struct TDecimated {
    // Seconds since the epoch; the quantities share them, as the graph's series share one
    // abscissa. NaN values break a curve.
    std::vector<double> Times;
    std::array<std::vector<double>, kQuantityCount> Values; // the asked quantities only
    bool Raw = false;                                       // every reading, none left out
};

// The readings of [from, to] for a plot `columns` pixel columns wide (the column of `from`
// and the column of `to` included), in at most `maxPoints` points. The reading just before
// and just after the span come along so that the curves run to the plot's edges.
// With at most two readings per column (and room for them) every reading is given, with a
// break wherever a step is longer than data.GapLimit or a value is missing. Otherwise each
// column (or run of columns, when the points cannot hold two per column) gives two points,
// the extremes of its readings in the order they were read, both inside the column; a
// column without a value breaks the curve, and a column without readings breaks it only
// when the outage around it is longer than data.GapLimit.
TDecimated Decimate(const THistoryData& data, double from, double to, int columns,
                    std::bitset<kQuantityCount> quantities, int maxPoints);

} // namespace velk
