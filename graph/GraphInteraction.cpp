#include "graph/GraphInteraction.h"

#include <algorithm>
#include <cmath>

#include "graph/AxisScale.h"
#include "graph/Graphex.h"

namespace velk {

QString PositionText(const Tgraphex& g, int x, int y, bool pixels) {
    if (pixels)
        return QStringLiteral("X= ") + QString::number(x) + QStringLiteral(" Y= ") +
               QString::number(y);
    const TScaleMap& m = g.Map();
    const double vx = m.ColumnValue(x - m.MarginX);
    const double vy = m.RowValue(y - m.MarginY);
    QString tx;
    switch (g.XLabelFormat) {
    case 1:
        tx = FormatDayDateTime(vx);
        break;
    case 2:
        tx = FormatHoursMinutesSeconds(vx);
        break;
    case 3:
        tx = FormatHoursMinutes(vx);
        break;
    default:
        tx = FormatStep(m.XMinorStep / 10, vx);
    }
    return QStringLiteral("X= ") + tx + QStringLiteral(" Y= ") + FormatStep(m.YMinorStep / 10, vy);
}

std::optional<TZoomView> ZoomRectangleView(const Tgraphex& g, int ax, int ay, int bx, int by) {
    const int x1 = std::min(ax, bx), x2 = std::max(ax, bx);
    const int y1 = std::min(ay, by), y2 = std::max(ay, by);
    if (x2 - x1 < 5 || y2 - y1 < 5) return std::nullopt;
    const TScaleMap& m = g.Map();
    return TZoomView{m.ColumnValue(x1 - m.MarginX), m.ColumnValue(x2 - m.MarginX),
                     m.RowValue(y2 - m.MarginY), m.RowValue(y1 - m.MarginY)};
}

std::optional<TPick> NearestPoint(const Tgraphex& g, double x, double y) {
    std::optional<TPick> best;
    double bestDistance = 0;
    const int n = g.PointCount();
    const double* xs = g.XData();
    for (int s = 1; s <= MaxSeries; ++s) {
        const double* ys = g.YData(s);
        if (ys == nullptr) continue;
        for (int k = 1; k <= n; ++k) {
            const double px = g.Map().XToPixel(xs[k - 1]);
            const double py = g.Map().YToPixel(ys[k - 1]);
            const double distance = std::hypot(px - x, py - y);
            if (!best || distance < bestDistance) {
                best = TPick{s, k, px, py};
                bestDistance = distance;
            }
        }
    }
    return best;
}

} // namespace velk
