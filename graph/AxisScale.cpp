#include "graph/AxisScale.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QDate>
#include <QLocale>

#include "common/DateTimeText.h"
#include "common/NumberFormat.h"

namespace velk {

namespace {

// 10^e without overflow or underflow for every exponent a finite double can have.
double DivideByPowerOfTen(double a, int e) {
    const int half = e / 2;
    return a / std::pow(10.0, half) / std::pow(10.0, e - half);
}

// Time labels stop making sense (and trunc would overflow) far beyond any real time axis.
constexpr double MaxLabelHours = 1e9;

} // namespace

double RoundEven(double x) {
    return std::nearbyint(x);
}

int RoundToInt(double x) {
    if (std::isnan(x)) return 0;
    constexpr double limit = 1e9;
    if (x > limit) return static_cast<int>(limit);
    if (x < -limit) return -static_cast<int>(limit);
    return static_cast<int>(std::nearbyint(x));
}

TShownRange ShownRange(double dataMin, double dataMax, bool autoScale, double viewMin,
                       double viewMax) {
    TShownRange r;
    if (autoScale) {
        r.mapMin = dataMin;
        r.mapMax = dataMax;
        r.viewMin = dataMin;
        r.viewMax = dataMax;
    } else {
        r.mapMin = viewMin;
        r.mapMax = viewMax;
        r.viewMin = viewMin;
        r.viewMax = viewMax;
    }
    r.range = r.mapMax - r.mapMin;
    if (r.range == 0) {
        const double v = r.viewMin;
        r.mapMin = v - 0.1 * v;
        r.mapMax = 0.1 * v + v;
        r.range = r.mapMax - r.mapMin;
        if (r.range == 0) {
            r.mapMin = -1;
            r.mapMax = 1;
            r.range = 2;
        }
    }
    return r;
}

TExponent FindExponent(int lower, int upper, double span) {
    const double a = std::fabs(span);
    if (!std::isfinite(a) || a == 0) return {0, a};
    int e = static_cast<int>(RoundEven(std::log10(a))) - 1;
    double bottom = lower;
    double top = upper;
    // The widening bounds end the search within a few passes; the cap only guards the loop.
    for (int passes = 1; passes < 1000; ++passes) {
        const double m = DivideByPowerOfTen(a, e);
        int next = e;
        if (bottom > m) --next;
        if (top < m) ++next;
        if (passes > 2) {
            bottom -= 1;
            top += 1;
        }
        // m belongs to e: once the widened bounds accept m, e is the answer, not the
        // exponent the pass just moved on to (which would leave far fewer labels than m says).
        if (bottom < m && m < top) return {e, m};
        e = next;
    }
    return {e, DivideByPowerOfTen(a, e)};
}

int MaxLabels(int pixels) {
    return static_cast<int>(RoundEven(pixels * 15.0 / 600.0));
}

bool StepCrossed(double previous, double current, double step) {
    const double q = std::pow(10.0, -std::log10(step));
    if (std::fabs(std::trunc(current * q) - std::trunc(previous * q)) >= 1) return true;
    return previous * current <= 0;
}

double TAxisWalk::ValueAt(int i) const {
    const double f = static_cast<double>(i) / plotSize;
    return vertical ? (1 - f) * range + mapMin : f * range + mapMin;
}

std::vector<TTick> WalkTicks(const TAxisWalk& axis, int first, double majorStep, double minorStep,
                             bool clampLast) {
    std::vector<TTick> ticks;
    double previous = 0;
    for (int i = -10; i <= axis.plotSize + 1; ++i) {
        const double v = axis.ValueAt(i);
        if (i > first) {
            const int pos = clampLast && i == axis.plotSize + 1 ? axis.plotSize : i;
            if (StepCrossed(previous, v, majorStep)) {
                ticks.push_back({pos, true, v});
            } else if (StepCrossed(previous, v, minorStep)) {
                bool majorNear = false;
                for (int j = 0; j <= 2 && !majorNear; ++j)
                    majorNear =
                        StepCrossed(axis.ValueAt(i + j - 1), axis.ValueAt(i + j), majorStep);
                if (!majorNear) ticks.push_back({pos, false, v});
            }
        }
        previous = v;
    }
    return ticks;
}

QString FormatStep(double step, double value) {
    const double v = RoundEven(value / step) * step;
    QString t = FormatGeneral(v, 15);
    if (t.size() > 5) t = FormatGeneral(v, 5);
    return t;
}

QString TwoDigits(int n) {
    return n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
}

namespace {

struct THms {
    int h = 0, m = 0, s = 0;
    bool negative = false;
    bool valid = false;
};

// Whole hours, minutes and seconds of a time in hours. The time is first rounded to the
// millisecond so that 10.2 h reads 10h12m and not 10h11m59s through binary fractions.
THms SplitHours(double hours) {
    THms r;
    if (!std::isfinite(hours) || std::fabs(hours) > MaxLabelHours) return r;
    r.valid = true;
    r.negative = hours < 0;
    const double seconds = std::trunc(RoundEven(std::fabs(hours) * 3600.0 * 1000.0) / 1000.0);
    const double h = std::trunc(seconds / 3600.0);
    const double rest = seconds - h * 3600.0;
    r.h = static_cast<int>(h);
    r.m = static_cast<int>(std::trunc(rest / 60.0));
    r.s = static_cast<int>(rest - r.m * 60.0);
    return r;
}

QString HoursMinutes(const THms& t) {
    QString text;
    if (t.h > 0) text += TwoDigits(t.h) + QLatin1Char('h');
    if (t.m > 0) text += TwoDigits(t.m) + QLatin1Char('m');
    return text;
}

} // namespace

QString FormatHoursMinutesSeconds(double hours) {
    const THms t = SplitHours(hours);
    if (!t.valid) return {};
    const QString text = HoursMinutes(t) + TwoDigits(t.s) + QLatin1Char('s');
    return t.negative && (t.h > 0 || t.m > 0 || t.s > 0) ? QLatin1Char('-') + text : text;
}

QString FormatHoursMinutes(double hours) {
    const THms t = SplitHours(hours);
    if (!t.valid) return {};
    const QString text = HoursMinutes(t);
    return t.negative && !text.isEmpty() ? QLatin1Char('-') + text : text;
}

QString FormatDayDate(double days) {
    // Beyond a few thousand years QDate has nothing sensible to say.
    if (!std::isfinite(days) || std::fabs(days) > 3e6) return {};
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(std::trunc(days)));
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString FormatDayDateTime(double days) {
    const QString date = FormatDayDate(days);
    if (date.isEmpty()) return date;
    // The fraction is the time of day, also before 1899 (where the whole part is negative).
    const double fraction = std::fabs(days - std::trunc(days));
    if (fraction == 0) return date;
    constexpr qint64 msPerDay = 86'400'000;
    const qint64 ms =
        std::min<qint64>(static_cast<qint64>(RoundEven(fraction * msPerDay)), msPerDay - 1);
    const QDate day = QDate(1899, 12, 30).addDays(static_cast<qint64>(std::trunc(days)));
    return DateTimeText(QDateTime(day, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms))));
}

QString XLabelText(int format, double majorStep, double value) {
    // A tick marks a multiple of the step, found at the first column past it: the time and
    // date labels name that multiple, as the number labels do.
    const double tick = RoundEven(value / majorStep) * majorStep;
    switch (format) {
    case 1:
        return FormatDayDate(tick);
    case 2:
        return FormatHoursMinutesSeconds(tick);
    case 3:
        return FormatHoursMinutes(tick);
    default:
        return FormatStep(majorStep, value);
    }
}

} // namespace velk
