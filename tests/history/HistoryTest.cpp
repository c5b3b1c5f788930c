// The history window's readers, decimation and window, on files written as the monitor
// writes them, in a folder of the test's own, in a zone with summer time (Europe/Berlin), so
// that spans across its changes read the files the monitor wrote.

#include <time.h>

#include <cmath>
#include <limits>
#include <random>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/DateTimeText.h"
#include "graph/GraphPicture.h"
#include "graph/GraphexChoosers.h"
#include "history/Decimate.h"
#include "history/HistoryForm.h"
#include "tests/TestSupport.h"
#include "tests/graph/GraphWindowSupport.h"

using namespace velk;

namespace {

// Set before main, so before Qt first asks for the system's zone.
const bool kInBerlin = [] {
    qputenv("TZ", "Europe/Berlin");
    tzset();
    return true;
}();

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const QTimeZone kBerlin("Europe/Berlin");

std::int64_t At(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), kBerlin).toSecsSinceEpoch();
}

// `count` readings `period` seconds apart from `start`: the cold plate at -180 °C, the
// nitrogen output at -190 °C, the rest plausible.
THistoryData Steady(std::int64_t start, int count, int period) {
    THistoryData d;
    const float row[kQuantityCount] = {-180, -180, -190, -190, -198, 37, 1e-5f, 0, 1, 42.5f};
    for (int i = 0; i < count; ++i) {
        d.Times.push_back(start + std::int64_t{i} * period);
        for (std::size_t q = 0; q < kQuantityCount; ++q)
            d.Values[q].push_back(row[q]);
    }
    d.GapLimit = 3 * period;
    return d;
}

void Append(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(bytes);
}

// Writes the readings into day files named by their local date, as the monitor does.
void WriteDays(const QString& folder, const THistoryData& d) {
    QMap<QString, QByteArray> files;
    for (std::size_t i = 0; i < d.Size(); ++i) {
        QByteArray& file =
            files[ReadingsFileName(QDateTime::fromSecsSinceEpoch(d.Times[i]).date())];
        if (file.isEmpty()) file = ReadingsHeader();
        file += ReadingsLine(d, i);
    }
    for (auto it = files.begin(); it != files.end(); ++it)
        Append(folder + '/' + it.key(), it.value());
}

THistoryData Parse(const QByteArray& bytes, int& bad) {
    THistoryData d;
    bad = ParseReadings({bytes.constData(), static_cast<std::size_t>(bytes.size())},
                        std::numeric_limits<std::int64_t>::min(),
                        std::numeric_limits<std::int64_t>::max(), d);
    return d;
}

TEST(HistoryReadings, EachBadLineIsSkippedAndCountedNeverReadAsAWrongPoint) {
    const QByteArray good = "2026-11-02T14:03:07+01:00,-180.5,37,-180,-191.2,-190,-198,9.99E-6,"
                            "Running,Closed,42.5\n";
    const QByteArray later = "2026-11-02T14:03:17+01:00,-180.4,37,-180,-191.2,-190,-198,9.99E-6,"
                             "Running,Closed,42.5\n";
    struct Row {
        const char* name;
        QByteArray body; // after the header
        int kept, bad;
        bool header = true;
    } rows[] = {
        {"a good line", good, 1, 0},
        {"empty fields are readings without a value", "2026-11-02T14:03:07+01:00,,,,,,,,,,\n", 1,
         0},
        {"a last line cut short", good + later.left(60), 1, 1},
        {"a last line without its end", good + later.chopped(1), 1, 1},
        {"a line with a field too few", "2026-11-02T14:03:07+01:00,-180.5,37,-180\n", 0, 1},
        {"a line with a field too many", good.chopped(1) + ",1\n", 0, 1},
        {"a non-number", later + QByteArray(good).replace("-191.2", "-19x.2"), 1, 1},
        {"inf and a number beyond a double",
         QByteArray(good).replace("37", "inf") + QByteArray(later).replace("37", "1e999"), 0, 2},
        {"a value the window shows as -----", QByteArray(good).replace("-180.5", "-300"), 0, 1},
        {"a vacuum that a float keeps as 0", QByteArray(good).replace("9.99E-6", "1E-50"), 0, 1},
        {"an unknown pump state", QByteArray(good).replace("Running", "Runing"), 0, 1},
        {"a date that does not exist", QByteArray(good).replace("11-02", "02-30"), 0, 1},
        {"a time without its offset", QByteArray(good).replace("+01:00", "Z"), 0, 1},
        {"a line ending CR LF", QByteArray(good).replace("\n", "\r\n"), 0, 1},
        {"the clock set back an hour",
         good + later + QByteArray(good).replace("T14", "T13") +
             QByteArray(later).replace("03:17", "03:27"),
         3, 1},
        {"not a readings file", "time,a,b\n" + good + later, 0, 3, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int bad = 0;
        const THistoryData d =
            Parse((row.header ? ReadingsHeader() : QByteArray()) + row.body, bad);
        EXPECT_EQ(bad, row.bad);
        EXPECT_EQ(static_cast<int>(d.Size()), row.kept);
    }
    int bad = 0;
    const THistoryData d = Parse(ReadingsHeader() + good, bad);
    ASSERT_EQ(d.Size(), 1u);
    EXPECT_EQ(d.Times[0], At(2026, 11, 2, 14, 3, 7));
    const float expected[kQuantityCount] = {-180.5f, -180,     -191.2f, -190, -198,
                                            37,      9.99e-6f, 0,       1,    42.5f};
    for (std::size_t q = 0; q < kQuantityCount; ++q)
        EXPECT_EQ(d.Values[q][0], expected[q]) << Quantities()[q].Name;
    // What the reader keeps, written again, is the line it read.
    EXPECT_EQ(ReadingsLine(d, 0), good);
}

TEST(HistoryLoad, ASpanAcrossMidnightAndTheSummerTimeChangeReadsItsDayFiles) {
    struct Row {
        const char* name;
        std::int64_t from, to;
        std::vector<QDate> days;
    } rows[] = {
        {"across midnight",
         At(2026, 11, 2, 23, 30),
         At(2026, 11, 3, 0, 30),
         {QDate(2026, 11, 2), QDate(2026, 11, 3)}},
        {"summer time begins (01:30 to 03:30 is one hour)",
         At(2026, 3, 29, 1, 30),
         At(2026, 3, 29, 3, 30),
         {QDate(2026, 3, 29)}},
        {"summer time ends: a day of 25 hours",
         At(2026, 10, 25, 0, 0),
         At(2026, 10, 25, 23, 59),
         {QDate(2026, 10, 25)}},
        {"the 25-hour day and the next midnight",
         At(2026, 10, 25, 0, 0),
         At(2026, 10, 26, 0, 0),
         {QDate(2026, 10, 25), QDate(2026, 10, 26)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SpanDays(row.from, row.to, kBerlin), row.days);
    }

    // Files written around the end of summer time, read back over a span across both the
    // change and midnight: every reading of the span, the repeated hour twice, nothing else.
    QTemporaryDir dir;
    const THistoryData written = Steady(At(2026, 10, 23, 22, 0), 3 * 24 * 6 + 6, 600);
    WriteDays(dir.path(), written);
    Append(dir.path() + "/readings-2026-10-25.csv", "2026-10-25T02:15:00+0");
    const std::int64_t from = At(2026, 10, 24, 22, 0), to = At(2026, 10, 25, 23, 0);
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    const THistoryLoad load = LoadHistory(dir.path(), from, to, cancel, progress, kBerlin);
    EXPECT_EQ(load.Data.Size(), static_cast<std::size_t>((to - from) / 600 + 1));
    EXPECT_EQ(load.Data.Times.front(), from);
    EXPECT_EQ(load.Data.Times.back(), to);
    EXPECT_EQ(load.Data.GapLimit, 1800);
    EXPECT_EQ(progress.load(), 1000);
    EXPECT_EQ(load.Messages, QStringList{"1 line could not be read in readings-2026-10-25.csv"});
}

// The extremes of every pixel column against a brute-force walk, on random readings with
// missing values, for random views.
TEST(HistoryDecimate, EveryColumnShowsTheExtremesOfItsReadingsInTheirOrder) {
    std::mt19937 random(23);
    THistoryData d = Steady(1'700'000'000, 20'000, 10);
    std::uniform_real_distribution<float> value(-200, -100);
    for (std::size_t i = 0; i < d.Size(); ++i)
        d.Values[qTemp1][i] = random() % 50 == 0 ? kNaN : value(random);
    std::bitset<kQuantityCount> asked;
    asked.set(qTemp1);
    for (int view = 0; view < 20; ++view) {
        const double from = 1'700'000'000 + random() % 100'000;
        const double to = from + 30'000 + random() % 100'000;
        const int columns = 100 + static_cast<int>(random() % 600);
        const TDecimated out = Decimate(d, from, to, columns, asked, 1400);
        ASSERT_FALSE(out.Raw);
        const double step = (to - from) / (columns - 1);
        std::map<long, std::vector<double>> shown, read;
        for (std::size_t k = 0; k < out.Times.size(); ++k) {
            // A column's points lie a fifth of a column from its centre; the neighbours do not.
            const double r = (out.Times[k] - from) / step;
            if (std::fabs(std::fabs(r - std::round(r)) - 0.2) > 1e-6) continue;
            shown[std::lround(r)].push_back(out.Values[qTemp1][k]);
        }
        for (std::size_t i = 0; i < d.Size(); ++i) {
            const double t = static_cast<double>(d.Times[i]);
            if (t < from || t > to) continue;
            read[std::lround(std::floor((t - from) / step + 0.5))].push_back(d.Values[qTemp1][i]);
        }
        ASSERT_EQ(shown.size(), read.size());
        for (const auto& [column, values] : read) {
            SCOPED_TRACE(column);
            std::vector<double> finite;
            for (double v : values)
                if (!std::isnan(v)) finite.push_back(v);
            const auto [lo, hi] = std::minmax_element(finite.begin(), finite.end());
            const std::vector<double>& pair = shown[column];
            ASSERT_EQ(pair.size(), 2u);
            const bool minFirst = std::find(values.begin(), values.end(), *lo) <=
                                  std::find(values.begin(), values.end(), *hi);
            EXPECT_EQ(pair[0], minFirst ? *lo : *hi);
            EXPECT_EQ(pair[1], minFirst ? *hi : *lo);
        }
    }
}

TEST(HistoryDecimate, AnOutageOrAMissingValueBreaksTheCurve) {
    std::bitset<kQuantityCount> asked;
    asked.set(qTemp1);
    const auto breaks = [](const TDecimated& out) {
        return std::count_if(out.Values[qTemp1].begin(), out.Values[qTemp1].end(),
                             [](double v) { return std::isnan(v); });
    };
    // Few readings: every one is drawn; a step of four periods breaks, one of three does not.
    THistoryData few = Steady(1000, 100, 10);
    for (std::size_t i = 50; i < few.Size(); ++i)
        few.Times[i] += 30;
    for (std::size_t i = 70; i < few.Size(); ++i)
        few.Times[i] += 20;
    TDecimated out = Decimate(few, 1000, 2050, 601, asked, 1400);
    EXPECT_TRUE(out.Raw);
    EXPECT_EQ(out.Times.size(), few.Size() + 1);
    EXPECT_EQ(breaks(out), 1);
    few.Values[qTemp1][20] = kNaN;
    EXPECT_EQ(breaks(Decimate(few, 1000, 2050, 601, asked, 1400)), 2);

    // A month: a missing day file (no readings for a day) breaks it, a minute does not.
    THistoryData month = Steady(0, 30 * 8640, 10);
    const auto drop = [&](std::int64_t from, std::int64_t to) {
        for (std::size_t q = 0; q < kQuantityCount; ++q) {
            std::size_t k = 0;
            for (std::size_t i = 0; i < month.Size(); ++i)
                if (month.Times[i] < from || month.Times[i] >= to)
                    month.Values[q][k++] = month.Values[q][i];
            month.Values[q].resize(k);
        }
        std::erase_if(month.Times, [&](std::int64_t t) { return t >= from && t < to; });
    };
    drop(5 * 86400, 6 * 86400);
    drop(20 * 86400, 20 * 86400 + 60);
    out = Decimate(month, 0, 30 * 86400 - 10, 601, asked, 1400);
    EXPECT_FALSE(out.Raw);
    ASSERT_GE(breaks(out), 1);
    for (std::size_t k = 0; k < out.Times.size(); ++k)
        if (std::isnan(out.Values[qTemp1][k])) {
            EXPECT_TRUE(out.Times[k] > 5 * 86400 && out.Times[k] < 6 * 86400) << out.Times[k];
        }
}

// ---- The window ----

struct Folder {
    QTemporaryDir dir;
    std::int64_t now = At(2026, 11, 30, 12, 0);
    THistoryForm* Open() {
        auto* w = new THistoryForm(nullptr, dir.path(),
                                   [this] { return QDateTime::fromSecsSinceEpoch(now); });
        QSignalSpy finished(w, &THistoryForm::LoadFinished);
        EXPECT_TRUE(finished.wait(60'000));
        return w;
    }
    void Load(THistoryForm* w, int spanIndex) {
        QSignalSpy finished(w, &THistoryForm::LoadFinished);
        w->findChild<QComboBox*>("ComboBoxSpan")->setCurrentIndex(spanIndex);
        EXPECT_TRUE(finished.wait(60'000));
    }
};

// The picture's column of time t, by the mapping of the last paint.
int Column(THistoryForm& w, double t) {
    Tgraphex& g = w.Graph();
    const double x =
        g.ViewXMin + (t - w.ViewFrom()) / (w.ViewTo() - w.ViewFrom()) * (g.ViewXMax - g.ViewXMin);
    return static_cast<int>(std::lround(g.Map().XToPixel(x)));
}

// True when column x of the picture has the colour of series s within a pixel of row y.
bool SeriesAt(THistoryForm& w, int s, int x, double value) {
    const QImage& image = w.Picture()->Image();
    const QColor colour = ToQColor(w.Graph().SeriesColor[s]);
    const int y = static_cast<int>(std::lround(w.Graph().Map().YToPixel(value)));
    for (int dy = -1; dy <= 1; ++dy)
        if (image.pixelColor(x, y + dy) == colour) return true;
    return false;
}

TEST(HistoryWindow, ASingleSpikeInAMonthReachesItsValueAndEventsAreMarkedAtTheirTimes) {
    Folder f;
    THistoryData month = Steady(f.now - 30 * 86400, 30 * 8640, 10);
    const std::size_t spike = 12'345;
    month.Values[qTemp1][spike] = -100;
    WriteDays(f.dir.path(), month);
    const std::int64_t alarm = month.Times[200'000];
    Append(f.dir.path() + '/' + EventsFileName(QDateTime::fromSecsSinceEpoch(alarm).date()),
           IsoDateTimeText(QDateTime::fromSecsSinceEpoch(alarm)).toUtf8() +
               "  Alarm on vacuum  (0.002mb)\n" +
               IsoDateTimeText(QDateTime::fromSecsSinceEpoch(alarm + 5)).toUtf8() +
               "  Reading period 10 s\n");
    THistoryForm* w = f.Open();
    f.Load(w, 3);
    ASSERT_EQ(w->Loaded().Data.Size(), month.Size());
    const int s = w->SeriesOf(qTemp1);
    ASSERT_EQ(s, 1);
    const int x = Column(*w, static_cast<double>(month.Times[spike]));
    EXPECT_TRUE(SeriesAt(*w, s, x, -100));
    EXPECT_TRUE(SeriesAt(*w, s, x + 20, -180));
    EXPECT_FALSE(SeriesAt(*w, s, x + 20, -100));

    // The alarm start, in its colour on the time axis, with its text; the other line is none.
    const int bottom = w->Graph().Map().MarginY + w->Graph().Map().PlotHeight;
    const int ax = Column(*w, static_cast<double>(alarm));
    EXPECT_EQ(w->Picture()->Image().pixelColor(ax, bottom - 2), QColor(Qt::red));
    EXPECT_TRUE(w->MarkTextAt(ax, bottom - 2).endsWith("  Alarm on vacuum  (0.002mb)"));
    EXPECT_EQ(w->Loaded().Events.size(), 1u);
    EXPECT_TRUE(w->MarkTextAt(ax + 40, bottom - 2).isEmpty());

    // Zoomed in to an hour, every reading is drawn again from the full data (and the two
    // beyond the edges).
    const double spikeTime = static_cast<double>(month.Times[spike]);
    w->SetView(spikeTime - 1800, spikeTime + 1800);
    EXPECT_EQ(w->Graph().PointCount(), 361 + 2);
    EXPECT_TRUE(SeriesAt(*w, s, Column(*w, spikeTime), -100));

    // The hour on screen saved as a readings file, and as a picture by the graph's exports.
    auto choosers = std::make_unique<test::TScriptedChoosers>();
    choosers->fileNames = {f.dir.filePath("hour"), f.dir.filePath("hour")};
    w->SetChoosers(std::move(choosers));
    w->findChild<QPushButton*>("ButtonSaveData")->click();
    w->findChild<QPushButton*>("ButtonSaveJPG")->click();
    QByteArray hour = ReadingsHeader();
    for (std::size_t i = spike - 180; i <= spike + 180; ++i)
        hour += ReadingsLine(month, i);
    QFile saved(f.dir.filePath("hour.csv"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), hour);
    EXPECT_EQ(QImage(f.dir.filePath("hour.jpg")).size(), QSize(700, 500));

    // A new choice while a week loads: only the new span arrives.
    QSignalSpy finished(w, &THistoryForm::LoadFinished);
    w->findChild<QComboBox*>("ComboBoxSpan")->setCurrentIndex(2);
    w->findChild<QComboBox*>("ComboBoxSpan")->setCurrentIndex(0);
    ASSERT_TRUE(finished.wait(60'000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(w->Loaded().Data.Size(), 360u); // the month ends 10 s before now
    delete w;
}

} // namespace
