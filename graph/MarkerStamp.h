#pragma once
// Point markers. A paint draws thousands of identical markers, so each shape is rasterised
// once into a list of pixel offsets and stamped at every point; the stamp covers exactly
// the pixels the shape drawn in place would.

#include <cstdint>
#include <vector>

#include <QColor>
#include <QPoint>

class QPainter;
class QImage;

namespace velk {

// Draws marker `pointType` (0 none, 1 cross, 2 circle, 3 square, 4 pixel, 5 triangle,
// 6 losange, 7 diagonal cross) of half-size r centred on (x, y) with the painter's pen,
// outlines only. Lines leave out their end pixel, boxes their right and bottom edges.
void DrawMarkerShape(QPainter& painter, int pointType, int r, int x, int y);

// The pen used for outlines and lines of the graph: width 0 or 1 leaves out a line's end
// pixel; wider lines get round ends.
void SetGraphPen(QPainter& painter, const QColor& color, int width,
                 Qt::PenStyle style = Qt::SolidLine);

class TMarkerStamp {
public:
    // Rasterises the shape drawn with a pen of `penWidth` pixels.
    TMarkerStamp(int pointType, int r, int penWidth);

    int PointType() const { return pointType_; }
    int R() const { return r_; }
    int PenWidth() const { return penWidth_; }
    const std::vector<QPoint>& Offsets() const { return offsets_; }

    // Appends the marker's pixels centred on (x, y).
    void AppendTo(std::vector<QPoint>& pixels, int x, int y) const;

private:
    int pointType_, r_, penWidth_;
    std::vector<QPoint> offsets_;
};

// Sets `pixels` to `color` on the painter's device: written straight into the picture when
// it is a 32-bit QImage drawn without transformation, otherwise drawn as points.
void PutPixels(QPainter& painter, const std::vector<QPoint>& pixels, const QColor& color);

} // namespace velk
