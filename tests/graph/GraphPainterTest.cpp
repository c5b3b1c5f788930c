// The picture at pixel level, on a 700 x 500 picture whose plot area runs from (50, 50) to
// (650, 450); the fixed view maps x to column x + 50 and y to row 450 - y.

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "graph/GraphDrawing.h"
#include "graph/GraphPainter.h"
#include "graph/Graphex.h"
#include "graph/MarkerStamp.h"
#include "graph/SegmentClip.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

constexpr TColor Red = 0x0000FF;
const QRgb RedPixel = qRgb(255, 0, 0), Black = qRgb(0, 0, 0);
const QRect Everything(0, 0, 700, 500);

class GraphPicture : public ::testing::Test {
protected:
    GraphPicture() : image_(700, 500, QImage::Format_RGB32) {
        image_.fill(Qt::white);
        g_.SetSurface(&image_);
        g_.AutoScaleX = g_.AutoScaleY = g_.GridX = g_.GridY = false;
        g_.ShowOriginX = g_.ShowOriginY = false;
        SetView(0, 600, 0, 400);
    }
    void SetView(double x0, double x1, double y0, double y1) {
        g_.ViewXMin = x0, g_.ViewXMax = x1, g_.ViewYMin = y0, g_.ViewYMax = y1;
    }
    // A tied series of points (x, y) in `color`, without markers.
    void AddSeries(int s, std::initializer_list<std::pair<double, double>> points, TColor color) {
        int k = 0;
        for (const auto& [x, y] : points) {
            g_.SetX(++k, x);
            g_.SetY(s, k, y);
        }
        g_.TiedPoints[s] = true;
        g_.SeriesColor[s] = color;
    }
    void Repaint() {
        image_.fill(Qt::white);
        g_.Paint();
    }
    int CountIn(const QRect& area, QRgb color) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image_.pixel(x, y) == color;
        return n;
    }
    bool Is(int x, int y, QRgb color = RedPixel) const { return image_.pixel(x, y) == color; }

    QImage image_;
    Tgraphex g_;
};

TEST_F(GraphPicture, TiedLinesAreCutAtThePlotEdges) {
    // Inside at (150, 250); out above at (250, -150); out right at (750, 150); inside at
    // (600, 200). The first leg crosses the top at column 200; the last enters at row 183.
    AddSeries(1, {{100, 200}, {200, 600}, {700, 300}, {550, 250}}, Red);
    g_.Paint();
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 50), RedPixel), 0) << "nothing above the plot area";
    EXPECT_EQ(CountIn(QRect(651, 0, 49, 500), RedPixel), 0) << "nothing right of it";
    EXPECT_TRUE(Is(150, 250));
    EXPECT_TRUE(Is(200, 51) || Is(199, 51) || Is(199, 52));
    EXPECT_TRUE(Is(649, 183) || Is(649, 184));
    EXPECT_TRUE(Is(601, 200) || Is(602, 199) || Is(603, 199));
    EXPECT_EQ(CountIn(QRect(215, 55, 420, 120), RedPixel), 0) << "the outside points are joined";
    // A vertical segment enters through the bottom in its own (rounded) column; one with both
    // ends outside draws nothing, even across the plot.
    g_.SetPointCount(0);
    AddSeries(1, {{299.6, -100}, {299.6, 100}}, Red);
    AddSeries(2, {{299.6, -1000}, {299.6, 1000}}, 0x00FF00);
    g_.PointType[2] = 2;
    g_.PointSize[2] = 3;
    Repaint();
    EXPECT_EQ(CountIn(QRect(350, 351, 1, 99), RedPixel), 99);
    EXPECT_EQ(CountIn(Everything, RedPixel), 99) << "outside the plot, or its end pixel";
    EXPECT_EQ(CountIn(Everything, qRgb(0, 0xFF, 0)), 0);
}

TEST_F(GraphPicture, ZeroLinesOnlyStrictlyInsideThePlot) {
    AddSeries(1, {{100, 100}, {300, 200}}, 0xFF0000);
    g_.ShowOriginX = g_.ShowOriginY = true;
    g_.Paint(); // views start at 0: both zero lines fall on the plot's edges
    EXPECT_EQ(CountIn(Everything, RedPixel), 0);
    SetView(-100, 500, -100, 300); // zero at column 150 and row 350
    Repaint();
    const int inColumn = CountIn(QRect(150, 51, 1, 398), RedPixel);
    EXPECT_GT(inColumn, 200) << "dash-dot: mostly drawn";
    EXPECT_LT(inColumn, 398) << "dash-dot: with gaps";
    EXPECT_GT(CountIn(QRect(51, 350, 598, 1), RedPixel), 300);
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 50), RedPixel), 0);
    g_.AxesWidth = 9; // a whole dash-dot period
    Repaint();
    EXPECT_EQ(CountIn(QRect(651, 340, 49, 20), RedPixel), 0) << "past the right edge";
}

TEST_F(GraphPicture, DayAxisTicksEveryTenHoursWithHalfLengthHourlyMinors) {
    AddSeries(1, {{0, 100}, {24, 200}}, 0);
    g_.AutoScaleX = true;
    g_.XLabelFormat = 3;
    g_.Paint();
    EXPECT_EQ(g_.Map().XMajorStep, 10);
    EXPECT_EQ(g_.Map().XMinorStep, 1);
    EXPECT_EQ(CountIn(QRect(300, 451, 1, 10), Black), 9) << "major tick of 10 h";
    EXPECT_EQ(CountIn(QRect(75, 451, 1, 10), Black), 4) << "minor tick of 1 h";
    // The Y view starts at 0: one zero tick (and label), on the bottom row.
    EXPECT_EQ(CountIn(QRect(40, 450, 10, 1), Black), 9);
    EXPECT_EQ(CountIn(QRect(40, 451, 10, 1), Black), 0);
}

TEST_F(GraphPicture, TooFewLabelsWidenTheAutomaticViewByAFifth) {
    AddSeries(1, {{0, 10}, {600, 11.5}}, Red);
    g_.AutoScaleX = g_.AutoScaleY = true;
    for (int paint = 0; paint < 2; ++paint) { // the next paint starts again from the data
        g_.Paint();
        EXPECT_TRUE(g_.AutoScaleY) << "the automatic flag is kept";
        EXPECT_DOUBLE_EQ(g_.ViewYMin, 9.7); // m = 1.5 < 2: 0.3 more each side
        EXPECT_DOUBLE_EQ(g_.ViewYMax, 11.8);
        EXPECT_DOUBLE_EQ(g_.Map().MapYMin, 9.7) << "the picture shows the widened view";
        EXPECT_EQ(g_.ViewXMax, 600) << "18 labels at most fit 600";
    }
}

TEST_F(GraphPicture, LegendStopsAtTheFirstEntryThatWouldStartLeftOfThePlot) {
    const TColor colors[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF};
    for (int s = 1; s <= 5; ++s) {
        AddSeries(s, {{100, 100}, {300, 200}}, colors[s - 1]);
        g_.TiedPoints[s] = false;
        g_.ShowInLegend[s] = true;
        g_.SeriesTitle[s] = QStringLiteral("Series %1").arg(s);
    }
    g_.SeriesTitle[4] = QString(80, QLatin1Char('W')); // far wider than the plot
    g_.SeriesTitle[5] = "e"; // would fit where series 4 failed, but comes after it
    g_.Paint();
    for (int s = 1; s <= 5; ++s) {
        const QRgb c = ToQColor(colors[s - 1]).rgb();
        const int inLegend = CountIn(QRect(0, 50 / 3, 700, 1), c);
        EXPECT_TRUE(s <= 3 ? inLegend > 15 : inLegend == 0) << s << ": " << inLegend;
        EXPECT_EQ(CountIn(QRect(0, 50 / 3, 50, 1), c), 0) << s;
    }
    g_.Title = "Cold"; // neither legend nor title on a picture of 300 pixels or less
    for (int width : {300, 301}) {
        image_ = QImage(width, 300, QImage::Format_RGB32);
        g_.SetSurface(&image_);
        Repaint();
        const QRect top(3, 3, width - 6, 33); // inside the picture's border, above the plot
        const int drawn = top.width() * top.height() - CountIn(top, qRgb(255, 255, 255));
        EXPECT_EQ(drawn > 0, width > 300) << width;
    }
}

TEST_F(GraphPicture, PointCaptionsOnlyForTheFirst140Points) {
    for (int k = 1; k <= 141; ++k) {
        g_.SetX(k, k < 141 ? 10 : 300);
        g_.SetY(1, k, k < 141 ? 50 : 200);
    }
    g_.CaptionOverCurve[1] = true;
    g_.PointCaption(1, 1) = "WWW";
    g_.Paint();
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_LT(CountIn(QRect(55, 395, 60, 20), white), 1200 - 5) << "caption of point 1";
    EXPECT_EQ(CountIn(QRect(345, 245, 60, 20), white), 1200) << "point 141 has no caption";
}

TEST_F(GraphPicture, ErrorBarsAreClampedToThePlotArea) {
    AddSeries(1, {{100, 200}}, Red);
    g_.SetUncertainty(1, true);
    g_.SetErrPlus(1, 1, 1000); // far above: clamped to the top edge
    g_.SetErrMinus(1, 1, 50);
    g_.Paint();
    EXPECT_EQ(CountIn(QRect(150, 52, 1, 248), RedPixel), 248);
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 50), RedPixel), 0);
    EXPECT_EQ(CountIn(QRect(140, 300, 20, 1), RedPixel), 10) << "cap 5 pixels each side";
}

TEST_F(GraphPicture, DegeneratePicturesAndValuesPaintWithoutFault) {
    image_.fill(Qt::cyan);
    g_.Paint(); // no points: the picture stays as it was
    EXPECT_EQ(CountIn(Everything, QColor(Qt::cyan).rgb()), 700 * 500);
    AddSeries(1, {{0, 1}, {NAN, 2}, {INFINITY, -INFINITY}, {1e308, 1e-308}}, Red);
    g_.AutoScaleX = g_.AutoScaleY = true;
    g_.PointType[1] = 7;
    g_.PointSize[1] = 255;
    for (const QSize size : {QSize(100, 100), QSize(60, 40), QSize(1, 1), QSize(700, 500)}) {
        QImage picture(size, QImage::Format_RGB32);
        g_.SetSurface(&picture);
        g_.Paint();
        EXPECT_EQ(g_.Map().PlotWidth, size.width() - 100);
    }
}

TEST(SegmentClip, LinesLeaveAndEnterThroughTheEdgeTheyCross) {
    struct Case {
        double inX, inY, outX, outY;
        QPoint edge;
    };
    const Case cases[] = {
        {150, 250, 150, 550, {150, 450}}, // bottom, vertical
        {150, 250, 250, -150, {200, 50}}, // top
        {100, 100, 0, 200, {50, 150}},    // left
        {600, 200, 700, 300, {650, 250}}, // right
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeavingCrossing({50, 50, 650, 450}, c.inX, c.inY, c.outX, c.outY), c.edge)
            << c.edge.x() << "," << c.edge.y();
        EXPECT_EQ(EnteringCrossing({50, 50, 650, 450}, c.outX, c.outY, c.inX, c.inY), c.edge)
            << c.edge.x() << "," << c.edge.y();
    }
}

// Markers are stamped from a pixel list: it must cover exactly what the shape drawn in place does.
TEST(MarkerShapes, StampsMatchTheShapesDrawnInPlace) {
    for (int type = 0; type <= 8; ++type)
        for (int r : {0, 1, 3, 7})
            for (int pen : {0, 1, 3})
                for (QPoint at : {QPoint(20, 20), QPoint(41, 33)}) {
                    QImage direct(80, 60, QImage::Format_RGB32),
                        stamped(80, 60, QImage::Format_RGB32);
                    direct.fill(Qt::white);
                    stamped.fill(Qt::white);
                    QPainter p(&direct), q(&stamped);
                    SetGraphPen(p, Qt::red, pen);
                    DrawMarkerShape(p, type, r, at.x(), at.y());
                    std::vector<QPoint> pixels;
                    TMarkerStamp(type, r, pen).AppendTo(pixels, at.x(), at.y());
                    PutPixels(q, pixels, Qt::red);
                    p.end(), q.end();
                    EXPECT_EQ(direct, stamped) << "type " << type << " r " << r << " pen " << pen;
                }
}

TEST(MarkerShapes, ShapesHaveTheirGeometry) {
    struct Case {
        int type, r;
        std::vector<QPoint> on, off;
        int count;
    };
    const Case cases[] = {
        {1, 3, {{-3, 0}, {2, 0}, {0, -3}, {0, 2}}, {{3, 0}, {0, 3}}, 11}, // cross
        {2, 1, {{-1, 0}, {1, 0}, {0, -1}, {0, 1}}, {{0, 0}}, -1},         // circle 3 x 3
        {3, 2, {{-2, -2}, {1, -2}, {1, 1}}, {{2, 2}, {0, 0}}, 12},        // square 4 x 4
        {3, 0, {}, {}, 0},                                                // empty square
        {4, 5, {{0, 0}}, {}, 1},                                          // one pixel
        {4, 100000, {{0, 0}}, {}, 1},             // whatever its size, no larger scratch picture
        {5, 4, {{0, -4}, {-3, 2}}, {{0, 0}}, -1}, // triangle, apex up
        {6, 3, {{0, -3}, {-3, 0}, {0, 3}, {3, 0}}, {{0, 0}}, 12},  // losange
        {7, 2, {{3, -3}, {-3, -3}, {1, 1}}, {{0, 1}, {1, 0}}, -1}, // diagonal cross
        {0, 5, {}, {}, 0},                                         // none
        {9, 5, {}, {}, 0},                                         // unknown type
    };
    for (const auto& c : cases) {
        const TMarkerStamp stamp(c.type, c.r, 1);
        const auto& px = stamp.Offsets();
        auto has = [&](QPoint q) { return std::find(px.begin(), px.end(), q) != px.end(); };
        for (QPoint q : c.on)
            EXPECT_TRUE(has(q)) << c.type << " at " << q.x() << "," << q.y();
        for (QPoint q : c.off)
            EXPECT_FALSE(has(q)) << c.type << " at " << q.x() << "," << q.y();
        EXPECT_EQ(c.count < 0 ? -1 : static_cast<int>(px.size()), c.count) << c.type;
    }
}

} // namespace
