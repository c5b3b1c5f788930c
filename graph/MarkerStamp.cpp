#include "graph/MarkerStamp.h"

#include <algorithm>

#include <QImage>
#include <QPainter>

#include "graph/GraphDrawing.h"

namespace velk {

TMarkerStamp::TMarkerStamp(int pointType, int r, int penWidth)
    : pointType_(pointType), r_(std::max(r, 0)), penWidth_(penWidth) {
    if (pointType < 1 || pointType > 7) return;
    // Sizes come from unsigned settings times a positive scale; a negative one draws as 0.
    // The single pixel reaches nowhere, whatever its size and pen.
    int reach = pointType == 4 ? 2 : (3 * std::max(r, 0) + 1) / 2 + std::max(penWidth, 1) + 4;
    reach += reach & 1; // even, so that each centre below has the parity it stands for
    if (reach > MaxReach) {
        stamped_ = false;
        return;
    }
    const int side = 2 * reach + 2;
    for (int parity = 0; parity < 4; ++parity) {
        const int cx = reach + (parity & 1);
        const int cy = reach + (parity >> 1);
        QImage scratch(side, side, QImage::Format_ARGB32_Premultiplied);
        scratch.fill(Qt::transparent);
        {
            QPainter painter(&scratch);
            SetGraphPen(painter, Qt::black, penWidth);
            DrawMarkerShape(painter, pointType, r_, cx, cy);
        }
        auto& offsets = offsets_[static_cast<std::size_t>(parity)];
        for (int y = 0; y < side; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
            for (int x = 0; x < side; ++x)
                if (qAlpha(line[x]) != 0) offsets.emplace_back(x - cx, y - cy);
        }
    }
}

void TMarkerStamp::AppendTo(std::vector<QPoint>& pixels, int x, int y) const {
    const QPoint centre(x, y);
    for (const QPoint& offset : Offsets(x, y))
        pixels.push_back(centre + offset);
}

} // namespace velk
