#include <functional>

#include <gtest/gtest.h>

#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using velk::EgraphexError;
using velk::Tgraphex;

namespace {

// Runs `call` and returns the message of the EgraphexError it raises ("" when none).
template <class F> QString ErrorOf(F&& call) {
    try {
        call();
    } catch (const EgraphexError& e) {
        return e.Message();
    }
    return {};
}

// Feeds points the way the main window does: grow by one, write the new last slot.
void Feed(Tgraphex& g, int count, int firstValue = 1) {
    for (int n = 0; n < count; ++n) {
        g.SetPointCount(g.PointCount() + 1);
        g.SetX(g.PointCount(), firstValue + n);
        g.SetY(1, g.PointCount(), 10.0 * (firstValue + n));
    }
}

TEST(GraphStore, EmptiedStoreRefusesReadsWithIndexAndMaximum) {
    Tgraphex g;
    Feed(g, 5);
    g.SetPointCount(0);
    EXPECT_EQ(g.PointCount(), 0);
    EXPECT_EQ(g.LastIndex(), 0);
    EXPECT_EQ(ErrorOf([&] { g.GetX(1); }), "Index (1) out of range, max= 0");
    EXPECT_EQ(g.XData(), nullptr);
}

TEST(GraphStore, PointPastCapacityRollsOutTheOldestAndKeepsTheRequestedCount) {
    Tgraphex g;
    g.SetSeriesPresent(2, true);
    g.SetUncertainty(2, true);
    for (int n = 1; n <= 1401; ++n) {
        g.SetPointCount(g.PointCount() + 1);
        g.SetX(g.PointCount(), n);
        g.SetY(1, g.PointCount(), 10.0 * n);
        g.SetY(2, g.PointCount(), -n);
        g.SetErrPlus(2, g.PointCount(), 0.5 * n);
        g.SetErrMinus(2, g.PointCount(), 0.25 * n);
    }
    EXPECT_EQ(g.PointCount(), 1400);
    EXPECT_EQ(g.LastIndex(), 1401);
    EXPECT_EQ(g.GetX(1), 2); // the first point is gone
    EXPECT_EQ(g.GetX(1400), 1401);
    EXPECT_EQ(g.GetX(1401), 1401); // reads slot 1400
    // Every array moved together with the abscissas.
    for (int k : {1, 700, 1400}) {
        EXPECT_EQ(g.GetY(1, k), 10.0 * g.GetX(k)) << k;
        EXPECT_EQ(g.GetY(2, k), -g.GetX(k)) << k;
        EXPECT_EQ(g.GetErrPlus(2, k), 0.5 * g.GetX(k)) << k;
        EXPECT_EQ(g.GetErrMinus(2, k), 0.25 * g.GetX(k)) << k;
    }
    // The two reads past the end name different maxima.
    EXPECT_EQ(ErrorOf([&] { g.GetX(1402); }), "Index (1402) out of range, max= 1400");
    EXPECT_EQ(ErrorOf([&] { g.GetY(1, 1402); }), "Index (1402) out of range, max= 1401");
    EXPECT_EQ(ErrorOf([&] { g.GetErrPlus(2, 1402); }), "Index (1402) out of range, max= 1400");
}

TEST(GraphStore, GrowingPastCapacityFromFewPointsDropsTheFirst) {
    Tgraphex g;
    Feed(g, 10);
    g.SetPointCount(1500);
    EXPECT_EQ(g.PointCount(), 1400);
    EXPECT_EQ(g.LastIndex(), 1500);
    for (int k = 1; k <= 9; ++k) {
        EXPECT_EQ(g.GetX(k), k + 1);
        EXPECT_EQ(g.GetY(1, k), 10.0 * (k + 1));
    }
    EXPECT_EQ(g.GetX(10), 0); // slots added by the resize start at zero
}

TEST(GraphStore, ShrinkKeepsLeadingPointsAndGrowthAddsZeros) {
    Tgraphex g;
    Feed(g, 6);
    g.SetPointCount(3);
    g.SetPointCount(5);
    EXPECT_EQ(g.GetX(3), 3);
    EXPECT_EQ(g.GetY(1, 3), 30);
    EXPECT_EQ(g.GetX(4), 0);
    EXPECT_EQ(g.GetY(1, 5), 0);
}

TEST(GraphStore, SetYOnAbsentSeriesMakesItPresentAtTheStoreSize) {
    Tgraphex g;
    Feed(g, 4);
    EXPECT_FALSE(g.IsSeriesPresent(3));
    g.SetY(3, 2, 7.5);
    EXPECT_TRUE(g.IsSeriesPresent(3));
    EXPECT_EQ(g.GetY(3, 2), 7.5);
    EXPECT_EQ(g.GetY(3, 4), 0);
    // Writing past the end grows every present series with the abscissas.
    g.SetY(3, 6, 1.0);
    EXPECT_EQ(g.PointCount(), 6);
    EXPECT_EQ(g.GetY(1, 6), 0);
    EXPECT_EQ(g.GetX(6), 0);
}

TEST(GraphStore, SeriesAndIndexErrorsCarryTheirTexts) {
    Tgraphex g;
    Feed(g, 3);
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* text;
    };
    const Case cases[] = {
        {"IsSeriesPresent(17)", [&] { g.IsSeriesPresent(17); }, "Index (17) out of range, max= 16"},
        {"HasUncertainty(20)", [&] { g.HasUncertainty(20); }, "Index (20) out of range, max= 16"},
        {"SetSeriesPresent(17)", [&] { g.SetSeriesPresent(17, true); },
         "Index (17) out of range, max= 16"},
        {"SetUncertainty(17)", [&] { g.SetUncertainty(17, true); },
         "Index (17) out of range, max= 16"},
        {"SetY(17)", [&] { g.SetY(17, 1, 0); }, "Index (17) out of range, max= 16"},
        {"GetY(17)", [&] { g.GetY(17, 1); }, "Index (17) out of range, max= 16"},
        {"GetY absent", [&] { g.GetY(3, 1); }, "Data series does not exist : 3"},
        {"GetErrPlus no errors", [&] { g.GetErrPlus(1, 1); }, "Data series does not exist : 1"},
        {"SetErrMinus absent", [&] { g.SetErrMinus(3, 1, 0); }, "Data series does not exist : 3"},
        {"GetY past end", [&] { g.GetY(1, 4); }, "Index (4) out of range, max= 3"},
        {"GetX below 1", [&] { g.GetX(0); }, "Index (0) out of range, max= 3"},
        {"SetPointCount(-1)", [&] { g.SetPointCount(-1); }, "Index (-1) out of range, max= 1400"},
        {"caption 141", [&] { g.PointCaption(1, 141); }, "Index (141) out of range, max= 140"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.call), c.text) << c.what;
    // A refused SetY on series 17 did not grow the store.
    EXPECT_EQ(ErrorOf([&] { g.SetY(17, 50, 0); }), "Index (17) out of range, max= 16");
    EXPECT_EQ(g.PointCount(), 3);
}

TEST(GraphStore, UncertaintiesFollowTheirSeries) {
    Tgraphex g;
    Feed(g, 3);
    g.SetUncertainty(4, true); // absent series: nothing happens
    EXPECT_FALSE(g.HasUncertainty(4));
    g.SetUncertainty(1, true);
    g.SetErrPlus(1, 2, 0.5);
    EXPECT_EQ(g.GetErrPlus(1, 2), 0.5);
    EXPECT_EQ(g.GetErrMinus(1, 3), 0);
    // Switching the series off keeps the flag but drops the values with the arrays.
    g.SetSeriesPresent(1, false);
    EXPECT_TRUE(g.HasUncertainty(1));
    EXPECT_EQ(ErrorOf([&] { g.GetErrPlus(1, 2); }), "Data series does not exist : 1");
    g.SetSeriesPresent(1, true);
    EXPECT_EQ(g.GetErrPlus(1, 2), 0);
    EXPECT_EQ(g.GetY(1, 1), 0);
    g.SetUncertainty(1, false);
    EXPECT_EQ(ErrorOf([&] { g.SetErrPlus(1, 1, 1); }), "Data series does not exist : 1");
}

TEST(GraphStore, FlatCaptionsAddressTheSameTextsAsPerSeriesCaptions) {
    Tgraphex g;
    g.FlatPointCaption(1) = "a";
    g.FlatPointCaption(141) = "b";
    g.FlatPointCaption(2240) = "c";
    EXPECT_EQ(g.PointCaption(1, 1), "a");
    EXPECT_EQ(g.PointCaption(2, 1), "b");
    EXPECT_EQ(g.PointCaption(16, 140), "c");
    EXPECT_EQ(ErrorOf([&] { g.FlatPointCaption(2241); }), "Index (2241) out of range, max= 2240");
}

// A notifier that counts its own destruction.
struct CountingNotifier : velk::TNotifySelecGraphForm {
    explicit CountingNotifier(int* deaths) : deaths_(deaths) {}
    ~CountingNotifier() override { ++*deaths_; }
    void PointSelected(Tgraphex&, int, int, double, double, int, int) override {}
    void HideReadOutButton() override {}
    int* deaths_;
};

TEST(GraphStore, NewNotifierDestroysTheOldAndTheGraphTheLast) {
    int deaths = 0;
    {
        Tgraphex g;
        g.SetNotifier(std::make_unique<CountingNotifier>(&deaths));
        g.SetNotifier(std::make_unique<CountingNotifier>(&deaths));
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 2);
}

} // namespace
