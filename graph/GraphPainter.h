#pragma once
// Draws a whole graph with a QPainter: background, curves, ticks and labels, frame, zero
// lines, captions, legend and title. One painter serves the window's picture, off-screen
// pictures and printers; the graph's fields say what and how large.

#include <memory>
#include <vector>

#include <QFont>
#include <QPoint>
#include <QSize>

#include "graph/GraphDrawing.h"
#include "graph/Graphex.h"
#include "graph/MarkerStamp.h"

class QPainter;
class QLine;

namespace velk {

class TGraphPainter {
public:
    // A painter of a picture of `size` on the painter's device.
    TGraphPainter(const Tgraphex& graph, QPainter& painter, QSize size);
    // Draws the picture and returns its scale map; the widening for too few labels paints it
    // again from the start.
    TScaleMap Paint();

private:
    void Background();
    void Ranges();
    void Curves();
    void Series(int s);
    void FlushSeries(const QColor& color, int penWidth);
    // Tick steps of one axis; false when too few labels made a wider repaint draw the picture.
    bool TickSteps(int pixels, double range, int& exponent, bool& autoScale, double& viewMin,
                   double& viewMax, double& major, double& minor);
    void Draw();
    bool XTicks(); // false when a wider repaint has drawn the picture instead
    bool YTicks();
    void Frame();
    void ZeroLines();
    void Captions();
    void DrawPoint(int pointType, int size, int lineWidth, const QColor& color, int x, int y);
    // Gathers a stamped marker's pixels, or draws one too large to stamp at once.
    void Marker(const TMarkerStamp& stamp, const QColor& color, int x, int y);
    const TMarkerStamp& Stamp(int pointType, int size, int penWidth);

    void UseFont(int pointSize);
    void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    int TextHeight() const;
    double PixelX(double x) const;
    double PixelY(double y) const;

    const Tgraphex& g_;
    QPainter& p_;
    TScaleMap m_;
    // The axes' automatic scaling, off while a widened view is painted again.
    bool autoScaleX_, autoScaleY_;
    std::vector<QLine> lines_;
    std::vector<QPoint> pixels_;
    std::vector<QPoint> linePixels_;
    std::vector<std::unique_ptr<TMarkerStamp>> stamps_;
};

} // namespace velk
