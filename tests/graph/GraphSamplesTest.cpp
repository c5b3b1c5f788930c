// Writes sample pictures into the build tree for a person to look at, and checks that
// each decodes to its size.

#include <cmath>

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using velk::Tgraphex;

namespace {

QString SamplePath(const QString& name) {
    const QString dir = QStringLiteral(VELK_GRAPH_SAMPLES_DIR);
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

void WriteBoth(Tgraphex& g, const QString& stem, int width, int height) {
    for (int kind : {1, 2}) {
        const QString path = SamplePath(stem + (kind == 1 ? ".bmp" : ".jpg"));
        g.RenderToFile(path, kind, width, height);
        const QImage back(path);
        ASSERT_FALSE(back.isNull()) << path.toStdString();
        EXPECT_EQ(back.size(), QSize(width, height)) << path.toStdString();
    }
}

// The main window's history graph: a cold plate cooling down over a few hours.
TEST(GraphSamples, TemperatureHistory) {
    Tgraphex g;
    g.SetPointCount(0);
    g.PointType[1] = 2;
    g.PointSize[1] = 1;
    g.SetSeriesPresent(1, true);
    g.TiedPoints[1] = true;
    g.XCaption = "Time";
    g.YCaption = QString::fromUtf8("Cold plate (°C)");
    g.XLabelFormat = 3;
    g.Title = "Cold plate";
    for (int k = 1; k <= 400; ++k) {
        const double t = 9.5 + k * 10.0 / 3600.0 * 6; // one point a minute from 09h30
        g.SetPointCount(g.PointCount() + 1);
        g.SetX(g.PointCount(), t);
        g.SetY(1, g.PointCount(), -180 + 160 * std::exp(-(t - 9.5) / 1.2) + 0.4 * std::sin(k));
    }
    WriteBoth(g, "temperature_history", 700, 500);
    WriteBoth(g, "temperature_history_hires", 2000, 1500);
}

// Several series with every marker kind, error bars, point captions and a legend.
TEST(GraphSamples, SeveralSeriesWithLegend) {
    Tgraphex g;
    const velk::TColor colors[] = {0x0000C0, 0x008000, 0xC00000, 0x800080, 0x008080};
    g.Title = "Calibration runs";
    g.XCaption = "Channel";
    g.YCaption = "Signal";
    for (int k = 1; k <= 30; ++k)
        g.SetX(k, k - 8);
    for (int s = 1; s <= 5; ++s) {
        g.SetSeriesPresent(s, true);
        for (int k = 1; k <= 30; ++k)
            g.SetY(s, k, s * 1.5 + std::sin(k / 4.0 + s) * (2 + s / 2.0) - 3);
        g.PointType[s] = static_cast<std::uint8_t>(s + 1);
        g.PointSize[s] = 3;
        g.TiedPoints[s] = s != 3;
        g.SeriesColor[s] = colors[s - 1];
        g.SeriesTitle[s] = QStringLiteral("Run %1").arg(s);
        g.ShowInLegend[s] = true;
    }
    g.LineWidth[2] = 2;
    g.SetUncertainty(4, true);
    for (int k = 1; k <= 30; ++k) {
        g.SetErrPlus(4, k, 0.6);
        g.SetErrMinus(4, k, 0.3);
    }
    g.CaptionOverCurve[1] = true;
    for (int k : {5, 15, 25})
        g.PointCaption(1, k) = QStringLiteral("P%1").arg(k);
    WriteBoth(g, "several_series", 700, 500);
}

// A constant negative series: the axis runs backwards around it.
TEST(GraphSamples, NegativeConstantSeries) {
    Tgraphex g;
    g.PointType[1] = 3;
    g.PointSize[1] = 2;
    g.TiedPoints[1] = true;
    g.XCaption = "Time";
    g.YCaption = "Nitrogen";
    g.Title = "Nitrogen output";
    for (int k = 1; k <= 50; ++k) {
        g.SetX(k, 14 + k / 60.0);
        g.SetY(1, k, -190);
    }
    g.XLabelFormat = 2;
    WriteBoth(g, "negative_constant", 700, 500);
}

} // namespace
