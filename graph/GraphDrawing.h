#pragma once
// Drawing primitives of the graph with the pixel rules it is drawn by: lines leave out their
// end pixel, boxes their right and bottom edges; pixels go straight into 32-bit pictures.

#include <vector>

#include <QColor>
#include <QPoint>

class QLine;
class QPainter;

namespace velk {

// Draws marker `pointType` (0 none, 1 cross, 2 circle, 3 square, 4 pixel, 5 triangle,
// 6 losange, 7 diagonal cross) of half-size r centred on (x, y) with the painter's pen,
// outlines only. Lines leave out their end pixel, boxes their right and bottom edges.
void DrawMarkerShape(QPainter& painter, int pointType, int r, int x, int y);

// The pen used for outlines and lines of the graph; wider lines get round ends.
void SetGraphPen(QPainter& painter, const QColor& color, int width,
                 Qt::PenStyle style = Qt::SolidLine);

// Appends the pixels of a thin line from `from` to `to`, leaving out the end pixel whatever
// the direction (the raster engine would leave out the lower or right end instead).
void AppendLinePixels(std::vector<QPoint>& pixels, const QPoint& from, const QPoint& to);

// Draws a line with the painter's pen; a solid pen of width 0 or 1 leaves out the end pixel.
void DrawLine(QPainter& painter, const QPoint& from, const QPoint& to);
// Draws many lines with one pen the same way.
void DrawLines(QPainter& painter, const std::vector<QLine>& lines,
               std::vector<QPoint>& scratchPixels);

// Sets `pixels` to `color` on the painter's device: written straight into the picture when
// it is a 32-bit QImage drawn without transformation, otherwise drawn as points.
void PutPixels(QPainter& painter, const std::vector<QPoint>& pixels, const QColor& color);

} // namespace velk
