#pragma once
// What the mouse on a graph's picture means, as functions of the scale map of the window's
// last paint: the position read-out, the view a zoom rectangle gives, and the point a pick
// chooses.

#include <optional>

#include <QString>

namespace velk {

class Tgraphex;

// The read-out over pixel (x, y): pixel coordinates when `pixels`, otherwise the values to a
// tenth of the minor tick step ("X= 09h45m Y= 12.3").
QString PositionText(const Tgraphex& g, int x, int y, bool pixels);

struct TZoomView {
    double xMin, xMax, yMin, yMax;
};
// The view of the rectangle between pixels a and b, or nothing when it is less than 5 pixels
// wide or high.
std::optional<TZoomView> ZoomRectangleView(const Tgraphex& g, int ax, int ay, int bx, int by);

struct TPick {
    int series = 0;
    int index = 0;
    double px = 0; // exact pixel position
    double py = 0;
};
// The point of a present series nearest to pixel (x, y) (the first met on a tie), or nothing
// when no present series holds a point.
std::optional<TPick> NearestPoint(const Tgraphex& g, double x, double y);

} // namespace velk
