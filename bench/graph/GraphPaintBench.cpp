// Cost of a whole graph paint (16 series x 1400 points, tied, circle markers of size 1)
// against the same points drawn as bare QPainter polylines, of JPEG pictures, and of a full
// graph window: one fed point with its repaint, and one zoom-rectangle release.

#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

#include "graph/GraphPicture.h"
#include "graph/Graphex.h"
#include "graph/GraphexForm.h"

namespace {

constexpr int Series = 16;
constexpr int Points = 1400;

double ValueAt(int s, int k) {
    return std::sin(k * 0.01 + s) * (10 + s) + s * 3 + std::sin(k * 0.37 * s) * 0.8;
}

void Fill(velk::Tgraphex& g) {
    for (int k = 1; k <= Points; ++k)
        g.SetX(k, k / 60.0);
    for (int s = 1; s <= Series; ++s) {
        for (int k = 1; k <= Points; ++k)
            g.SetY(s, k, ValueAt(s, k));
        g.TiedPoints[s] = true;
        g.PointType[s] = 2;
        g.PointSize[s] = 1;
        g.SeriesColor[s] = static_cast<velk::TColor>(0x101010 * s);
    }
    g.XLabelFormat = 3;
    g.XCaption = "Time";
    g.YCaption = "Value";
    g.Title = "Sixteen series";
}

QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    return image;
}

void BM_GraphPaint700x500(benchmark::State& state) {
    QImage surface = Picture(700, 500);
    velk::Tgraphex g;
    g.SetSurface(&surface);
    Fill(g);
    for (auto _ : state) {
        g.Paint();
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_GraphPaint700x500)->Unit(benchmark::kMillisecond);

// The floor: the same points, already in pixels, as one polyline per series.
void BM_BarePolylines700x500(benchmark::State& state) {
    QImage surface = Picture(700, 500);
    std::vector<std::vector<QPoint>> lines(Series);
    double lo = 1e300, hi = -1e300;
    for (int s = 1; s <= Series; ++s)
        for (int k = 1; k <= Points; ++k) {
            lo = std::min(lo, ValueAt(s, k));
            hi = std::max(hi, ValueAt(s, k));
        }
    for (int s = 1; s <= Series; ++s)
        for (int k = 1; k <= Points; ++k)
            lines[s - 1].emplace_back(
                50 + (k - 1) * 600 / (Points - 1),
                static_cast<int>(450 - (ValueAt(s, k) - lo) / (hi - lo) * 400));
    for (auto _ : state) {
        surface.fill(Qt::white);
        QPainter painter(&surface);
        for (int s = 0; s < Series; ++s) {
            painter.setPen(QColor::fromRgb(0x101010 * (s + 1)));
            painter.drawPolyline(lines[s].data(), Points);
        }
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_BarePolylines700x500)->Unit(benchmark::kMillisecond);

void BM_RenderJpeg(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    QTemporaryDir dir;
    velk::Tgraphex g;
    Fill(g);
    const QString path = dir.filePath("graph.jpg");
    for (auto _ : state)
        g.RenderToFile(path, 2, width, height);
}
BENCHMARK(BM_RenderJpeg)->Args({700, 500})->Args({2000, 1500})->Unit(benchmark::kMillisecond);

// A shown window whose picture is 700 x 500, holding the full store.
velk::TGraphexForm* FullWindow() {
    auto* form = new velk::TGraphexForm(nullptr);
    form->resize(705, 500 + 4 + 24);
    Fill(form->Graph());
    form->show();
    form->UpdateGraph();
    QApplication::processEvents();
    return form;
}

// One reading for every series, as the main window feeds it, then the window on screen.
void BM_WindowFeedAndRepaint(benchmark::State& state) {
    velk::TGraphexForm* form = FullWindow();
    if (form->Picture()->Image().size() != QSize(700, 500))
        state.SkipWithError("the window's picture is not 700 x 500");
    velk::Tgraphex& g = form->Graph();
    int k = Points;
    for (auto _ : state) {
        ++k;
        g.SetPointCount(g.PointCount() + 1); // rolls: the oldest point goes
        g.SetX(g.PointCount(), k / 60.0);
        for (int s = 1; s <= Series; ++s)
            g.SetY(s, g.PointCount(), ValueAt(s, k));
        form->UpdateGraph();
        form->repaint();
    }
    delete form;
}
BENCHMARK(BM_WindowFeedAndRepaint)->Unit(benchmark::kMillisecond);

void Mouse(QWidget* picture, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, picture->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(picture, &event);
}

// A zoom rectangle dragged over the plot and released: the view changes and all is redrawn.
void BM_WindowZoomRelease(benchmark::State& state) {
    velk::TGraphexForm* form = FullWindow();
    velk::Tgraphex& g = form->Graph();
    QWidget* picture = form->Picture();
    const double x0 = g.ViewXMin, x1 = g.ViewXMax, y0 = g.ViewYMin, y1 = g.ViewYMax;
    for (auto _ : state) {
        g.ViewXMin = x0, g.ViewXMax = x1, g.ViewYMin = y0, g.ViewYMax = y1;
        Mouse(picture, QEvent::MouseButtonPress, {100, 80}, Qt::LeftButton);
        Mouse(picture, QEvent::MouseMove, {400, 300}, Qt::LeftButton);
        Mouse(picture, QEvent::MouseButtonRelease, {400, 300}, Qt::NoButton);
        form->repaint();
    }
    delete form;
}
BENCHMARK(BM_WindowZoomRelease)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
