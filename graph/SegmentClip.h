#pragma once
// Where a joining line between a point inside the plot area and one outside crosses the
// area's edge. Pixels are whole numbers carried as doubles, so points far outside the
// picture keep their true direction.

#include <optional>

#include <QPoint>

namespace velk {

struct TPlotEdges {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Line from (prevX, prevY) outside to (px, py) inside: the edge point it enters through.
std::optional<QPoint> EnteringCrossing(const TPlotEdges& edges, double prevX, double prevY,
                                       double px, double py);
// Line from (prevX, prevY) inside to (px, py) outside: the edge point it leaves through.
std::optional<QPoint> LeavingCrossing(const TPlotEdges& edges, double prevX, double prevY,
                                      double px, double py);

} // namespace velk
