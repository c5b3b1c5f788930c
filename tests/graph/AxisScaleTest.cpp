#include <cmath>

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include "common/NumberFormat.h"
#include "graph/AxisScale.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

// The painter keeps the data extremes at +1e300 / -1e300 until a point is seen.
TShownRange AutoRange(double lo, double hi) {
    return ShownRange(lo, hi, true, 0, 0);
}

TEST(ShownRange, DegenerateRangesAreWidenedAroundTheValue) {
    struct Case {
        double lo, hi, mapMin, mapMax, range;
    };
    const Case cases[] = {
        {5, 5, 4.5, 5.5, 1},           // single point, or equal abscissas
        {0, 0, -1, 1, 2},              // all at zero
        {-190, -190, -171, -209, -38}, // negative: the axis runs backwards
        {2, 7, 2, 7, 5},               // nothing to widen
    };
    for (const auto& c : cases) {
        const TShownRange r = AutoRange(c.lo, c.hi);
        EXPECT_DOUBLE_EQ(r.mapMin, c.mapMin) << c.lo;
        EXPECT_DOUBLE_EQ(r.mapMax, c.mapMax) << c.lo;
        EXPECT_DOUBLE_EQ(r.range, c.range) << c.lo;
        EXPECT_EQ(r.viewMin, c.lo); // the view keeps the data, not the widening
        EXPECT_EQ(r.viewMax, c.hi);
    }
}

TEST(ShownRange, FixedViewIsUsedAsGivenAndWidenedWhenEmpty) {
    TShownRange r = ShownRange(0, 100, false, 10, 20);
    EXPECT_EQ(r.mapMin, 10);
    EXPECT_EQ(r.range, 10);
    r = ShownRange(0, 100, false, 3, 3);
    EXPECT_DOUBLE_EQ(r.mapMin, 2.7);
    EXPECT_DOUBLE_EQ(r.mapMax, 3.3);
}

TEST(ShownRange, ConstantNegativeSeriesLabelsFallTowardsTheTop) {
    const TShownRange r = AutoRange(-190, -190);
    const TAxisWalk rows{r.mapMin, r.range, 400, true};
    EXPECT_DOUBLE_EQ(rows.ValueAt(0), -209);   // top row
    EXPECT_DOUBLE_EQ(rows.ValueAt(400), -171); // bottom row
    EXPECT_DOUBLE_EQ(rows.ValueAt(200), -190); // the points sit in the middle
}

TEST(FindExponent, ChoosesTheStepPowerForTheLabelCount) {
    struct Case {
        int lower, upper;
        double span;
        int e;
        double m;
    };
    const Case cases[] = {
        {2, 18, 24, 1, 2.4},   // 0..24 h on 700 pixels: 24 labels are too many
        {2, 18, 100, 1, 10},   //
        {2, 13, -38, 1, 3.8},  // negative span: its size counts
        {2, 18, 0.003, -3, 3}, //
        // Narrow picture: ends once the bounds have widened.
        {2, 2, 50, 2, 0.5},
        {2, 2, 7, 1, 0.7},
        // Accepted by widened bounds: the exponent is the one m was measured with.
        {2, 12, 12.95, 0, 12.95},
        {2, 18, 1.5, -1, 15}, //
    };
    for (const auto& c : cases) {
        const TExponent r = FindExponent(c.lower, c.upper, c.span);
        EXPECT_EQ(r.e, c.e) << c.span << " in " << c.lower << ".." << c.upper;
        EXPECT_NEAR(r.m, c.m, 1e-9) << c.span;
    }
    EXPECT_EQ(MaxLabels(700), 18); // 17.5 rounds to even
    EXPECT_EQ(MaxLabels(500), 12); // 12.5 rounds to even
    EXPECT_EQ(MaxLabels(80), 2);
}

TEST(FindExponent, EndsForExtremeSpans) {
    const double spans[] = {1e-320, 5e-324, 1e300, 1.7e308, 0.0, INFINITY, NAN};
    for (double span : spans) {
        const TExponent r = FindExponent(2, 2, span);
        if (std::isfinite(span) && span > 0) {
            EXPECT_GT(r.m, 0) << span;
            EXPECT_TRUE(std::isfinite(r.m)) << span;
        }
    }
}

TEST(StepCrossed, MultiplesAndSignChangesCount) {
    EXPECT_TRUE(StepCrossed(9.9, 10.1, 10));
    EXPECT_FALSE(StepCrossed(10.1, 19.9, 10));
    EXPECT_TRUE(StepCrossed(-0.1, 0.1, 10)); // change of sign
    EXPECT_TRUE(StepCrossed(0, 0.1, 10));    // zero counts
    EXPECT_TRUE(StepCrossed(0.29, 0.31, 0.1));
    EXPECT_FALSE(StepCrossed(-171.5, -171.9, 10));
}

std::vector<int> Positions(const std::vector<TTick>& ticks, bool major) {
    std::vector<int> out;
    for (const auto& t : ticks)
        if (t.major == major) out.push_back(t.pos);
    return out;
}

TEST(WalkTicks, DayOnSixHundredColumnsHasMajorsEveryTenAndMinorsEveryHour) {
    // 700-pixel picture: plot of 600 columns, 0..24 h, 25 columns per hour.
    const TAxisWalk axis{0, 24, 600, false};
    const auto ticks = WalkTicks(axis, 0, 10, 1, true);
    EXPECT_EQ(Positions(ticks, true), (std::vector<int>{1, 250, 500}));
    const auto minors = Positions(ticks, false);
    // Hours 1..24 but the two majors; none is within two columns before a major.
    EXPECT_EQ(minors.size(), 22u);
    EXPECT_EQ(minors.front(), 25);
    EXPECT_EQ(minors.back(), 600);
    for (const auto& t : ticks)
        if (t.major) {
            EXPECT_NEAR(t.value, 10 * std::round(t.value / 10), 24.0 / 600);
        }
}

TEST(WalkTicks, ZeroStartGetsOneTickOnXAndTwoOnY) {
    const TAxisWalk x{0, 10, 100, false};
    auto ticks = WalkTicks(x, 0, 10, 1, true);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().pos, 1); // one pixel right of the left edge
    EXPECT_TRUE(ticks.front().major);
    EXPECT_EQ(Positions(ticks, true), (std::vector<int>{1, 100})); // last column clamped

    // Without the priming rule the sign test marks both column 0 and column 1.
    ticks = WalkTicks(x, -1, 10, 1, true);
    EXPECT_EQ(Positions(ticks, true).front(), 0);
    EXPECT_EQ(Positions(ticks, true)[1], 1);

    const TAxisWalk y{0, 10, 100, true}; // rows: zero at the bottom
    ticks = WalkTicks(y, 0, 10, 1, false);
    EXPECT_EQ(Positions(ticks, true), (std::vector<int>{1, 100, 101}));
}

TEST(WalkTicks, FixedExponentTicksAtMultiplesWhateverTheRange) {
    // Exponent 2 on 130..190: no multiple of 100 inside, so no major tick at all.
    EXPECT_TRUE(Positions(WalkTicks({130, 60, 300, false}, -1, 100, 10, true), true).empty());
    // 150..250 crosses 200 once.
    EXPECT_EQ(Positions(WalkTicks({150, 100, 300, false}, -1, 100, 10, true), true),
              (std::vector<int>{150}));
    // A negative range walks backwards and still finds its multiples.
    const auto ticks = WalkTicks({-171, -38, 380, true}, -1, 10, 1, false);
    std::vector<double> majors;
    for (const auto& t : ticks)
        if (t.major) majors.push_back(FormatStep(10, t.value).toDouble());
    EXPECT_EQ(majors, (std::vector<double>{-200, -190, -180}));
}

class LabelTexts : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = DecimalSeparator();
        SetDecimalSeparator('.');
    }
    void TearDown() override { SetDecimalSeparator(saved_); }
    QChar saved_;
};

TEST_F(LabelTexts, FormatStepRoundsToTheStepAndShortensLongTexts) {
    struct Case {
        double step, value;
        const char* text;
    };
    const Case cases[] = {
        {0.1, 0.30000000000000004, "0.3"},
        {1000, 123456, "1.23E5"},
        {10, -190.4, "-190"},
        {1, -0.4, "0"},
        {0.001, 0.0123, "0.012"},
        {1e-5, 1.234e-5, "1E-5"},
        {0.01, 1234.567, "1234.6"},
        {100, 99999, "1E5"},
        {0.5, 2.4, "2.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatStep(c.step, c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST_F(LabelTexts, HoursTextsLeaveOutZeroHoursAndMinutes) {
    struct Case {
        double hours;
        const char* hms;
        const char* hm;
    };
    const Case cases[] = {
        {13.5, "13h30m00s", "13h30m"}, {0.25, "15m00s", "15m"}, {0, "00s", ""},
        {9.75, "09h45m00s", "09h45m"}, {13, "13h00s", "13h"},   {10.2, "10h12m00s", "10h12m"},
        {-0.25, "-15m00s", "-15m"},    {NAN, "", ""},           {1e300, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatHoursMinutesSeconds(c.hours), QString::fromLatin1(c.hms)) << c.hours;
        EXPECT_EQ(FormatHoursMinutes(c.hours), QString::fromLatin1(c.hm)) << c.hours;
    }
    EXPECT_EQ(TwoDigits(7), "07");
    EXPECT_EQ(TwoDigits(42), "42");
    EXPECT_EQ(TwoDigits(100), "100");
}

TEST_F(LabelTexts, XLabelsFollowTheFormatAndNameTheTickMultiple) {
    const QLocale locale = QLocale::system();
    EXPECT_EQ(XLabelText(0, 10, 20.04), "20");
    EXPECT_EQ(XLabelText(1, 1, 45000.02),
              locale.toString(QDate(2023, 3, 15), QLocale::ShortFormat));
    EXPECT_EQ(XLabelText(1, 1, 1), locale.toString(QDate(1899, 12, 31), QLocale::ShortFormat));
    EXPECT_EQ(XLabelText(2, 10, 10.04), "10h00s");
    EXPECT_EQ(XLabelText(3, 0.01, 9.7501), "09h45m");
    EXPECT_EQ(XLabelText(3, 10, 0.03), "");
}

} // namespace
