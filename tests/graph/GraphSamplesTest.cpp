// Writes sample pictures into the build tree for a person to look at (a clean scientific
// plot with readable labels), and checks that each decodes to its size.

#include <cmath>

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using velk::Tgraphex;

namespace {

void WriteBoth(Tgraphex& g, const QString& stem, int width = 700, int height = 500) {
    const QString dir = QStringLiteral(VELK_GRAPH_SAMPLES_DIR);
    QDir().mkpath(dir);
    for (int kind : {1, 2}) {
        const QString path = dir + '/' + stem + (kind == 1 ? ".bmp" : ".jpg");
        g.RenderToFile(path, kind, width, height);
        EXPECT_EQ(QImage(path).size(), QSize(width, height)) << path.toStdString();
    }
}

// Titles, and series 1 tied with markers of `pointType`.
void Describe(Tgraphex& g, const char* title, const char* x, const QString& y, int pointType) {
    g.Title = title;
    g.XCaption = x;
    g.YCaption = y;
    g.SetSeriesPresent(1, true);
    g.TiedPoints[1] = true;
    g.PointType[1] = static_cast<std::uint8_t>(pointType);
    g.PointSize[1] = pointType == 2 ? 1 : 2;
}

// The main window's history graph: a cold plate cooling down over a few hours.
TEST(GraphSamples, TemperatureHistory) {
    Tgraphex g;
    Describe(g, "Cold plate", "Time", QString::fromUtf8("Cold plate (°C)"), 2);
    g.XLabelFormat = 3;
    for (int k = 1; k <= 400; ++k) { // one point a minute from 09h30
        const double t = 9.5 + k / 60.0;
        g.SetPointCount(k);
        g.SetX(k, t);
        g.SetY(1, k, -180 + 160 * std::exp(-(t - 9.5) / 1.2) + 0.4 * std::sin(k));
    }
    WriteBoth(g, "temperature_history");
    WriteBoth(g, "temperature_history_hires", 2000, 1500);
}

// Several series with every marker kind, error bars, point captions and a legend.
TEST(GraphSamples, SeveralSeriesWithLegend) {
    Tgraphex g;
    Describe(g, "Calibration runs", "Channel", "Signal", 2);
    const velk::TColor colors[] = {0x0000C0, 0x008000, 0xC00000, 0x800080, 0x008080};
    for (int s = 1; s <= 5; ++s) {
        g.SetSeriesPresent(s, true);
        g.SetUncertainty(s, s == 4); // error bars on series 4
        for (int k = 1; k <= 30; ++k) {
            g.SetX(k, k - 8);
            g.SetY(s, k, s * 1.5 + std::sin(k / 4.0 + s) * (2 + s / 2.0) - 3);
            if (s != 4) continue;
            g.SetErrPlus(4, k, 0.6);
            g.SetErrMinus(4, k, 0.3);
        }
        g.PointType[s] = static_cast<std::uint8_t>(s + 1);
        g.PointSize[s] = 3;
        g.TiedPoints[s] = s != 3;
        g.SeriesColor[s] = colors[s - 1];
        g.SeriesTitle[s] = QStringLiteral("Run %1").arg(s);
        g.ShowInLegend[s] = true;
    }
    g.LineWidth[2] = 2;
    g.CaptionOverCurve[1] = true;
    for (int k : {5, 15, 25})
        g.PointCaption(1, k) = QStringLiteral("P%1").arg(k);
    WriteBoth(g, "several_series");
}

// A constant negative series: the axis runs backwards around it.
TEST(GraphSamples, NegativeConstantSeries) {
    Tgraphex g;
    Describe(g, "Nitrogen output", "Time", "Nitrogen", 3);
    g.XLabelFormat = 2;
    for (int k = 1; k <= 50; ++k) {
        g.SetX(k, 14 + k / 60.0);
        g.SetY(1, k, -190);
    }
    WriteBoth(g, "negative_constant");
}

} // namespace
