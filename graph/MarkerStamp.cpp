#include "graph/MarkerStamp.h"

#include <algorithm>
#include <cmath>

#include <QImage>
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

void DrawMarkerShape(QPainter& painter, int pointType, int r, int x, int y) {
    painter.setBrush(Qt::NoBrush);
    switch (pointType) {
    case 1:
        painter.drawLine(x - r, y, x + r, y);
        painter.drawLine(x, y - r, x, y + r);
        break;
    case 2:
        // Box (x - r, y - r) to (x + r + 1, y + r + 1) without its right and bottom edges.
        painter.drawEllipse(QRect(x - r, y - r, 2 * r, 2 * r));
        break;
    case 3:
        painter.drawRect(QRect(x - r, y - r, 2 * r - 1, 2 * r - 1));
        break;
    case 4: {
        QPen pen = painter.pen();
        const QPen saved = pen;
        pen.setWidth(1);
        painter.setPen(pen);
        painter.drawPoint(x, y);
        painter.setPen(saved);
        break;
    }
    case 5: {
        const double pi = std::acos(-1.0);
        const double a210 = 210.0 * pi / 180.0;
        const double a330 = -30.0 * pi / 180.0;
        const QPoint apex(x, y - r);
        const QPoint left(RoundToInt(x + r * std::cos(a210)), RoundToInt(y - r * std::sin(a210)));
        const QPoint right(RoundToInt(x + r * std::cos(a330)), RoundToInt(y - r * std::sin(a330)));
        painter.drawLine(apex, left);
        painter.drawLine(left, right);
        painter.drawLine(right, apex);
        break;
    }
    case 6:
        painter.drawLine(x, y - r, x - r, y);
        painter.drawLine(x - r, y, x, y + r);
        painter.drawLine(x, y + r, x + r, y);
        painter.drawLine(x + r, y, x, y - r);
        break;
    case 7: {
        const int d = RoundToInt(r * 1.414);
        painter.drawLine(x + d, y - d, x - d, y + d);
        painter.drawLine(x - d, y - d, x + d, y + d);
        break;
    }
    default:
        break;
    }
}

TMarkerStamp::TMarkerStamp(int pointType, int r, int penWidth)
    : pointType_(pointType), r_(r), penWidth_(penWidth) {
    if (pointType < 1 || pointType > 7) return;
    const int reach = static_cast<int>(std::ceil(1.5 * std::abs(r))) + std::max(penWidth, 1) + 4;
    const int side = 2 * reach + 1;
    QImage scratch(side, side, QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        SetGraphPen(painter, Qt::black, penWidth);
        DrawMarkerShape(painter, pointType, r, reach, reach);
    }
    for (int y = 0; y < side; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int x = 0; x < side; ++x)
            if (qAlpha(line[x]) != 0) offsets_.emplace_back(x - reach, y - reach);
    }
}

void TMarkerStamp::AppendTo(std::vector<QPoint>& pixels, int x, int y) const {
    const QPoint centre(x, y);
    for (const QPoint& offset : offsets_)
        pixels.push_back(centre + offset);
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
