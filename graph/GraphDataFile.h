#pragma once
// The graph data text file: writer and loader as functions of the graph and the file's bytes.
// Lines end with CR LF; numbers have up to 15 significant digits and the program-wide decimal
// separator; the text is single-byte (Latin-1).
//
//   data lines   "x  " then, per present series, " y" [" @+e+" " @-e-"]
//   text lines   "#" Title, "#" XCaption, "#" YCaption
//   legend lines "$" column "@" SeriesTitle, for series shown in the legend
//
// Loading adds the file's data columns to the graph as new series; the file's abscissas must
// be the graph's, point by point.

#include <functional>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velk {

class Tgraphex;

// The whole file for the graph's points, texts and legend.
QByteArray GraphDataText(const Tgraphex& g);

struct TDataLoad {
    QStringList messages; // information messages, in the order they arose
    QStringList log;      // lines for the load log; the log is cleared first when logCleared
    bool logCleared = false;
    bool failed = false;  // the series of this load are released again
    QString failure;      // what made it fail when no message above says it already
    bool counted = false; // the load went far enough to show the new point count
    int textLines = 0;    // "#" lines taken: 1 title, 2 and X caption, 3 and Y caption
};

// Asked with the first line before anything changes; false stops the load.
using TConfirmFirstLine = std::function<bool(const QString& firstLine)>;

// Loads `text` into the graph. Never throws for bad input: every refusal is in the result.
TDataLoad LoadGraphData(Tgraphex& g, const QByteArray& text, const TConfirmFirstLine& confirm);

// The text of the confirmation question for a first line.
QString FirstLineQuestion(const QString& firstLine);

// True when two numbers read the same at the 15 significant digits the file keeps.
bool SameAtFileDigits(double a, double b);

} // namespace velk
