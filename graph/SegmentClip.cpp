#include "graph/SegmentClip.h"

#include "graph/AxisScale.h"

namespace velk {

namespace {

// The line through both points as y = a x + b and its crossings with the four edge lines.
struct TCrossings {
    double xBottom, xTop, yLeft, yRight;
};

TCrossings Crossings(const TPlotEdges& e, double prevX, double prevY, double px, double py) {
    double a = prevX == px ? 1e30 : (prevY - py) / (prevX - px);
    const double b = py - px * a;
    if (a == 0) a = 1e-30;
    return {(e.bottom - b) / a, (e.top - b) / a, e.left * a + b, e.right * a + b};
}

bool Within(double v, int low, int high) {
    return low <= v && v <= high;
}

} // namespace

std::optional<QPoint> EnteringCrossing(const TPlotEdges& e, double prevX, double prevY, double px,
                                       double py) {
    const TCrossings c = Crossings(e, prevX, prevY, px, py);
    if (Within(c.xBottom, e.left, e.right) && py <= e.bottom && prevY >= e.bottom)
        return QPoint(RoundToInt(c.xBottom), e.bottom);
    if (Within(c.xTop, e.left, e.right) && py >= e.top && prevY <= e.top)
        return QPoint(RoundToInt(c.xTop), e.top);
    if (Within(c.yLeft, e.top, e.bottom) && e.left < px && e.left > prevX)
        return QPoint(e.left, RoundToInt(c.yLeft));
    if (Within(c.yRight, e.top, e.bottom) && e.right > px && e.right < prevX)
        return QPoint(e.right, RoundToInt(c.yRight));
    return std::nullopt;
}

std::optional<QPoint> LeavingCrossing(const TPlotEdges& e, double prevX, double prevY, double px,
                                      double py) {
    const TCrossings c = Crossings(e, prevX, prevY, px, py);
    if (Within(c.xBottom, e.left, e.right) && e.bottom > prevY && e.bottom < py)
        return QPoint(RoundToInt(c.xBottom), e.bottom);
    if (Within(c.xTop, e.left, e.right) && e.top < prevY && e.top > py)
        return QPoint(RoundToInt(c.xTop), e.top);
    if (Within(c.yLeft, e.top, e.bottom) && e.left < prevX && e.left > px)
        return QPoint(e.left, RoundToInt(c.yLeft));
    if (Within(c.yRight, e.top, e.bottom) && e.right > prevX && e.right < px)
        return QPoint(e.right, RoundToInt(c.yRight));
    return std::nullopt;
}

} // namespace velk
