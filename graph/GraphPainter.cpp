#include "graph/GraphPainter.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QLine>
#include <QPainter>

#include "graph/AxisScale.h"
#include "graph/SegmentClip.h"

namespace velk {

void Tgraphex::Paint() {
    if (pointCount_ == 0 || canvas_ == nullptr) return;
    // An off-screen paint leaves the window's picture, with its pick circle, as it is.
    if (!OffscreenRendering) {
        if (notifier_) notifier_->HideReadOutButton();
        MarkPick(-1, -1);
    }
    TScaleMap map;
    {
        QPainter painter;
        if (!painter.begin(canvas_))
            throw EgraphexError(QStringLiteral("Unable to draw the graph on this device"));
        map = TGraphPainter(*this, painter, canvasSize_).Paint();
    }
    if (!OffscreenRendering) {
        map_ = map;
        ViewXMin = map.ViewXMin, ViewXMax = map.ViewXMax;
        ViewYMin = map.ViewYMin, ViewYMax = map.ViewYMax;
        XLabelExponent = map.XLabelExponent, YLabelExponent = map.YLabelExponent;
    }
    if (OnPainted) OnPainted(canvas_, map);
}

TGraphPainter::TGraphPainter(const Tgraphex& graph, QPainter& painter, QSize size)
    : g_(graph), p_(painter), autoScaleX_(graph.AutoScaleX), autoScaleY_(graph.AutoScaleY) {
    // What the paint starts from; it chooses the rest.
    m_.ImageWidth = size.width(), m_.ImageHeight = size.height();
    m_.MarginX = graph.MarginX, m_.MarginY = graph.MarginY;
    m_.ViewXMin = graph.ViewXMin, m_.ViewXMax = graph.ViewXMax;
    m_.ViewYMin = graph.ViewYMin, m_.ViewYMax = graph.ViewYMax;
    m_.XLabelExponent = graph.XLabelExponent, m_.YLabelExponent = graph.YLabelExponent;
    lines_.reserve(4 * MaxPoints);
    pixels_.reserve(16 * MaxPoints);
}

TScaleMap TGraphPainter::Paint() {
    Draw();
    return m_;
}

void TGraphPainter::Draw() {
    p_.setRenderHint(QPainter::Antialiasing, false);
    p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_.LabelGapX = RoundToInt(3 * g_.Scale);
    m_.LabelGapY = RoundToInt(5 * g_.Scale);
    Background();
    m_.PlotWidth = m_.ImageWidth - 2 * m_.MarginX;
    m_.PlotHeight = m_.ImageHeight - 2 * m_.MarginY;
    Ranges();
    UseFont(g_.CurveFontSize);
    Curves();
    UseFont(g_.AxisFontSize);
    if (!XTicks()) return;
    if (!YTicks()) return;
    Frame();
    ZeroLines();
    Captions();
}

void TGraphPainter::Background() {
    const int u = g_.UnitWidth;
    SetGraphPen(p_, ToQColor(g_.BorderColor), RoundToInt(g_.BorderWidth * g_.Scale));
    p_.setBrush(ToQColor(g_.BackgroundColor));
    // Box (u, u) to (width - u, height - u) without its right and bottom edges.
    p_.drawRect(QRect(u, u, m_.ImageWidth - 2 * u - 1, m_.ImageHeight - 2 * u - 1));
    p_.setBrush(Qt::NoBrush);
}

void TGraphPainter::Ranges() {
    double xMin = 1e300, xMax = -1e300, yMin = 1e300, yMax = -1e300;
    const int n = g_.PointCount();
    const double* xs = g_.XData();
    for (int k = 0; k < n; ++k) {
        if (xs[k] > xMax) xMax = xs[k];
        if (xs[k] < xMin) xMin = xs[k];
    }
    for (int s = 1; s <= MaxSeries; ++s) {
        const double* ys = g_.YData(s);
        if (ys == nullptr) continue;
        for (int k = 0; k < n; ++k) {
            if (ys[k] > yMax) yMax = ys[k];
            if (ys[k] < yMin) yMin = ys[k];
        }
    }
    const TShownRange rx = ShownRange(xMin, xMax, autoScaleX_, m_.ViewXMin, m_.ViewXMax);
    const TShownRange ry = ShownRange(yMin, yMax, autoScaleY_, m_.ViewYMin, m_.ViewYMax);
    m_.MapXMin = rx.mapMin;
    m_.MapXMax = rx.mapMax;
    m_.RangeX = rx.range;
    m_.ViewXMin = rx.viewMin;
    m_.ViewXMax = rx.viewMax;
    m_.MapYMin = ry.mapMin;
    m_.MapYMax = ry.mapMax;
    m_.RangeY = ry.range;
    m_.ViewYMin = ry.viewMin;
    m_.ViewYMax = ry.viewMax;
}

double TGraphPainter::PixelX(double x) const {
    return RoundEven(m_.XToPixel(x));
}

double TGraphPainter::PixelY(double y) const {
    return RoundEven(m_.YToPixel(y));
}

void TGraphPainter::Curves() {
    for (int s = 1; s <= MaxSeries; ++s)
        if (g_.IsSeriesPresent(s)) Series(s);
}

void TGraphPainter::Series(int s) {
    const int n = g_.PointCount();
    const double* xs = g_.XData();
    const double* ys = g_.YData(s);
    const double* errPlus = g_.ErrPlusData(s);
    const double* errMinus = g_.ErrMinusData(s);
    const bool hasError = errPlus != nullptr && errMinus != nullptr;
    const bool tied = g_.TiedPoints[s];
    const bool captions = g_.CaptionOverCurve[s];
    const QColor color = ToQColor(g_.SeriesColor[s]);
    const int penWidth = RoundToInt(g_.LineWidth[s] * g_.Scale);
    const int captionOffset = 2 * g_.PointSize[s];
    const TMarkerStamp& stamp =
        Stamp(g_.PointType[s], RoundToInt(g_.PointSize[s] * g_.Scale), penWidth);
    const TPlotEdges edges{m_.MarginX, m_.MarginY, m_.MarginX + m_.PlotWidth,
                           m_.MarginY + m_.PlotHeight};
    const double capHalfWidth = 5 * g_.Scale;

    // One colour and one pen for the whole series: lines and markers are gathered and drawn
    // together, which changes no pixel; only a point caption has to see them drawn first.
    lines_.clear();
    pixels_.clear();
    bool penUp = true;
    double prevX = 0, prevY = 0;
    for (int k = 1; k <= n; ++k) {
        const double px = PixelX(xs[k - 1]);
        const double py = PixelY(ys[k - 1]);
        const bool inside =
            edges.left <= px && px <= edges.right && edges.top <= py && py <= edges.bottom;
        if (!inside) {
            if (!tied) continue;
            if (!penUp) {
                if (const auto to = LeavingCrossing(edges, prevX, prevY, px, py))
                    lines_.emplace_back(QPoint(static_cast<int>(prevX), static_cast<int>(prevY)),
                                        *to);
                penUp = true;
            }
            prevX = px;
            prevY = py;
            continue;
        }
        const int x = static_cast<int>(px);
        const int y = static_cast<int>(py);
        if (hasError) {
            const double top = PixelY(ys[k - 1] + errPlus[k - 1]);
            const double bottom = PixelY(ys[k - 1] - errMinus[k - 1]);
            for (double end : {top, bottom}) {
                const int yEnd = static_cast<int>(
                    std::clamp<double>(std::isnan(end) ? py : end, edges.top, edges.bottom));
                lines_.emplace_back(x, y, x, yEnd);
                lines_.emplace_back(RoundToInt(px - capHalfWidth), yEnd,
                                    RoundToInt(px + capHalfWidth), yEnd);
            }
        }
        Marker(stamp, color, x, y);
        if (tied) {
            if (!penUp) {
                lines_.emplace_back(static_cast<int>(prevX), static_cast<int>(prevY), x, y);
            } else if (k > 1) {
                if (const auto from = EnteringCrossing(edges, prevX, prevY, px, py))
                    lines_.emplace_back(*from, QPoint(x, y));
            }
        }
        prevX = px;
        prevY = py;
        penUp = false;
        if (captions && k <= MaxPointCaptions) {
            const QString& text = g_.PointCaption(s, k);
            if (!text.isEmpty()) {
                FlushSeries(color, penWidth);
                p_.save();
                p_.setClipRect(QRect(edges.left, edges.top, m_.PlotWidth, m_.PlotHeight));
                TextOut(x + captionOffset, y + captionOffset, text);
                p_.restore();
            }
        }
    }
    FlushSeries(color, penWidth);
}

void TGraphPainter::FlushSeries(const QColor& color, int penWidth) {
    if (!lines_.empty()) {
        SetGraphPen(p_, color, penWidth);
        DrawLines(p_, lines_, linePixels_);
        lines_.clear();
    }
    PutPixels(p_, pixels_, color);
    pixels_.clear();
}

const TMarkerStamp& TGraphPainter::Stamp(int pointType, int size, int penWidth) {
    for (const auto& stamp : stamps_)
        if (stamp->PointType() == pointType && stamp->R() == size && stamp->PenWidth() == penWidth)
            return *stamp;
    stamps_.push_back(std::make_unique<TMarkerStamp>(pointType, size, penWidth));
    return *stamps_.back();
}

void TGraphPainter::Marker(const TMarkerStamp& stamp, const QColor& color, int x, int y) {
    if (stamp.Stamped()) {
        stamp.AppendTo(pixels_, x, y);
        return;
    }
    // Drawn where it stands, in the series' colour like the gathered pixels: the painter
    // clips it to the picture.
    SetGraphPen(p_, color, stamp.PenWidth());
    DrawMarkerShape(p_, stamp.PointType(), stamp.R(), x, y);
}

void TGraphPainter::DrawPoint(int pointType, int size, int lineWidth, const QColor& color, int x,
                              int y) {
    pixels_.clear();
    Marker(Stamp(pointType, size, RoundToInt(lineWidth * g_.Scale)), color, x, y);
    PutPixels(p_, pixels_, color);
    pixels_.clear();
}

bool TGraphPainter::TickSteps(int pixels, double range, int& exponent, bool& autoScale,
                              double& viewMin, double& viewMax, double& major, double& minor) {
    if (g_.AutoLabelExponent) {
        const TExponent found = FindExponent(2, MaxLabels(pixels), range);
        exponent = found.e;
        if (found.m < 2 && autoScale) {
            // Too few labels: widen the view by a fifth each side and paint once more.
            const double r = viewMax - viewMin;
            viewMin = viewMin - r / 5;
            viewMax = r / 5 + viewMax;
            autoScale = false;
            Draw();
            autoScale = true;
            return false;
        }
    }
    major = std::pow(10.0, exponent);
    minor = std::pow(10.0, exponent - 1);
    return true;
}

bool TGraphPainter::XTicks() {
    if (!TickSteps(m_.ImageWidth, m_.RangeX, m_.XLabelExponent, autoScaleX_, m_.ViewXMin,
                   m_.ViewXMax, m_.XMajorStep, m_.XMinorStep))
        return false;

    const int bottom = m_.MarginY + m_.PlotHeight;
    const TAxisWalk walk{m_.MapXMin, m_.RangeX, m_.PlotWidth, false};
    const QColor axes = ToQColor(g_.AxesColor);
    const QColor grid = ToQColor(g_.GridColor);
    for (const TTick& t :
         WalkTicks(walk, m_.ViewXMin == 0 ? 0 : -1, m_.XMajorStep, m_.XMinorStep, true)) {
        const int col = m_.MarginX + t.pos;
        SetGraphPen(p_, axes, g_.UnitWidth);
        if (!t.major) {
            DrawLine(p_, {col, bottom}, {col, bottom + g_.TickLengthX / 2});
            continue;
        }
        DrawLine(p_, {col, bottom}, {col, bottom + g_.TickLengthX});
        if (g_.GridX) {
            SetGraphPen(p_, grid, g_.UnitWidth);
            DrawLine(p_, {col, bottom - g_.AxesWidth}, {col, m_.MarginY});
        }
        const QString text = XLabelText(g_.XLabelFormat, m_.XMajorStep, t.value);
        TextOut(col - TextWidth(text) / 2, bottom + g_.TickLengthX + m_.LabelGapX, text);
    }
    return true;
}

bool TGraphPainter::YTicks() {
    if (!TickSteps(m_.ImageHeight, m_.RangeY, m_.YLabelExponent, autoScaleY_, m_.ViewYMin,
                   m_.ViewYMax, m_.YMajorStep, m_.YMinorStep))
        return false;

    const TAxisWalk walk{m_.MapYMin, m_.RangeY, m_.PlotHeight, true};
    const QColor axes = ToQColor(g_.AxesColor);
    const QColor grid = ToQColor(g_.GridColor);
    const int h = TextHeight();
    for (const TTick& t :
         WalkTicks(walk, m_.ViewYMin == 0 ? 0 : -1, m_.YMajorStep, m_.YMinorStep, false)) {
        // A view starting at 0 has 0 on the bottom row, and the sign test marks the row below
        // as well: a second "0" one pixel lower would read as a bold one.
        if (m_.ViewYMin == 0 && t.pos == m_.PlotHeight + 1) continue;
        const int row = m_.MarginY + t.pos;
        SetGraphPen(p_, axes, g_.UnitWidth);
        if (!t.major) {
            DrawLine(p_, {m_.MarginX, row}, {m_.MarginX - g_.TickLengthY / 2, row});
            continue;
        }
        DrawLine(p_, {m_.MarginX, row}, {m_.MarginX - g_.TickLengthY, row});
        if (g_.GridY) {
            SetGraphPen(p_, grid, g_.UnitWidth);
            DrawLine(p_, {m_.MarginX + g_.AxesWidth, row}, {m_.MarginX + m_.PlotWidth, row});
        }
        const QString text = FormatStep(m_.YMajorStep, t.value);
        TextOut(m_.MarginX - TextWidth(text) - m_.LabelGapY - g_.TickLengthY, row - h / 2, text);
    }
    return true;
}

void TGraphPainter::Frame() {
    const int left = m_.MarginX, top = m_.MarginY;
    const int right = left + m_.PlotWidth, bottom = top + m_.PlotHeight;
    SetGraphPen(p_, ToQColor(g_.AxesColor), g_.AxesWidth);
    DrawLine(p_, {left, bottom}, {right, bottom});
    DrawLine(p_, {left, bottom}, {left, top});
    DrawLine(p_, {left, top}, {right, top});
    DrawLine(p_, {right, top}, {right, bottom});
}

void TGraphPainter::ZeroLines() {
    const int left = m_.MarginX, top = m_.MarginY;
    const int right = left + m_.PlotWidth, bottom = top + m_.PlotHeight;
    const QColor color = ToQColor(g_.OriginColor);
    if (g_.ShowOriginX) {
        const double x0 = PixelX(0);
        if (left < x0 && x0 < right) {
            SetGraphPen(p_, color, g_.UnitWidth, Qt::DashDotLine);
            DrawLine(p_, {static_cast<int>(x0), bottom - g_.AxesWidth},
                     {static_cast<int>(x0), top});
        }
    }
    if (g_.ShowOriginY) {
        const double y0 = PixelY(0);
        if (top < y0 && y0 < bottom) {
            SetGraphPen(p_, color, g_.UnitWidth, Qt::DashDotLine);
            // Up to the frame's right edge, not AxesWidth past it across the frame.
            DrawLine(p_, {left + g_.AxesWidth, static_cast<int>(y0)},
                     {right, static_cast<int>(y0)});
        }
    }
    SetGraphPen(p_, color, g_.UnitWidth);
}

void TGraphPainter::Captions() {
    const int left = m_.MarginX;
    const int right = left + m_.PlotWidth, bottom = m_.MarginY + m_.PlotHeight;
    const int h = TextHeight();
    if (!g_.XCaption.isEmpty()) {
        const int x = (m_.ImageWidth - TextWidth(g_.XCaption)) / 2;
        const int below = bottom + g_.TickLengthX + 2 * m_.LabelGapX;
        if (below + 2 * h <= m_.ImageHeight - 2 * m_.LabelGapX)
            TextOut(x, below + h, g_.XCaption);
        else
            TextOut(x, m_.MarginY / 2, g_.XCaption);
    }
    if (!g_.YCaption.isEmpty()) {
        // Written vertically, one character under the other, right of the plot area.
        const int step = RoundToInt(0.75 * h);
        const int n = static_cast<int>(g_.YCaption.size());
        const int x = right + g_.TickLengthY + m_.LabelGapY;
        const int y0 = (m_.ImageHeight - n * step) / 2;
        for (int j = 0; j < n; ++j)
            TextOut(x, y0 + j * step, g_.YCaption.mid(j, 1));
    }
    if (m_.ImageWidth <= 300) return;

    const int u = g_.UnitWidth;
    int entries = 0;
    int spacing = 0;
    for (int s = 1; s <= MaxSeries; ++s) {
        if (!g_.IsSeriesPresent(s) || !g_.ShowInLegend[s]) continue;
        const QColor color = ToQColor(g_.SeriesColor[s]);
        const int titleWidth = TextWidth(g_.SeriesTitle[s]);
        const int w = std::max(titleWidth, 20 * u);
        const int xRight = right - entries * spacing * u;
        const int xLeft = right - w * u - entries * spacing * u;
        const int yLine = m_.MarginY / 3;
        if (left > xLeft) break;
        SetGraphPen(p_, color, RoundToInt(g_.LineWidth[s] * g_.Scale));
        DrawLine(p_, {xRight, yLine}, {xLeft, yLine});
        DrawPoint(g_.PointType[s], RoundToInt(g_.PointSize[s] * g_.Scale), g_.LineWidth[s], color,
                  (xRight + xLeft) / 2, yLine);
        ++entries;
        TextOut(xRight - titleWidth, m_.MarginY / 2, g_.SeriesTitle[s]);
        spacing = std::max(titleWidth + 10 * u, 25 * u);
    }
    TextOut(m_.MarginX, m_.MarginY / 2, g_.Title);
}

void TGraphPainter::UseFont(int pointSize) {
    QFont font(g_.FontName);
    // A scaled-down picture can round a size to 0, which no font has.
    font.setPointSize(std::max(pointSize, 1));
    font.setBold(g_.FontStyle & fsBold);
    font.setItalic(g_.FontStyle & fsItalic);
    font.setUnderline(g_.FontStyle & fsUnderline);
    font.setStrikeOut(g_.FontStyle & fsStrikeOut);
    p_.setFont(font);
}

void TGraphPainter::TextOut(int x, int y, const QString& text) {
    if (text.isEmpty()) return;
    p_.setPen(ToQColor(g_.FontColor));
    p_.drawText(x, y + QFontMetrics(p_.font(), p_.device()).ascent(), text);
}

int TGraphPainter::TextWidth(const QString& text) const {
    return QFontMetrics(p_.font(), p_.device()).horizontalAdvance(text);
}

int TGraphPainter::TextHeight() const {
    return QFontMetrics(p_.font(), p_.device()).height();
}

} // namespace velk
