// Writes sample pictures of the graph painter for a person to look at (a clean scientific
// plot with readable labels): the main window's history graph, several series with every
// marker kind, and a constant negative series. scripts/graph-samples.sh builds and runs it.
//   velk-graph-samples FOLDER

#include <cmath>
#include <cstdio>

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include "graph/Graphex.h"

using velk::Tgraphex;

namespace {

QString folder;
int failures = 0;

void WriteBoth(Tgraphex& g, const QString& stem, int width = 700, int height = 500) {
    for (int kind : {1, 2}) {
        const QString path = folder + '/' + stem + (kind == 1 ? ".bmp" : ".jpg");
        g.RenderToFile(path, kind, width, height);
        if (QImage(path).size() == QSize(width, height)) continue;
        std::fprintf(stderr, "%s does not decode to %d x %d\n", qPrintable(path), width, height);
        ++failures;
    }
}

// Titles, label format, and series 1..count tied with markers of type `pointType` + s - 1.
void Describe(Tgraphex& g, const char* title, const char* x, const QString& y, int format,
              int pointType, int count = 1) {
    g.Title = title, g.XCaption = x, g.YCaption = y;
    g.XLabelFormat = static_cast<std::uint8_t>(format);
    for (int s = 1; s <= count; ++s) {
        g.SetSeriesPresent(s, true);
        g.TiedPoints[s] = true;
        g.PointType[s] = static_cast<std::uint8_t>(pointType + s - 1);
        g.PointSize[s] = count > 1 ? 3 : pointType == 2 ? 1 : 2;
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velk-graph-samples FOLDER\n");
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // The main window's history graph: a cold plate cooling down from 09h30, a point a minute.
    Tgraphex history;
    Describe(history, "Cold plate", "Time", QString::fromUtf8("Cold plate (°C)"), 3, 2);
    for (int k = 1; k <= 400; ++k) {
        const double t = 9.5 + k / 60.0;
        history.SetX(k, t);
        history.SetY(1, k, -180 + 160 * std::exp(-(t - 9.5) / 1.2) + 0.4 * std::sin(k));
    }
    WriteBoth(history, "temperature_history");
    WriteBoth(history, "temperature_history_hires", 2000, 1500);

    // Every marker kind, error bars on run 4, an untied run, point captions and a legend.
    Tgraphex runs;
    Describe(runs, "Calibration runs", "Channel", "Signal", 0, 2, 5);
    const velk::TColor colors[] = {0x0000C0, 0x008000, 0xC00000, 0x800080, 0x008080};
    runs.SetUncertainty(4, true);
    for (int s = 1; s <= 5; ++s) {
        for (int k = 1; k <= 30; ++k) {
            runs.SetX(k, k - 8);
            runs.SetY(s, k, s * 1.5 + std::sin(k / 4.0 + s) * (2 + s / 2.0) - 3);
        }
        runs.SeriesColor[s] = colors[s - 1];
        runs.SeriesTitle[s] = QStringLiteral("Run %1").arg(s);
        runs.ShowInLegend[s] = true;
    }
    for (int k = 1; k <= 30; ++k)
        runs.SetErrPlus(4, k, 0.6), runs.SetErrMinus(4, k, 0.3);
    runs.TiedPoints[3] = false;
    runs.LineWidth[2] = 2;
    runs.CaptionOverCurve[1] = true;
    for (int k : {5, 15, 25})
        runs.PointCaption(1, k) = QStringLiteral("P%1").arg(k);
    WriteBoth(runs, "several_series");

    // A constant negative series: the axis runs backwards around it.
    Tgraphex nitrogen;
    Describe(nitrogen, "Nitrogen output", "Time", "Nitrogen", 2, 3);
    for (int k = 1; k <= 50; ++k) {
        nitrogen.SetX(k, 14 + k / 60.0);
        nitrogen.SetY(1, k, -190);
    }
    WriteBoth(nitrogen, "negative_constant");
    return failures == 0 ? 0 : 1;
}
