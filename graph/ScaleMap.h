#pragma once
// The scale map of one paint of a graph: the picture's size, where the plot area lies on it,
// the values its edges stand for, and the view, tick steps and label exponents that paint
// chose. The painter returns one for every picture it draws; the window keeps the map of its
// own picture, which the position read-out, the zoom rectangle and the pick go on using, so a
// paint elsewhere (a file, the clipboard, a printer) cannot move them.

namespace velk {

struct TScaleMap {
    int ImageWidth = 0, ImageHeight = 0;
    int MarginX = 50, MarginY = 50;
    int PlotWidth = 0, PlotHeight = 0;
    double MapXMin = 0, MapXMax = 0, MapYMin = 0, MapYMax = 0;
    double RangeX = 0, RangeY = 0;
    // The view shown: the data's while an axis scales itself, widened when it had too few
    // labels.
    double ViewXMin = 0, ViewXMax = 0, ViewYMin = 0, ViewYMax = 0;
    int XLabelExponent = 0, YLabelExponent = 0;
    double XMajorStep = 1, XMinorStep = 0.1, YMajorStep = 1, YMinorStep = 0.1;
    int LabelGapX = 3, LabelGapY = 5;
    // The pick circle drawn on the picture since, or -1.
    int MarkerX = -1, MarkerY = -1;

    // Exact (not rounded) pixel column of abscissa x and pixel row of ordinate y.
    double XToPixel(double x) const { return (x - MapXMin) / RangeX * PlotWidth + MarginX; }
    double YToPixel(double y) const { return (1 - (y - MapYMin) / RangeY) * PlotHeight + MarginY; }
    // Value of pixel column c and of pixel row r, both counted from the plot's margin.
    double ColumnValue(double c) const { return c / PlotWidth * RangeX + MapXMin; }
    double RowValue(double r) const { return (1 - r / PlotHeight) * RangeY + MapYMin; }
    bool operator==(const TScaleMap&) const = default;
    // True when pixel (x, y) lies in the plot area, edges included.
    bool InPlotArea(int x, int y) const {
        return MarginX <= x && x <= MarginX + PlotWidth && MarginY <= y &&
               y <= MarginY + PlotHeight;
    }
};

} // namespace velk
