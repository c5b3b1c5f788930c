// The picture at pixel level: geometry of clipped lines, ticks, zero lines, legend and
// markers, on a 700 x 500 picture whose plot area runs from (50, 50) to (650, 450).

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "graph/GraphDrawing.h"
#include "graph/GraphPainter.h"
#include "graph/Graphex.h"
#include "graph/MarkerStamp.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

constexpr TColor Red = 0x0000FF;
constexpr TColor Blue = 0xFF0000;
const QRgb RedPixel = qRgb(255, 0, 0);

class GraphPicture : public ::testing::Test {
protected:
    GraphPicture() : image_(700, 500, QImage::Format_RGB32) {
        image_.setDotsPerMeterX(3780);
        image_.setDotsPerMeterY(3780);
        image_.fill(Qt::white);
        g_.SetSurface(&image_);
        // A fixed view maps x to column x + 50 and y to row 450 - y.
        g_.AutoScaleX = g_.AutoScaleY = false;
        g_.ViewXMin = 0;
        g_.ViewXMax = 600;
        g_.ViewYMin = 0;
        g_.ViewYMax = 400;
        g_.GridX = g_.GridY = false;
        g_.ShowOriginX = g_.ShowOriginY = false;
    }

    // Adds a tied series of points (x, y) in `color`, without markers.
    void AddSeries(int s, std::initializer_list<std::pair<double, double>> points, TColor color) {
        int k = 0;
        for (const auto& [x, y] : points) {
            ++k;
            g_.SetX(k, x);
            g_.SetY(s, k, y);
        }
        g_.TiedPoints[s] = true;
        g_.SeriesColor[s] = color;
    }

    int CountIn(const QRect& area, QRgb color) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image_.pixel(x, y) == color) ++n;
        return n;
    }
    bool Is(int x, int y, QRgb color) const { return image_.pixel(x, y) == color; }

    QImage image_;
    Tgraphex g_;
};

TEST_F(GraphPicture, SeriesOutsideTheViewDrawsNothingEvenAcrossThePlot) {
    AddSeries(1, {{100, 100}, {300, 200}}, 0);
    g_.Paint();
    const QImage without = image_.copy();
    // Series 2 jumps from far below to far above the plot area, and then runs beside it.
    g_.SetY(2, 1, -1000);
    g_.SetY(2, 2, 1000);
    g_.TiedPoints[2] = true;
    g_.PointType[2] = 2;
    g_.PointSize[2] = 3;
    g_.SeriesColor[2] = Red;
    image_.fill(Qt::white);
    g_.Paint();
    EXPECT_EQ(image_, without);
}

TEST_F(GraphPicture, TiedLineLeavesThroughTheTopAndComesBackThroughTheRightEdge) {
    // Inside at (150, 250); out above at (250, -150); out right at (750, 150); inside at
    // (600, 200). The first leg crosses the top at column 200; the last enters at row 183.
    AddSeries(1, {{100, 200}, {200, 600}, {700, 300}, {550, 250}}, Red);
    g_.Paint();
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 50), RedPixel), 0) << "nothing above the plot area";
    EXPECT_EQ(CountIn(QRect(651, 0, 49, 500), RedPixel), 0) << "nothing right of it";
    EXPECT_TRUE(Is(150, 250, RedPixel));
    EXPECT_TRUE(Is(200, 51, RedPixel) || Is(199, 51, RedPixel) || Is(199, 52, RedPixel));
    EXPECT_TRUE(Is(649, 183, RedPixel) || Is(649, 184, RedPixel));
    EXPECT_TRUE(Is(601, 200, RedPixel) || Is(602, 199, RedPixel) || Is(603, 199, RedPixel));
    // The gap: no line joins the two outside points through the plot.
    EXPECT_EQ(CountIn(QRect(215, 55, 420, 120), RedPixel), 0);
}

TEST_F(GraphPicture, VerticalSegmentEntersThroughTheBottomInItsOwnColumn) {
    AddSeries(1, {{300, -100}, {300, 100}}, Red);
    g_.Paint();
    for (int row = 351; row < 450; ++row)
        EXPECT_TRUE(Is(350, row, RedPixel)) << row;
    EXPECT_EQ(CountIn(QRect(0, 451, 700, 49), RedPixel), 0);
    EXPECT_EQ(CountIn(QRect(349, 0, 1, 500), RedPixel), 0);
    EXPECT_EQ(CountIn(QRect(351, 0, 1, 500), RedPixel), 0);
    EXPECT_FALSE(Is(350, 350, RedPixel)) << "a line leaves out its end pixel";
}

TEST_F(GraphPicture, UntiedPointsOutsideChangeNothing) {
    AddSeries(1, {{100, 100}, {300, -50}, {200, 100}}, Red);
    g_.TiedPoints[1] = false;
    g_.PointType[1] = 3;
    g_.PointSize[1] = 2;
    g_.Paint();
    // Two squares of 4 x 4 pixels, outline only: 12 pixels each.
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 500), RedPixel), 24);
    EXPECT_TRUE(Is(148, 348, RedPixel));
    EXPECT_TRUE(Is(151, 351, RedPixel));
    EXPECT_FALSE(Is(152, 352, RedPixel));
}

TEST_F(GraphPicture, ZeroLinesOnlyStrictlyInsideThePlot) {
    AddSeries(1, {{100, 100}, {300, 200}}, Blue);
    g_.ShowOriginX = g_.ShowOriginY = true;
    g_.Paint(); // views start at 0: both zero lines fall on the plot's edges
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 500), RedPixel), 0);

    g_.ViewXMin = -100; // x = 0 now at column 150
    g_.ViewXMax = 500;
    g_.ViewYMin = -100; // y = 0 now at row 350
    g_.ViewYMax = 300;
    image_.fill(Qt::white);
    g_.Paint();
    const int inColumn = CountIn(QRect(150, 51, 1, 398), RedPixel);
    EXPECT_GT(inColumn, 200) << "dash-dot: mostly drawn";
    EXPECT_LT(inColumn, 398) << "dash-dot: with gaps";
    EXPECT_GT(CountIn(QRect(51, 350, 598, 1), RedPixel), 300);
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 50), RedPixel), 0);
}

TEST_F(GraphPicture, DayAxisTicksEveryTenHoursWithHourlyMinors) {
    AddSeries(1, {{0, 100}, {24, 200}}, 0);
    g_.AutoScaleX = true;
    g_.XLabelFormat = 3;
    g_.Paint();
    EXPECT_EQ(g_.XMajorStep, 10);
    EXPECT_EQ(g_.XMinorStep, 1);
    const QRgb black = qRgb(0, 0, 0);
    for (int col : {51, 300, 550}) { // majors: 0 h (once, one pixel right of the edge), 10 h, 20 h
        for (int row = 451; row < 460; ++row)
            EXPECT_TRUE(Is(col, row, black)) << col << "," << row;
        EXPECT_FALSE(Is(col, 461, black)) << col;
    }
    EXPECT_FALSE(Is(50, 455, black)) << "no second zero tick on the edge";
    for (int row = 451; row < 455; ++row)
        EXPECT_TRUE(Is(75, row, black)) << row;
    EXPECT_FALSE(Is(75, 456, black)) << "a minor tick is half as long";
}

TEST_F(GraphPicture, TooFewLabelsWidenTheAutomaticViewByAFifthAndPaintOnce) {
    AddSeries(1, {{0, 10}, {600, 11.5}}, Red);
    g_.AutoScaleX = g_.AutoScaleY = true;
    g_.Paint();
    // Y: a span of 1.5 gives m = 1.5 < 2, so the view grows by 0.3 each side.
    EXPECT_TRUE(g_.AutoScaleY) << "the automatic flag is kept";
    EXPECT_DOUBLE_EQ(g_.ViewYMin, 9.7);
    EXPECT_DOUBLE_EQ(g_.ViewYMax, 11.8);
    EXPECT_DOUBLE_EQ(g_.MapYMin, 9.7) << "the picture shows the widened view";
    EXPECT_EQ(g_.YMajorStep, 1);
    // X: 600 with 18 labels at most is fine as it is.
    EXPECT_EQ(g_.ViewXMin, 0);
    EXPECT_EQ(g_.ViewXMax, 600);
    EXPECT_EQ(g_.XMajorStep, 100);
    // The next automatic paint starts again from the data.
    g_.Paint();
    EXPECT_DOUBLE_EQ(g_.ViewYMin, 9.7);
}

TEST_F(GraphPicture, NoLegendOrTitleAtThreeHundredPixels) {
    for (int width : {300, 301}) {
        QImage small(width, 300, QImage::Format_RGB32);
        g_.SetSurface(&small);
        AddSeries(1, {{100, 100}, {300, 200}}, 0);
        g_.MarginX = g_.MarginY = 50;
        g_.ShowInLegend[1] = false;
        g_.Title.clear();
        small.fill(Qt::white);
        g_.Paint();
        const QImage bare = small.copy();
        g_.ShowInLegend[1] = true;
        g_.SeriesTitle[1] = "Cold";
        g_.Title = "Title";
        small.fill(Qt::white);
        g_.Paint();
        if (width == 300)
            EXPECT_EQ(small, bare);
        else
            EXPECT_NE(small, bare);
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
    const int yLine = 50 / 3;
    auto inLegend = [&](TColor c) { return CountIn(QRect(0, yLine, 700, 1), ToQColor(c).rgb()); };
    for (int s = 1; s <= 3; ++s)
        EXPECT_GT(inLegend(colors[s - 1]), 15) << s;
    EXPECT_EQ(inLegend(colors[3]), 0);
    EXPECT_EQ(inLegend(colors[4]), 0);
    for (int s = 1; s <= 3; ++s)
        EXPECT_EQ(CountIn(QRect(0, yLine, 50, 1), ToQColor(colors[s - 1]).rgb()), 0);
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
    const QRect nearFirst(55, 395, 60, 20), nearLast(345, 245, 60, 20);
    EXPECT_LT(CountIn(nearFirst, white), nearFirst.width() * nearFirst.height() - 5)
        << "caption of point 1";
    // Point 141 is beyond the captions (the painter must not even ask for its text).
    EXPECT_EQ(CountIn(nearLast, white), nearLast.width() * nearLast.height());
}

TEST_F(GraphPicture, ErrorBarsAreClampedToThePlotArea) {
    AddSeries(1, {{100, 200}}, Red);
    g_.SetUncertainty(1, true);
    g_.SetErrPlus(1, 1, 1000); // far above: clamped to the top edge
    g_.SetErrMinus(1, 1, 50);
    g_.Paint();
    for (int row = 52; row < 300; ++row)
        EXPECT_TRUE(Is(150, row, RedPixel)) << row;
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 50), RedPixel), 0);
    // Caps 5 pixels each side, at the clamped top and at y = 150 (row 300).
    EXPECT_TRUE(Is(145, 300, RedPixel));
    EXPECT_TRUE(Is(154, 300, RedPixel));
    EXPECT_FALSE(Is(156, 300, RedPixel));
}

TEST_F(GraphPicture, DegeneratePicturesAndValuesPaintWithoutFault) {
    // Plots of no or negative size, and points that are not numbers or infinite.
    AddSeries(1, {{0, 1}, {NAN, 2}, {INFINITY, -INFINITY}, {1e308, 1e-308}}, Red);
    g_.AutoScaleX = g_.AutoScaleY = true;
    g_.PointType[1] = 7;
    g_.PointSize[1] = 255;
    for (const QSize size : {QSize(100, 100), QSize(60, 40), QSize(1, 1), QSize(700, 500)}) {
        QImage picture(size, QImage::Format_RGB32);
        g_.SetSurface(&picture);
        g_.Paint();
        EXPECT_EQ(g_.PlotWidth, size.width() - 100);
    }
}

TEST_F(GraphPicture, PaintLeavesNothingWhenThereAreNoPoints) {
    image_.fill(Qt::green);
    g_.Paint();
    EXPECT_EQ(CountIn(QRect(0, 0, 700, 500), qRgb(0, 255, 0)), 700 * 500);
}

// A marker stamped from its pixel list must cover exactly what the shape drawn in place does.
TEST(MarkerShapes, StampsMatchTheShapesDrawnInPlace) {
    for (int type = 0; type <= 8; ++type)
        for (int r : {0, 1, 3, 7})
            for (int pen : {0, 1, 3})
                for (QPoint at : {QPoint(20, 20), QPoint(41, 33)}) {
                    QImage direct(80, 60, QImage::Format_RGB32);
                    direct.fill(Qt::white);
                    {
                        QPainter p(&direct);
                        SetGraphPen(p, Qt::red, pen);
                        DrawMarkerShape(p, type, r, at.x(), at.y());
                    }
                    QImage stamped(80, 60, QImage::Format_RGB32);
                    stamped.fill(Qt::white);
                    {
                        QPainter p(&stamped);
                        std::vector<QPoint> pixels;
                        TMarkerStamp(type, r, pen).AppendTo(pixels, at.x(), at.y());
                        PutPixels(p, pixels, Qt::red);
                    }
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
        {4, 5, {{0, 0}}, {}, 1},                                          // one pixel
        {5, 4, {{0, -4}, {-3, 2}}, {{0, 0}}, -1},                         // triangle, apex up
        {6, 3, {{0, -3}, {-3, 0}, {0, 3}, {3, 0}}, {{0, 0}}, 12},         // losange
        {7, 2, {{3, -3}, {-3, -3}, {1, 1}}, {{0, 1}, {1, 0}}, -1},        // diagonal cross
        {0, 5, {}, {{0, 0}}, 0},                                          // none
        {9, 5, {}, {{0, 0}}, 0},                                          // unknown type
    };
    for (const auto& c : cases) {
        const TMarkerStamp stamp(c.type, c.r, 1);
        const auto& px = stamp.Offsets();
        auto has = [&](QPoint q) { return std::find(px.begin(), px.end(), q) != px.end(); };
        for (QPoint q : c.on)
            EXPECT_TRUE(has(q)) << c.type << " at " << q.x() << "," << q.y();
        for (QPoint q : c.off)
            EXPECT_FALSE(has(q)) << c.type << " at " << q.x() << "," << q.y();
        if (c.count >= 0) {
            EXPECT_EQ(static_cast<int>(px.size()), c.count) << c.type;
        }
    }
}

} // namespace

namespace {

TEST(ThinLines, EveryDirectionStartsOnItsFirstPixelAndStopsBeforeItsEnd) {
    const QPoint from(20, 20);
    const QPoint ends[] = {{27, 20}, {27, 23}, {27, 27}, {23, 27}, {20, 27}, {17, 27},
                           {13, 27}, {13, 23}, {13, 20}, {13, 16}, {13, 13}, {17, 13},
                           {20, 13}, {23, 13}, {27, 13}, {27, 17}, {20, 20}};
    for (const QPoint& to : ends) {
        std::vector<QPoint> pixels;
        AppendLinePixels(pixels, from, to);
        const int steps = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
        ASSERT_EQ(static_cast<int>(pixels.size()), steps) << to.x() << "," << to.y();
        if (steps == 0) continue;
        EXPECT_EQ(pixels.front(), from);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), to), 0);
        // The last pixel is the end's neighbour: the line reaches its end but leaves it out.
        EXPECT_LE(std::abs(pixels.back().x() - to.x()), 1);
        EXPECT_LE(std::abs(pixels.back().y() - to.y()), 1);
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            EXPECT_LE(std::abs(pixels[i].x() - pixels[i - 1].x()), 1);
            EXPECT_LE(std::abs(pixels[i].y() - pixels[i - 1].y()), 1);
        }
    }
}

} // namespace
