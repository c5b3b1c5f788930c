#pragma once
// Curve maths of a graph window: operation lines in a small fixed syntax, built from the
// maths page's choices and carried out in order on the graph's data.
//
//   "AxeX = AxeX * 24"                       every abscissa times a constant
//   "CurveY[2] = CurveY[2] - CurveY[1] "     series 2 minus series 1, point by point
//   "CurveY[1] = CurveY[1] / 4"              a series and a constant
//   "CurveY[1]= Ln(CurveY[1])"               a function of a series
//
// A line changes all its points or none: one that meets a value outside its domain, or any
// result that is not a finite number, leaves its target as it was and stops the list.

#include <optional>

#include <QString>
#include <QStringList>

namespace velk {

class Tgraphex;

// The entry of series s in the target and operand lists: "3. Y Courbe #3".
QString SeriesEntry(int s);
// The fixed entries of the page's lists: the abscissas as target, a constant as operand, and
// the operations, read by their leading digit (the last, a function, needs a series target).
QString AxisEntry();
QString ConstantEntry();
QStringList OperationEntries();
// The whole number before the first "." of an entry, or nothing.
std::optional<int> EntrySeries(const QString& entry);

// The line the page's texts make. `operandEnabled` is false in function mode.
QString BuildMathsLine(const QString& target, const QString& operation, bool operandEnabled,
                       const QString& operand, const QString& constant, const QString& function);

struct TMathsRun {
    QStringList messages; // lines skipped ("Curve 3 does not exist !!")
    QString error;        // the line that stopped the list, and why; empty when all ran
};

TMathsRun RunMathsLines(Tgraphex& g, const QStringList& lines);

} // namespace velk
