// The history window over a month of readings at a 10 s period (259,200 lines in 30 daily
// files, written here in the monitor's own format): opening the month (files read, parsed,
// decimated, first paint) against a bare std::from_chars pass over the same bytes, and one
// zoom or pan repaint of a 700-pixel-wide picture. Resident memory is reported with the
// month open.

#include <charconv>
#include <cmath>
#include <fstream>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include "graph/GraphPicture.h"
#include "history/HistoryForm.h"

namespace {

constexpr int kDays = 30;
constexpr int kPeriod = 10;
constexpr int kLines = kDays * 86400 / kPeriod;
constexpr int kMonthChoice = 3; // "Last 30 days"

struct TMonth {
    QTemporaryDir dir;
    std::int64_t end = 0;
    qint64 bytes = 0;
};

// The month ending now, each day in its own file.
const TMonth& Month() {
    static TMonth* month = [] {
        auto* m = new TMonth;
        m->end = QDateTime::currentSecsSinceEpoch() / kPeriod * kPeriod;
        velk::THistoryData d;
        for (int i = 0; i < kLines; ++i) {
            const std::int64_t t = m->end - std::int64_t{kLines - 1 - i} * kPeriod;
            d.Times.push_back(t);
            const double x = i * 0.001;
            const float row[velk::kQuantityCount] = {
                static_cast<float>(-180 + 2 * std::sin(x) + 0.01 * (i % 7)),
                -180,
                static_cast<float>(-191 + std::sin(x * 3)),
                -190,
                -198,
                static_cast<float>(37 + 5 * std::sin(x * 2)),
                static_cast<float>(1e-5 * (1 + 0.1 * std::sin(x))),
                0,
                1,
                static_cast<float>(60 - 20 * std::fmod(x, 1.0))};
            for (std::size_t q = 0; q < velk::kQuantityCount; ++q)
                d.Values[q].push_back(row[q]);
        }
        QMap<QString, QByteArray> files;
        for (std::size_t i = 0; i < d.Size(); ++i) {
            QByteArray& file =
                files[velk::ReadingsFileName(QDateTime::fromSecsSinceEpoch(d.Times[i]).date())];
            if (file.isEmpty()) file = velk::ReadingsHeader();
            file += velk::ReadingsLine(d, i);
        }
        for (auto it = files.begin(); it != files.end(); ++it) {
            QFile f(m->dir.filePath(it.key()));
            if (!f.open(QIODevice::WriteOnly)) std::abort();
            f.write(it.value());
            m->bytes += it.value().size();
        }
        return m;
    }();
    return *month;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

void WaitForLoad(velk::THistoryForm* w) {
    QEventLoop loop;
    QObject::connect(w, &velk::THistoryForm::LoadFinished, &loop, &QEventLoop::quit);
    if (w->Loading()) loop.exec();
}

// A history window with a 700 x 500 picture, showing the month ending now.
velk::THistoryForm* OpenMonth(const TMonth& m) {
    auto* w = new velk::THistoryForm(nullptr, m.dir.path(),
                                     [&m] { return QDateTime::fromSecsSinceEpoch(m.end); });
    w->show();
    // The picture is the window less its margins and controls.
    w->resize(713, 600);
    QApplication::processEvents();
    w->resize(713, 600 + 500 - w->Picture()->height());
    QApplication::processEvents();
    WaitForLoad(w);
    return w;
}

// The same bytes read from the same files, and every field after the time through
// std::from_chars: what any reader of these files has to do at least.
void BM_BareFromChars(benchmark::State& state) {
    const TMonth& m = Month();
    const QStringList names = QDir(m.dir.path()).entryList({"readings-*.csv"}, QDir::Files);
    for (auto _ : state) {
        double sum = 0;
        for (const QString& name : names) {
            QFile f(m.dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) std::abort();
            const QByteArray bytes = f.readAll();
            const char* p = bytes.constData();
            const char* end = p + bytes.size();
            while (p < end) {
                const char* eol = std::find(p, end, '\n');
                const char* field = std::find(p, eol, ',');
                while (field < eol) {
                    const char* next = std::find(field + 1, eol, ',');
                    double v = 0;
                    std::from_chars(field + 1, next, v);
                    sum += v;
                    field = next;
                }
                p = eol + 1;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["MB"] = static_cast<double>(m.bytes) / 1e6;
}
BENCHMARK(BM_BareFromChars)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Last 30 days" chosen until the month is painted: the files read on the worker, the
// column store handed over, decimated and painted.
void BM_OpenMonth(benchmark::State& state) {
    const TMonth& m = Month();
    velk::THistoryForm* w = OpenMonth(m);
    auto* span = w->findChild<QComboBox*>("ComboBoxSpan");
    for (auto _ : state) {
        state.PauseTiming();
        span->setCurrentIndex(0);
        WaitForLoad(w);
        state.ResumeTiming();
        span->setCurrentIndex(kMonthChoice);
        WaitForLoad(w);
    }
    if (w->Loaded().Data.Size() != static_cast<std::size_t>(kLines)) std::abort();
    state.counters["rss_MB"] = static_cast<double>(ResidentKiB()) / 1024;
    state.counters["picture_w"] = w->Picture()->Image().width();
    state.counters["picture_h"] = w->Picture()->Image().height();
    delete w;
}
BENCHMARK(BM_OpenMonth)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// One zoom (the view halved about its middle, then back) or pan (a tenth of the view) of the
// month: re-decimated from the full month and repainted.
void BM_ZoomOrPanRepaint(benchmark::State& state) {
    const TMonth& m = Month();
    velk::THistoryForm* w = OpenMonth(m);
    w->findChild<QComboBox*>("ComboBoxSpan")->setCurrentIndex(kMonthChoice);
    WaitForLoad(w);
    const double from = w->ViewFrom(), to = w->ViewTo(), width = to - from;
    bool zoomed = false;
    double shift = 0;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            zoomed = !zoomed;
            w->SetView(zoomed ? from + width / 4 : from, zoomed ? to - width / 4 : to);
        } else {
            shift = shift == 0 ? width / 10 : 0;
            w->SetView(from + width / 4 + shift, to - width / 4 + shift);
        }
    }
    state.counters["picture_w"] = w->Picture()->Image().width();
    delete w;
}
BENCHMARK(BM_ZoomOrPanRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Month();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
