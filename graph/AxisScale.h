#pragma once
// Axis scaling of the graph as plain functions: the shown range from the data or the view,
// the choice of decimal tick steps, the walk over pixel columns or rows that finds the tick
// positions, and the label texts. The painter and the window's position read-out use them.

#include <vector>

#include <QString>

namespace velk {

// Round to nearest, halves to the even neighbour (the default floating-point rounding).
double RoundEven(double x);
// RoundEven converted to int, saturating far outside the int range instead of overflowing.
int RoundToInt(double x);

// The mapping ends of one axis, and the view to keep while the axis scales automatically.
struct TShownRange {
    double mapMin = 0;
    double mapMax = 0;
    double range = 0;
    double viewMin = 0;
    double viewMax = 0;
};

// dataMin/dataMax: extremes of the data (+1e300/-1e300 when there is none). A zero range is
// widened by 10 % of the view's start each side, or to -1..1 when that start is 0; a negative
// start gives a negative range, which runs the axis backwards.
TShownRange ShownRange(double dataMin, double dataMax, bool autoScale, double viewMin,
                       double viewMax);

struct TExponent {
    int e = 0;
    double m = 0; // |span| / 10^e
};

// Power of ten e of the major tick step so that lower < |span| / 10^e < upper; the bounds
// widen by one each side from the third pass on, so the search always ends.
TExponent FindExponent(int lower, int upper, double span);

// Most labels an axis of `pixels` can carry: round(pixels x 15 / 600).
int MaxLabels(int pixels);

// True when a multiple of `step` (or zero) lies between two successive column values.
bool StepCrossed(double previous, double current, double step);

// One axis as the tick walk sees it: pixel i (counted from the margin) has a value.
struct TAxisWalk {
    double mapMin = 0;
    double range = 1;
    int plotSize = 1;
    bool vertical = false; // rows: larger values are higher on the picture
    double ValueAt(int i) const;
};

struct TTick {
    int pos = 0; // column or row counted from the margin
    bool major = false;
    double value = 0;
};

// Walks pixels -10 .. plotSize + 1 and returns the major and minor ticks in order. Pixels up
// to `first` (0 when the view starts exactly at 0, otherwise -1) only prime the walk. With
// clampLast the last pixel is drawn in column plotSize (the X axis does, the Y axis does not).
std::vector<TTick> WalkTicks(const TAxisWalk& axis, int first, double majorStep, double minorStep,
                             bool clampLast);

// Label of a value for a tick step: the nearest multiple of the step in general format with
// 15 significant digits, or 5 when that is longer than 5 characters.
QString FormatStep(double step, double value);
// "13h30m00s"; hours and minutes only when not zero.
QString FormatHoursMinutesSeconds(double hours);
// "09h45m"; empty at 0.
QString FormatHoursMinutes(double hours);
QString TwoDigits(int n);
// A day count since 30 December 1899 as the locale's short date.
QString FormatDayDate(double days);
// A day count as the locale's short date and the time of day (hh:mm:ss); the time is left
// out at exactly midnight.
QString FormatDayDateTime(double days);
// X tick label by XLabelFormat: 0 number, 1 date, 2 h-m-s, 3 h-m.
QString XLabelText(int format, double majorStep, double value);

} // namespace velk
