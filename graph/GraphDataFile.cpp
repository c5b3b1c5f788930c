#include "graph/GraphDataFile.h"

#include <vector>

#include "common/NumberFormat.h"
#include "dialogs/MessageReport.h"
#include "graph/Graphex.h"

namespace velk {

namespace {

constexpr int FileDigits = 15;
constexpr int LongestFirstLine = 1000;

QString Number(double v) {
    QString text = FormatGeneral(v, FileDigits);
    // Next to the largest double, 15 digits round up past it and would not load back.
    if (!ParseReal(text)) text = FormatGeneral(v, 17);
    return text;
}

// Leading and trailing blanks and control characters go.
QString Trimmed(const QString& line) {
    qsizetype begin = 0, end = line.size();
    while (begin < end && line.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && line.at(end - 1).unicode() <= ' ')
        --end;
    return line.mid(begin, end - begin);
}

// Fields are separated by runs of blanks; a tab is part of a field.
QStringList Fields(const QString& line) {
    return line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList Lines(const QByteArray& text) {
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0) end = text.size();
        lines << Trimmed(QString::fromLatin1(text.constData() + start, end - start));
        start = end + 1;
    }
    if (lines.isEmpty()) lines << QString();
    return lines;
}

// Ends a load; `text` is what the error report shows, empty when a message said it already.
struct TLoadFailure {
    QString text;
};

double Real(const QString& field) {
    const auto value = ParseReal(field);
    if (!value) throw TLoadFailure{NotARealText(field)};
    return *value;
}

QString FieldAt(const QStringList& fields, int position) {
    return position >= 1 && position <= fields.size() ? fields.at(position - 1) : QString();
}

// An uncertainty field read by position, without its "@+" or "@-".
double Uncertainty(const QStringList& fields, int position) {
    return Real(FieldAt(fields, position).mid(2));
}

struct TColumn {
    int position = 0;       // field of the value in every data line
    bool uncertain = false; // followed by the "@+" and "@-" fields
    int series = 0;         // allocated in this load
    bool hadUncertainty = false;
};

class TLoader {
public:
    TLoader(Tgraphex& g, TDataLoad& result) : g_(g), r_(result) {}

    void Load(const QStringList& lines, const TConfirmFirstLine& confirm);

private:
    void AnalyseFirstLine(const QStringList& fields);
    void Allocate(const QStringList& fields);
    void ReadDataLine(const QString& line, int count);
    void ReadTextLine(const QString& line);
    void ReadLegendLine(const QString& line);
    void ReleaseAllocated();
    [[noreturn]] void Mismatch(const QString& message) {
        r_.messages << message;
        throw TLoadFailure{};
    }

    Tgraphex& g_;
    TDataLoad& r_;
    std::vector<TColumn> columns_;
    int uncertaintyFields_ = 0;
    int textLines_ = 0;
};

void TLoader::Load(const QStringList& lines, const TConfirmFirstLine& confirm) {
    const QString& first = lines.front();
    if (first.size() > LongestFirstLine) {
        r_.messages << QStringLiteral("First file line is greater than 1000 chars !");
        return;
    }
    if (confirm && !confirm(first)) return;
    const QStringList fields = Fields(first);
    if (fields.size() < 2) {
        r_.messages << QStringLiteral("Needs two collunms, at least !!");
        r_.counted = true;
        return;
    }
    try {
        if (!SameAtFileDigits(Real(fields.front()), g_.GetX(1))) {
            r_.messages << QStringLiteral(
                "The first figure found in the file does not match to the one on the graph !");
            r_.counted = true;
            return;
        }
        AnalyseFirstLine(fields);
        Allocate(fields);
        int count = 1;
        if (!columns_.empty()) {
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QString& line = lines.at(i);
                if (line.isEmpty() || line.startsWith(QLatin1Char('/'))) continue;
                if (line.startsWith(QLatin1Char('#')))
                    ReadTextLine(line);
                else if (line.startsWith(QLatin1Char('$')))
                    ReadLegendLine(line);
                else
                    ReadDataLine(line, ++count);
            }
        }
        if (g_.PointCount() != count)
            Mismatch(QStringLiteral("Amount of points does not match to the current one !"));
        r_.counted = true;
    } catch (const TLoadFailure& failure) {
        r_.failure = failure.text;
        r_.failed = true;
    } catch (const Exception& e) {
        r_.failure = e.Message();
        r_.failed = true;
    } catch (const std::exception& e) {
        r_.failure = QString::fromUtf8(e.what());
        r_.failed = true;
    }
    if (r_.failed) ReleaseAllocated();
}

void TLoader::AnalyseFirstLine(const QStringList& fields) {
    const int n = static_cast<int>(fields.size());
    for (int p = 2; p <= n;) {
        const QString& field = fields.at(p - 1);
        if (ParseReal(field)) {
            columns_.push_back({p, false, 0, false});
            ++p;
            continue;
        }
        if (!field.contains(QStringLiteral("@+"))) throw TLoadFailure{NotARealText(field)};
        ++p;
        ++uncertaintyFields_;
        if (FieldAt(fields, p).contains(QStringLiteral("@-"))) {
            if (!columns_.empty()) columns_.back().uncertain = true;
            ++uncertaintyFields_;
            ++p;
        }
    }
}

void TLoader::Allocate(const QStringList& fields) {
    r_.logCleared = true;
    for (std::size_t k = 1; k <= columns_.size(); ++k) {
        TColumn& column = columns_[k - 1];
        int s = 1;
        while (s <= MaxSeries && g_.IsSeriesPresent(s))
            ++s;
        if (s > MaxSeries) {
            r_.messages << QStringLiteral("No availables series...");
            ReleaseAllocated();
            columns_.clear();
            return;
        }
        r_.log << QStringLiteral("Allocate file : collumn # ") + QString::number(k) +
                      QStringLiteral(" to the free collumn number #") + QString::number(s);
        column.series = s;
        column.hadUncertainty = g_.HasUncertainty(s);
        g_.SetSeriesPresent(s, true);
        g_.PointType[s] = static_cast<std::uint8_t>(k);
        g_.PointSize[s] = 3;
        g_.SeriesColor[s] = ColorBlack;
        g_.SetY(s, 1, Real(FieldAt(fields, column.position)));
        g_.SetUncertainty(s, column.uncertain);
        if (column.uncertain) {
            r_.log << QStringLiteral("Incertainty data at collumn : ") + QString::number(k);
            g_.SetErrPlus(s, 1, Uncertainty(fields, column.position + 1));
            g_.SetErrMinus(s, 1, Uncertainty(fields, column.position + 2));
        }
    }
}

void TLoader::ReadDataLine(const QString& line, int count) {
    const QStringList fields = Fields(line);
    if (!SameAtFileDigits(Real(fields.front()), g_.GetX(count)))
        Mismatch(QStringLiteral("The first figure in X axis does not match to the current one !"));
    if (fields.size() - uncertaintyFields_ - 1 != static_cast<qsizetype>(columns_.size()))
        Mismatch(
            QStringLiteral("This line does not have the number of collumns of the firts line  "));
    for (const TColumn& column : columns_) {
        g_.SetY(column.series, count, Real(FieldAt(fields, column.position)));
        if (!column.uncertain) continue;
        g_.SetErrPlus(column.series, count, Uncertainty(fields, column.position + 1));
        g_.SetErrMinus(column.series, count, Uncertainty(fields, column.position + 2));
    }
}

void TLoader::ReadTextLine(const QString& line) {
    const QString text = line.mid(1);
    switch (++textLines_) {
    case 1:
        g_.Title = text;
        break;
    case 2:
        g_.XCaption = text;
        break;
    case 3:
        g_.YCaption = text;
        break;
    default:
        return;
    }
    r_.textLines = textLines_;
}

void TLoader::ReadLegendLine(const QString& line) {
    const qsizetype at = line.indexOf(QLatin1Char('@'));
    if (at < 0) return;
    const auto m = ParseInteger(line.mid(1, at - 1));
    // Only a column this load allocated has a series to name.
    if (!m || *m < 1 || *m > static_cast<int>(columns_.size())) return;
    const int s = columns_[static_cast<std::size_t>(*m - 1)].series;
    g_.ShowInLegend[s] = true;
    g_.SeriesTitle[s] = line.mid(at + 1);
}

void TLoader::ReleaseAllocated() {
    for (const TColumn& column : columns_) {
        if (column.series == 0) continue;
        g_.SetUncertainty(column.series, column.hadUncertainty);
        g_.SetSeriesPresent(column.series, false);
    }
}

} // namespace

bool SameAtFileDigits(double a, double b) {
    return FormatGeneral(a, FileDigits, QLatin1Char('.')) ==
           FormatGeneral(b, FileDigits, QLatin1Char('.'));
}

QString FirstLineQuestion(const QString& firstLine) {
    return QStringLiteral("Content of the first line  \"") + firstLine +
           QStringLiteral("\", proceed ?");
}

QByteArray GraphDataText(const Tgraphex& g) {
    QByteArray out;
    const auto put = [&out](const QString& line) {
        out += line.toLatin1();
        out += "\r\n";
    };
    for (int i = 1; i <= g.PointCount(); ++i) {
        QString line = Number(g.GetX(i)) + QStringLiteral("  ");
        for (int s = 1; s <= MaxSeries; ++s) {
            if (!g.IsSeriesPresent(s)) continue;
            line += QLatin1Char(' ') + Number(g.GetY(s, i));
            if (g.HasUncertainty(s))
                line += QStringLiteral(" @+") + Number(g.GetErrPlus(s, i)) + QStringLiteral(" @-") +
                        Number(g.GetErrMinus(s, i));
        }
        put(line);
    }
    put(QLatin1Char('#') + g.Title);
    put(QLatin1Char('#') + g.XCaption);
    put(QLatin1Char('#') + g.YCaption);
    // Numbered by data column, as the loader reads them: series 2 and 3 of a graph without
    // series 1 are columns 1 and 2.
    int column = 0;
    for (int s = 1; s <= MaxSeries; ++s) {
        if (!g.IsSeriesPresent(s)) continue;
        ++column;
        if (g.ShowInLegend[s])
            put(QLatin1Char('$') + QString::number(column) + QLatin1Char('@') + g.SeriesTitle[s]);
    }
    return out;
}

TDataLoad LoadGraphData(Tgraphex& g, const QByteArray& text, const TConfirmFirstLine& confirm) {
    TDataLoad result;
    TLoader(g, result).Load(Lines(text), confirm);
    return result;
}

} // namespace velk
