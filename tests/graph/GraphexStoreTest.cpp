#include <functional>

#include <gtest/gtest.h>

#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using velk::EgraphexError;
using velk::Tgraphex;
using velk::test::MessageOf;

namespace {

// Feeds points the way the main window does: grow by one, write the new last slot.
void Feed(Tgraphex& g, int count) {
    for (int n = 1; n <= count; ++n) {
        g.SetPointCount(g.PointCount() + 1);
        g.SetX(g.PointCount(), n);
        g.SetY(1, g.PointCount(), 10.0 * n);
        if (!g.HasUncertainty(1)) continue;
        g.SetErrPlus(1, g.PointCount(), 0.5 * n);
        g.SetErrMinus(1, g.PointCount(), 0.25 * n);
    }
}

TEST(GraphStore, RollingKeepsTheLatest1400InEveryArrayAndResizingKeepsTheLeading) {
    Tgraphex g;
    g.SetSeriesPresent(1, true);
    g.SetUncertainty(1, true);
    Feed(g, 1401);
    EXPECT_EQ(g.PointCount(), 1400);
    EXPECT_EQ(g.LastIndex(), 1401);
    EXPECT_EQ(g.GetX(1401), 1401); // reads slot 1400
    for (int k : {1, 1400}) {
        EXPECT_EQ(g.GetX(k), k + 1) << k;
        EXPECT_EQ(g.GetY(1, k), 10.0 * (k + 1)) << k;
        EXPECT_EQ(g.GetErrPlus(1, k), 0.5 * (k + 1)) << k;
        EXPECT_EQ(g.GetErrMinus(1, k), 0.25 * (k + 1)) << k;
    }
    EXPECT_EQ(MessageOf<EgraphexError>([&] { g.GetX(1402); }),
              "Index (1402) out of range, max= 1400");
    EXPECT_EQ(MessageOf<EgraphexError>([&] { g.GetY(1, 1402); }),
              "Index (1402) out of range, max= 1401");
    g.SetPointCount(3); // shrinking keeps the leading points, growing adds zeros
    g.SetPointCount(5);
    EXPECT_EQ(g.GetY(1, 3), 40);
    EXPECT_EQ(g.GetY(1, 4), 0);
}

TEST(GraphStore, SeriesComeAndGoWithTheirUncertaintiesAndCaptions) {
    Tgraphex g;
    Feed(g, 4);
    g.SetY(3, 6, 7.5); // an absent series appears and every array grows
    EXPECT_TRUE(g.IsSeriesPresent(3));
    EXPECT_EQ(g.PointCount(), 6);
    EXPECT_EQ(g.GetY(1, 6), 0);
    g.SetUncertainty(4, true); // absent series: nothing happens
    EXPECT_FALSE(g.HasUncertainty(4));
    g.SetUncertainty(1, true);
    g.SetErrPlus(1, 2, 0.5);
    g.SetSeriesPresent(1, false); // keeps the flag, drops the values
    EXPECT_TRUE(g.HasUncertainty(1));
    g.SetSeriesPresent(1, true);
    EXPECT_EQ(g.GetErrPlus(1, 2), 0);
    g.FlatPointCaption(141) = "b";
    g.FlatPointCaption(2240) = "c";
    EXPECT_EQ(g.PointCaption(2, 1), "b");
    EXPECT_EQ(g.PointCaption(16, 140), "c");
}

TEST(GraphStore, SeriesIndexAndEmptiedStoreErrorsCarryTheirTexts) {
    Tgraphex g;
    Feed(g, 3);
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { g.IsSeriesPresent(17); }, "Index (17) out of range, max= 16"},
        {[&] { g.SetUncertainty(17, true); }, "Index (17) out of range, max= 16"},
        {[&] { g.PointType[0] = 1; }, "Index (0) out of range, max= 16"},
        {[&] { g.SeriesTitle[17].clear(); }, "Index (17) out of range, max= 16"},
        // Refused before growing anything: the reads below still see 3 points.
        {[&] { g.SetY(17, 50, 0); }, "Index (17) out of range, max= 16"},
        {[&] { g.GetY(3, 1); }, "Data series does not exist : 3"},
        {[&] { g.GetErrPlus(1, 1); }, "Data series does not exist : 1"},
        {[&] { g.GetY(1, 4); }, "Index (4) out of range, max= 3"},
        {[&] { g.GetX(0); }, "Index (0) out of range, max= 3"},
        {[&] { g.SetPointCount(-1); }, "Index (-1) out of range, max= 1400"},
        {[&] { g.PointCaption(1, 141); }, "Index (141) out of range, max= 140"},
        {[&] { g.FlatPointCaption(2241); }, "Index (2241) out of range, max= 2240"},
        {[&] { g.SetPointCount(0), g.GetX(1); }, "Index (1) out of range, max= 0"},
    };
    for (const auto& [call, text] : cases)
        EXPECT_EQ(MessageOf<EgraphexError>(call), text);
    EXPECT_EQ(g.XData(), nullptr) << "the emptied store kept its array";
}

} // namespace
