#include "graph/GraphDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QImage>
#include <QLine>
#include <QPainter>

#include "graph/AxisScale.h"

namespace velk {

void SetGraphPen(QPainter& painter, const QColor& color, int width, Qt::PenStyle style) {
    QPen pen(color, std::max(width, 0), style);
    if (width <= 1) {
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    painter.setPen(pen);
}

void AppendLinePixels(std::vector<QPoint>& pixels, const QPoint& from, const QPoint& to) {
    int x = from.x(), y = from.y();
    const int dx = std::abs(to.x() - x), sx = x < to.x() ? 1 : -1;
    const int dy = -std::abs(to.y() - y), sy = y < to.y() ? 1 : -1;
    // Bresenham's walk takes one step per pixel along the longer axis, so the count is
    // known: size the list once and fill it in place.
    const std::size_t count = static_cast<std::size_t>(std::max(dx, -dy));
    const std::size_t first = pixels.size();
    pixels.resize(first + count);
    QPoint* out = pixels.data() + first;
    int err = dx + dy;
    for (std::size_t n = 0; n < count; ++n) {
        out[n] = QPoint(x, y);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

namespace {

// Lines longer than any picture are left to the painter, which clips before it walks.
constexpr int LongestWalkedLine = 1 << 16;

bool ThinSolidPen(const QPen& pen) {
    return pen.width() <= 1 && pen.style() == Qt::SolidLine;
}

bool Walkable(const QPoint& from, const QPoint& to) {
    return std::abs(to.x() - from.x()) < LongestWalkedLine &&
           std::abs(to.y() - from.y()) < LongestWalkedLine;
}

} // namespace

void DrawLine(QPainter& painter, const QPoint& from, const QPoint& to) {
    if (!ThinSolidPen(painter.pen()) || !Walkable(from, to)) {
        painter.drawLine(from, to);
        return;
    }
    std::vector<QPoint> pixels;
    AppendLinePixels(pixels, from, to);
    PutPixels(painter, pixels, painter.pen().color());
}

void DrawLines(QPainter& painter, const std::vector<QLine>& lines,
               std::vector<QPoint>& scratchPixels) {
    if (lines.empty()) return;
    if (!ThinSolidPen(painter.pen())) {
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        return;
    }
    scratchPixels.clear();
    for (const QLine& line : lines) {
        if (Walkable(line.p1(), line.p2()))
            AppendLinePixels(scratchPixels, line.p1(), line.p2());
        else
            painter.drawLine(line);
    }
    PutPixels(painter, scratchPixels, painter.pen().color());
    scratchPixels.clear();
}

void DrawMarkerShape(QPainter& painter, int pointType, int r, int x, int y) {
    painter.setBrush(Qt::NoBrush);
    switch (pointType) {
    case 1:
        DrawLine(painter, {x - r, y}, {x + r, y});
        DrawLine(painter, {x, y - r}, {x, y + r});
        break;
    case 2:
        // Box (x - r, y - r) to (x + r + 1, y + r + 1) without its right and bottom edges.
        painter.drawEllipse(QRect(x - r, y - r, 2 * r, 2 * r));
        break;
    case 3:
        // A box from (x, y) to (x, y) covers no pixel; QRect would draw it as one.
        if (r > 0) painter.drawRect(QRect(x - r, y - r, 2 * r - 1, 2 * r - 1));
        break;
    case 4: {
        PutPixels(painter, {QPoint(x, y)}, painter.pen().color());
        break;
    }
    case 5: {
        const double pi = std::acos(-1.0);
        const double a210 = 210.0 * pi / 180.0;
        const double a330 = -30.0 * pi / 180.0;
        const QPoint apex(x, y - r);
        const QPoint left(RoundToInt(x + r * std::cos(a210)), RoundToInt(y - r * std::sin(a210)));
        const QPoint right(RoundToInt(x + r * std::cos(a330)), RoundToInt(y - r * std::sin(a330)));
        DrawLine(painter, apex, left);
        DrawLine(painter, left, right);
        DrawLine(painter, right, apex);
        break;
    }
    case 6:
        DrawLine(painter, {x, y - r}, {x - r, y});
        DrawLine(painter, {x - r, y}, {x, y + r});
        DrawLine(painter, {x, y + r}, {x + r, y});
        DrawLine(painter, {x + r, y}, {x, y - r});
        break;
    case 7: {
        const int d = RoundToInt(r * 1.414);
        DrawLine(painter, {x + d, y - d}, {x - d, y + d});
        DrawLine(painter, {x - d, y - d}, {x + d, y + d});
        break;
    }
    default:
        break;
    }
}

void PutPixels(QPainter& painter, const std::vector<QPoint>& pixels, const QColor& color) {
    if (pixels.empty()) return;
    auto* image = dynamic_cast<QImage*>(painter.device());
    const QImage::Format format = image ? image->format() : QImage::Format_Invalid;
    const bool direct = image != nullptr && painter.transform().isIdentity() &&
                        !painter.hasClipping() &&
                        (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                         format == QImage::Format_ARGB32_Premultiplied);
    if (!direct) {
        const QPen saved = painter.pen();
        QPen pen(color, 1);
        pen.setCapStyle(Qt::SquareCap);
        painter.setPen(pen);
        painter.drawPoints(pixels.data(), static_cast<int>(pixels.size()));
        painter.setPen(saved);
        return;
    }
    // The raster engine draws straight into the picture's memory, so these writes land in
    // order with everything the painter drew before.
    const QRgb value = color.rgba();
    const int width = image->width();
    const int height = image->height();
    const qsizetype stride = image->bytesPerLine() / 4;
    auto* bits = reinterpret_cast<QRgb*>(image->bits());
    for (const QPoint& p : pixels)
        if (static_cast<unsigned>(p.x()) < static_cast<unsigned>(width) &&
            static_cast<unsigned>(p.y()) < static_cast<unsigned>(height))
            bits[p.y() * stride + p.x()] = value;
}

} // namespace velk
