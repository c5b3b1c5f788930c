// The graph data file as text: the writer byte for byte, and the loader's every check against
// a graph of three points (x 1, 2, 3; series 1 holding 10, 20, 30).

#include <cmath>
#include <optional>

#include <gtest/gtest.h>

#include "common/NumberFormat.h"
#include "graph/GraphDataFile.h"
#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

const QByteArray Saved = "1   10\r\n2   20\r\n3   30\r\n#Cold plate\r\n#Time\r\n#T (C)\r\n";
const char* const Allocated2 = "Allocate file : collumn # 1 to the free collumn number #2";

class DataFile : public ::testing::Test {
protected:
    DataFile() {
        SetDecimalSeparator('.');
        for (int k = 1; k <= 3; ++k) {
            g_.SetX(k, k);
            g_.SetY(1, k, 10 * k);
        }
        g_.Title = "Cold plate", g_.XCaption = "Time", g_.YCaption = "T (C)";
    }
    TDataLoad Load(const QByteArray& text) {
        return LoadGraphData(g_, text, [this](const QString& first) {
            questions_ << first;
            return true;
        });
    }
    std::vector<double> Values(int s) {
        std::vector<double> v;
        for (int k = 1; k <= g_.PointCount(); ++k)
            v.push_back(g_.GetY(s, k));
        return v;
    }
    Tgraphex g_;
    QStringList questions_;
};

TEST_F(DataFile, SavedByteForByteAndLoadedBackAsANewSeries) {
    EXPECT_EQ(GraphDataText(g_), Saved);
    const TDataLoad load = Load(Saved);
    EXPECT_FALSE(load.failed);
    EXPECT_TRUE(load.messages.isEmpty());
    EXPECT_EQ(questions_, QStringList{"1   10"});
    EXPECT_EQ(FirstLineQuestion("1   10"), "Content of the first line  \"1   10\", proceed ?");
    EXPECT_EQ(load.log, QStringList{Allocated2});
    EXPECT_EQ(Values(2), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(std::tuple(g_.PointType[2], g_.PointSize[2], g_.SeriesColor[2]),
              std::tuple(1, 3, ColorBlack));
    EXPECT_EQ(load.textLines, 3);

    // Uncertainties after their value, legend lines for the series shown in the legend.
    g_.SetSeriesPresent(2, false);
    g_.SetPointCount(1);
    g_.SetX(1, 12.5);
    g_.SetY(1, 1, 3.25);
    g_.SetUncertainty(1, true);
    g_.SetErrPlus(1, 1, 0.1);
    g_.SetErrMinus(1, 1, 0.2);
    g_.SetY(3, 1, -4E-6);
    g_.ShowInLegend[3] = true;
    g_.SeriesTitle[3] = QString::fromUtf8("Vacuum °");
    // A legend line names the series by its column in the file, as the loader reads it.
    EXPECT_EQ(GraphDataText(g_), "12.5   3.25 @+0.1 @-0.2 -4E-6\r\n#Cold plate\r\n#Time\r\n"
                                 "#T (C)\r\n$2@Vacuum \xB0\r\n");
    // Loaded back into series 2 and 4: the title goes with its column's values.
    ASSERT_FALSE(Load(GraphDataText(g_)).failed);
    EXPECT_EQ(std::tuple(g_.GetY(4, 1), g_.ShowInLegend[4], g_.SeriesTitle[4], g_.ShowInLegend[2]),
              std::tuple(-4E-6, true, QString::fromUtf8("Vacuum °"), false));
}

TEST_F(DataFile, UncertaintiesOnTheFirstLineMarkTheColumnBeforeThem) {
    const TDataLoad load =
        Load("1  7 @+0.5 @-0.25 -1\r\n2  8 @+1 @-2 -2\r\n\r\n/ comment\r\n3  9 @+3 @-4 -3\r\n");
    ASSERT_FALSE(load.failed) << load.failure.toStdString();
    EXPECT_EQ(load.log, (QStringList{Allocated2, "Incertainty data at collumn : 1",
                                     "Allocate file : collumn # 2 to the free collumn number #3"}));
    EXPECT_TRUE(g_.HasUncertainty(2));
    EXPECT_FALSE(g_.HasUncertainty(3));
    EXPECT_EQ(g_.GetErrPlus(2, 1), 0.5);
    EXPECT_EQ(g_.GetErrMinus(2, 3), 4);
    EXPECT_EQ(Values(3), (std::vector<double>{-1, -2, -3}));
}

// Every refusal: its messages, whether the load failed (and what the error report says),
// and that no series of the load is left behind.
TEST_F(DataFile, RefusedFilesChangeNoSeries) {
    const std::optional<QString> loaded, mismatch = QString();
    const struct {
        QByteArray text;
        QString messages;               // joined by '|'
        std::optional<QString> failure; // nothing: the load ended without failing
    } cases[] = {
        {"1 10\r\n2 20\r\n", "Amount of points does not match to the current one !", mismatch},
        {Saved + "4 40\r\n", "", "Index (4) out of range, max= 3"},
        {"1 10\r\n2.5 20\r\n3 30\r\n",
         "The first figure in X axis does not match to the current one !", mismatch},
        {"1 10 1\r\n2 20\r\n3 30 3\r\n",
         "This line does not have the number of collumns of the firts line  ", mismatch},
        {"1 10\r\n2 20 2\r\n3 30\r\n",
         "This line does not have the number of collumns of the firts line  ", mismatch},
        {"1 10\r\n2 2O\r\n3 30\r\n", "", "'2O' is not a valid floating point value"},
        {"1\t10\r\n", "Needs two collunms, at least !!", loaded}, // a tab is no separator
        {"1\r\n2\r\n3\r\n", "Needs two collunms, at least !!", loaded},
        {"0 10\r\n", "The first figure found in the file does not match to the one on the graph !",
         loaded},
        {"1 " + QByteArray(999, '5'), "First file line is greater than 1000 chars !", loaded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.left(24).toStdString());
        questions_.clear();
        const TDataLoad load = Load(c.text);
        EXPECT_EQ(load.messages.join('|'), c.messages);
        EXPECT_EQ(load.failed ? std::optional(load.failure) : loaded, c.failure);
        EXPECT_EQ(questions_.size(), c.text.size() > 1000 ? 0 : 1);
        for (int s = 2; s <= MaxSeries; ++s)
            EXPECT_FALSE(g_.IsSeriesPresent(s)) << "series " << s;
    }
    // A full graph: the columns find no series, so the point count cannot match either.
    for (int s = 2; s <= MaxSeries; ++s)
        g_.SetSeriesPresent(s, true);
    EXPECT_EQ(Load(Saved).messages,
              (QStringList{"No availables series...",
                           "Amount of points does not match to the current one !"}));
}

TEST_F(DataFile, LegendLinesLongLinesAndDeclinedQuestions) {
    // A long abscissa (over 255 characters) and a legend line for a column this load did not
    // allocate, which is left alone.
    const QByteArray one = "1." + QByteArray(300, '0');
    const TDataLoad load =
        Load(one + " 5 6\r\n2 5 6\r\n3 5 6\r\n$1@First\r\n$7@Nothing\r\n$x@Bad\r\n");
    ASSERT_FALSE(load.failed) << load.failure.toStdString();
    EXPECT_TRUE(g_.ShowInLegend[2]);
    EXPECT_EQ(g_.SeriesTitle[2], "First");
    for (int s : {1, 3, 7})
        EXPECT_FALSE(g_.ShowInLegend[s]) << s;

    const TDataLoad declined = LoadGraphData(g_, Saved, [](const QString&) { return false; });
    EXPECT_FALSE(declined.failed);
    EXPECT_FALSE(g_.IsSeriesPresent(4));
}

// Abscissas from real feeding (hours of the day) have more digits than the file keeps: the
// loader compares at the file's 15 digits, so the saved file loads back.
TEST_F(DataFile, HoursFromFeedingLoadBack) {
    g_.SetPointCount(0);
    double t = 9.123456789012345;
    int inexact = 0;
    for (int k = 1; k <= 200; ++k) {
        t += 10.0 / 3600 + k * 1e-13;
        g_.SetX(k, t);
        g_.SetY(1, k, -180 + std::sin(k));
        inexact += FormatGeneral(t, 15).toDouble() != t;
    }
    ASSERT_GT(inexact, 0) << "the case must hold abscissas the text does not reproduce";
    const TDataLoad load = Load(GraphDataText(g_));
    EXPECT_FALSE(load.failed) << load.messages.join('|').toStdString();
    EXPECT_TRUE(SameAtFileDigits(g_.GetY(2, 200), g_.GetY(1, 200)));
}

} // namespace
