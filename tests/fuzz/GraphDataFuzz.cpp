// A graph data file of any bytes loaded into a graph window's graph in a known state: points
// fed the way the main window feeds them (or past the graph's capacity), beside other series
// the window may hold. Whatever the file says, the load must leave the points and every series
// there before it as they were; a failed load must add nothing and say why; a successful one
// only adds series, in the lowest free numbers, holding numbers. What the graph then holds
// must save to a file that loads back into it.

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/NumberFormat.h"
#include "graph/GraphDataFile.h"
#include "graph/Graphex.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace velk;

namespace {

// Everything of one series a load must not touch once the series is there.
struct SeriesState {
    bool present = false;
    bool uncertain = false;
    std::vector<double> y, plus, minus;
    int type = 0, size = 0;
    TColor color = 0;
    bool legend = false;
    QString title;

    bool operator==(const SeriesState&) const = default;
};

std::vector<double> Values(const double* data, int count) {
    return data ? std::vector<double>(data, data + count) : std::vector<double>();
}

SeriesState StateOf(const Tgraphex& g, int s) {
    SeriesState state;
    state.present = g.IsSeriesPresent(s);
    state.uncertain = g.HasUncertainty(s);
    if (!state.present) return state;
    state.y = Values(g.YData(s), g.PointCount());
    state.plus = Values(g.ErrPlusData(s), g.PointCount());
    state.minus = Values(g.ErrMinusData(s), g.PointCount());
    state.type = g.PointType[s];
    state.size = g.PointSize[s];
    state.color = g.SeriesColor[s];
    state.legend = g.ShowInLegend[s];
    state.title = g.SeriesTitle[s];
    return state;
}

struct GraphState {
    int count = 0, last = 0;
    std::vector<double> x;
    std::vector<SeriesState> series; // [s - 1]

    explicit GraphState(const Tgraphex& g)
        : count(g.PointCount()), last(g.LastIndex()), x(Values(g.XData(), count)) {
        for (int s = 1; s <= MaxSeries; ++s)
            series.push_back(StateOf(g, s));
    }
    int Present() const {
        int n = 0;
        for (const SeriesState& s : series)
            n += s.present ? 1 : 0;
        return n;
    }
};

// One reading, as the main window appends it after a tick.
void Feed(Tgraphex& g, double hours, double value) {
    g.SetPointCount(g.PointCount() + 1);
    g.FlatPointCaption(g.PointCount()) = QStringLiteral("Date");
    g.SetX(g.PointCount(), hours);
    g.SetY(1, g.PointCount(), value);
    g.YCaption = QStringLiteral("Cold source Temp(\u00b0C)");
}

// Ticks 5 s apart from 13:00, with the time of day's inexact hours.
double Hours(int tick) {
    return 13.0 + tick * 5.0 / 3600.0;
}

// One graph serves every input, as building one costs more than most loads: it is first
// brought back to a new graph's state in everything a load reads or writes.
void Reset(Tgraphex& g) {
    g.SetPointCount(0);
    for (int s = 1; s <= MaxSeries; ++s) {
        g.SetSeriesPresent(s, true);
        g.SetUncertainty(s, false);
        g.SetSeriesPresent(s, false);
    }
    g.PointType.Fill(0);
    g.PointSize.Fill(0);
    g.SeriesColor.Fill(0);
    g.ShowInLegend.Fill(false);
    g.SeriesTitle.Fill(QString());
    g.YCaption.clear();
}

// Bits 0-2 of the set-up byte: the points (7: past the capacity); bits 3-4: other series
// (none, series 2 with uncertainties, 2 to 15 present, all 16); bit 5: ',' as the decimal
// separator; bit 6: the first line is not confirmed; bit 7: series 3 absent but with its
// uncertainty flag left set.
void SetUp(Tgraphex& g, std::uint8_t setup) {
    g.Title = QStringLiteral("Temp1");
    g.XCaption = QStringLiteral("Time");
    const int points = setup & 7;
    if (points == 7) {
        g.SetPointCount(MaxPoints);
        for (int i = 1; i <= MaxPoints; ++i) {
            g.SetX(i, Hours(i));
            g.SetY(1, i, -195.25 + i / 7.0);
        }
        Feed(g, Hours(MaxPoints + 1), -190.5);
    } else {
        for (int i = 1; i <= points; ++i)
            Feed(g, Hours(i), -195.25 + i / 7.0);
    }
    const int others = (setup >> 3) & 3;
    if (others == 1) {
        for (int i = 1; i <= g.PointCount(); ++i)
            g.SetY(2, i, 1E-6 * i);
        g.SetUncertainty(2, true);
        for (int i = 1; i <= g.PointCount(); ++i) {
            g.SetErrPlus(2, i, 2E-7);
            g.SetErrMinus(2, i, 1E-7);
        }
        g.ShowInLegend[2] = true;
        g.SeriesTitle[2] = QStringLiteral("Vacuum");
    } else if (others >= 2) {
        for (int s = 2; s <= (others == 2 ? 15 : 16); ++s)
            g.SetSeriesPresent(s, true);
    }
    if (setup & 128) {
        g.SetSeriesPresent(3, true);
        g.SetUncertainty(3, true);
        g.SetSeriesPresent(3, false);
    }
}

// Every series that was there is unchanged, and so are the points.
void CheckKept(const GraphState& before, const GraphState& after) {
    FUZZ_CHECK(after.count == before.count && after.last == before.last && after.x == before.x);
    for (std::size_t k = 0; k < before.series.size(); ++k)
        if (before.series[k].present) FUZZ_CHECK(after.series[k] == before.series[k]);
}

// The series a successful load added: the lowest free numbers, holding finite values.
int CheckAdded(const GraphState& before, const GraphState& after) {
    int added = 0;
    bool gap = false;
    for (std::size_t k = 0; k < before.series.size(); ++k) {
        if (before.series[k].present) continue;
        const SeriesState& s = after.series[k];
        if (!s.present) {
            FUZZ_CHECK(s.uncertain == before.series[k].uncertain);
            gap = true;
            continue;
        }
        FUZZ_CHECK(!gap);
        ++added;
        for (const std::vector<double>* values : {&s.y, &s.plus, &s.minus})
            for (double v : *values)
                FUZZ_CHECK(std::isfinite(v));
    }
    return added;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1) return 0;
    const std::uint8_t setup = Data[0];
    SetDecimalSeparator((setup & 32) ? QLatin1Char(',') : QLatin1Char('.'));
    static Tgraphex g;
    Reset(g);
    SetUp(g, setup);
    const QString title = g.Title;
    const GraphState before(g);

    const QByteArray file(reinterpret_cast<const char*>(Data + 1),
                          static_cast<qsizetype>(Size - 1));
    int asked = 0;
    const TDataLoad load = LoadGraphData(g, file, [&](const QString&) {
        ++asked;
        return (setup & 64) == 0;
    });
    FUZZ_CHECK(asked <= 1);
    const GraphState after(g);
    CheckKept(before, after);
    if (load.failed) {
        FUZZ_CHECK(!load.messages.isEmpty() || !load.failure.isEmpty());
        for (std::size_t k = 0; k < before.series.size(); ++k)
            FUZZ_CHECK(after.series[k].present == before.series[k].present &&
                       after.series[k].uncertain == before.series[k].uncertain);
        return 0;
    }
    // A graph too full for every column takes none: the columns given a series are released.
    const int added = CheckAdded(before, after);
    const bool full = load.messages.contains(QStringLiteral("No availables series..."));
    FUZZ_CHECK(added == (full ? 0 : load.log.filter(QStringLiteral("Allocate file")).size()));
    if (setup & 64) FUZZ_CHECK(added == 0 && g.Title == title && load.messages.size() <= 1);

    // What the graph holds now saves to a file that loads back as copies of its series.
    const int present = after.Present();
    if (added == 0 || present > MaxSeries - present) return 0;
    const TDataLoad again = LoadGraphData(g, GraphDataText(g), {});
    FUZZ_CHECK(!again.failed && again.messages.isEmpty());
    const GraphState reloaded(g);
    FUZZ_CHECK(reloaded.Present() == 2 * present);
    int copy = 0;
    for (int s = 1; s <= MaxSeries; ++s) {
        if (!after.series[s - 1].present) continue;
        while (after.series[copy].present)
            ++copy;
        const SeriesState& original = after.series[s - 1];
        const SeriesState& loaded = reloaded.series[copy++];
        FUZZ_CHECK(loaded.uncertain == original.uncertain);
        for (std::size_t i = 0; i < original.y.size(); ++i)
            FUZZ_CHECK(SameAtFileDigits(loaded.y[i], original.y[i]));
    }
    return 0;
}
