#include <cmath>

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include "common/NumberFormat.h"
#include "graph/AxisScale.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

TEST(ShownRange, DegenerateRangesAreWidenedAroundTheValue) {
    struct Case {
        double lo, hi;
        bool autoScale;
        double viewMin, viewMax, mapMin, mapMax, range;
    };
    const Case cases[] = {
        {5, 5, true, 0, 0, 4.5, 5.5, 1},           // single point, or equal abscissas
        {0, 0, true, 0, 0, -1, 1, 2},              // all at zero
        {-190, -190, true, 0, 0, -171, -209, -38}, // negative: the axis runs backwards
        {0, 100, false, 10, 20, 10, 20, 10},       // fixed view used as given
        {0, 100, false, 3, 3, 2.7, 3.3, 0.6},      // fixed empty view widened
    };
    for (const auto& c : cases) {
        const TShownRange r = ShownRange(c.lo, c.hi, c.autoScale, c.viewMin, c.viewMax);
        EXPECT_DOUBLE_EQ(r.mapMin, c.mapMin) << c.lo;
        EXPECT_DOUBLE_EQ(r.mapMax, c.mapMax) << c.lo;
        EXPECT_NEAR(r.range, c.range, 1e-12) << c.lo;
        EXPECT_EQ(r.viewMin, c.autoScale ? c.lo : c.viewMin) << "the view took the widening";
        EXPECT_EQ(r.viewMax, c.autoScale ? c.hi : c.viewMax) << "the view took the widening";
    }
    // Labels of the constant -190 series fall towards the top: -209 on row 0.
    const TShownRange r = ShownRange(-190, -190, true, 0, 0);
    EXPECT_DOUBLE_EQ((TAxisWalk{r.mapMin, r.range, 400, true}.ValueAt(0)), -209);
}

TEST(FindExponent, ChoosesTheStepPowerForTheLabelCount) {
    struct Case {
        int lower, upper;
        double span;
        int e;
        double m;
    };
    const Case cases[] = {
        {2, 18, 24, 1, 2.4},      // 0..24 h on 700 pixels: 24 labels are too many
        {2, 13, -38, 1, 3.8},     // negative span: its size counts
        {2, 18, 0.003, -3, 3},    //
        {2, 2, 50, 2, 0.5},       // narrow picture: ends once the bounds have widened
        {2, 12, 12.95, 0, 12.95}, // accepted by widened bounds: e is the one m was measured with
        {2, 18, 1.5, -1, 15},
    };
    for (const auto& c : cases) {
        const TExponent r = FindExponent(c.lower, c.upper, c.span);
        EXPECT_EQ(r.e, c.e) << c.span;
        EXPECT_NEAR(r.m, c.m, 1e-9) << c.span;
    }
    EXPECT_EQ(MaxLabels(700), 18); // 17.5 rounds to even
    EXPECT_EQ(MaxLabels(500), 12); // 12.5 rounds to even
    for (double span : std::initializer_list<double>{1e-320, 5e-324, 1.7e308, 0, INFINITY, NAN}) {
        const double m = FindExponent(2, 2, span).m; // must end, with a usable m
        EXPECT_TRUE(!(std::isfinite(span) && span > 0) || (m > 0 && std::isfinite(m))) << span;
    }
}

TEST(WalkTicks, MajorsAtStepMultiplesWithTheZeroStartRules) {
    const struct {
        TAxisWalk axis;
        int first;
        double major;
        bool clampLast;
        std::vector<int> majors;
    } cases[] = {
        {{0, 24, 600, false}, 0, 10, true, {1, 250, 500}}, // a day, 25 columns per hour
        {{0, 10, 100, false}, 0, 10, true, {1, 100}},      // X from 0: one tick
        // Without the priming rule the sign test marks both column 0 and column 1.
        {{0, 10, 100, false}, -1, 10, true, {0, 1, 100}},
        {{0, 10, 100, true}, 0, 10, false, {1, 100, 101}}, // Y from 0: two
        {{130, 60, 300, false}, -1, 100, true, {}},        // a fixed step, whatever the range
        {{150, 100, 300, false}, -1, 100, true, {150}},
    };
    for (const auto& c : cases) {
        std::vector<int> majors, minors;
        for (const auto& t : WalkTicks(c.axis, c.first, c.major, c.major / 10, c.clampLast))
            (t.major ? majors : minors).push_back(t.pos);
        EXPECT_EQ(majors, c.majors) << c.axis.mapMin << "+" << c.axis.range;
        if (c.axis.range != 24) continue;
        ASSERT_EQ(minors.size(), 22u); // hours 1..24 but the two majors
        EXPECT_EQ(minors.front(), 25);
        EXPECT_EQ(minors.back(), 600);
    }
    std::vector<QString> labels; // a negative range walks backwards
    for (const auto& t : WalkTicks({-171, -38, 380, true}, -1, 10, 1, false))
        if (t.major) labels.push_back(FormatStep(10, t.value));
    EXPECT_EQ(labels, (std::vector<QString>{"-200", "-190", "-180"}));
}

TEST(LabelTexts, NumbersRoundToTheStepTimesLeaveOutZeroFieldsDatesNameTheTick) {
    const QChar separator = DecimalSeparator();
    SetDecimalSeparator('.');
    const std::tuple<int, double, double, const char*> numbers[] = {
        {0, 0.1, 0.30000000000000004, "0.3"},
        {0, 1000, 123456, "1.23E5"},
        {0, 10, -190.4, "-190"},
        {0, 1, -0.4, "0"},
        {0, 1e-5, 1.234e-5, "1E-5"},
        {0, 0.01, 1234.567, "1234.6"},
        {0, 100, 99999, "1E5"},
        {0, 0.5, 2.4, "2.5"},
        {0, 10, 20.04, "20"},
        {2, 10, 10.04, "10h00s"},
        {3, 0.01, 9.7501, "09h45m"},
    };
    for (const auto& [format, step, value, text] : numbers)
        EXPECT_EQ(XLabelText(format, step, value), QString::fromLatin1(text)) << value;
    const std::tuple<double, const char*, const char*> hours[] = {
        {13.5, "13h30m00s", "13h30m"},
        {0.25, "15m00s", "15m"},
        {0, "00s", ""},
        {9.75, "09h45m00s", "09h45m"},
        {13, "13h00s", "13h"},
        {-0.25, "-15m00s", "-15m"},
        {NAN, "", ""},
        {1e300, "", ""},
    };
    for (const auto& [value, hms, hm] : hours) {
        EXPECT_EQ(FormatHoursMinutesSeconds(value), QString::fromLatin1(hms)) << value;
        EXPECT_EQ(FormatHoursMinutes(value), QString::fromLatin1(hm)) << value;
    }
    const QLocale locale = QLocale::system();
    const QString day = locale.toString(QDate(2023, 3, 15), QLocale::ShortFormat);
    EXPECT_EQ(XLabelText(1, 1, 45000.02), day);
    EXPECT_EQ(XLabelText(1, 1, 1), locale.toString(QDate(1899, 12, 31), QLocale::ShortFormat));
    // The read-out's date and time: no time at exactly midnight.
    EXPECT_EQ(FormatDayDateTime(45000), day);
    EXPECT_EQ(FormatDayDateTime(45000.75), day + " 18:00:00");
    EXPECT_EQ(FormatDayDateTime(45000.9999999999), day + " 23:59:59");
    SetDecimalSeparator(separator);
}

} // namespace
