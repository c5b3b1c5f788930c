#include "graph/CurveMaths.h"

#include <cmath>
#include <vector>

#include "common/NumberFormat.h"
#include "graph/Graphex.h"

namespace velk {

namespace {

std::optional<double> Constant(const QString& text) {
    return ParseReal(text, QLatin1Char('.'));
}

// The number between the first "[" and the next "]".
std::optional<int> Bracketed(const QString& text) {
    const qsizetype open = text.indexOf(QLatin1Char('['));
    const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char(']'), open);
    if (close < 0) return std::nullopt;
    return ParseInteger(text.mid(open + 1, close - open - 1));
}

// a op b for the four operators; nothing for an unknown one.
std::optional<double> Apply(QChar op, double a, double b) {
    switch (op.unicode()) {
    case '*':
        return a * b;
    case '+':
        return a + b;
    case '-':
        return a - b;
    case '/':
        return a / b;
    default:
        return std::nullopt;
    }
}

std::optional<double> Function(const QString& name, double v) {
    if (name == QStringLiteral("Cos")) return std::cos(v);
    if (name == QStringLiteral("Sin")) return std::sin(v);
    if (name == QStringLiteral("Tan")) return std::tan(v);
    if (name == QStringLiteral("Ln")) return std::log(v);
    if (name == QStringLiteral("Log10")) return std::log10(v);
    if (name == QStringLiteral("Exp")) return std::exp(v);
    if (name == QStringLiteral("Inv")) return 1 / v;
    return std::nullopt;
}

struct TLineStop {
    QString text;
};

class TMathsRunner {
public:
    explicit TMathsRunner(Tgraphex& g) : g_(g) {}
    // Carries out one line; a line skipped leaves its message in `run`, one that stops the
    // list throws TLineStop.
    void Run(const QString& line, TMathsRun& run);

private:
    void AxisLine(const QStringList& fields);
    void FunctionLine(int n, const QString& right);
    void SeriesLine(int n, const QStringList& fields, const QString& line);
    // Stores the new values of series n (0: the abscissas) once all of them are finite.
    void Commit(int n, const QString& what);

    Tgraphex& g_;
    std::vector<double> values_;
};

void TMathsRunner::Run(const QString& line, TMathsRun& run) {
    const QString right = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    const QStringList fields = right.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.isEmpty()) return;
    if (fields.front() == QStringLiteral("AxeX")) {
        AxisLine(fields);
        return;
    }
    const auto n = Bracketed(right);
    if (!n) {
        run.messages << QStringLiteral("Invalid operation line : ") + line;
        return;
    }
    if (!g_.IsSeriesPresent(*n)) {
        run.messages << QStringLiteral("Curve # does not exist !!")
                            .replace(QLatin1Char('#'), QString::number(*n));
        return;
    }
    if (fields.size() == 1)
        FunctionLine(*n, right);
    else
        SeriesLine(*n, fields, line);
}

void TMathsRunner::AxisLine(const QStringList& fields) {
    if (fields.size() < 3) return;
    const auto c = Constant(fields.at(2));
    const QChar op = fields.at(1).front();
    if (!c || (op == QLatin1Char('/') && *c == 0)) return; // a division by 0 is not carried out
    values_.resize(static_cast<std::size_t>(g_.PointCount()));
    for (int i = 1; i <= g_.PointCount(); ++i) {
        const auto v = Apply(op, g_.GetX(i), *c);
        if (!v) return;
        values_[static_cast<std::size_t>(i - 1)] = *v;
    }
    Commit(0, QStringLiteral("of the X axis"));
}

void TMathsRunner::FunctionLine(int n, const QString& right) {
    const QString name = right.left(right.indexOf(QLatin1Char('(')));
    values_.resize(static_cast<std::size_t>(g_.PointCount()));
    for (int i = 1; i <= g_.PointCount(); ++i) {
        const double y = g_.GetY(n, i);
        const auto v = Function(name, y);
        if (!v) return; // not a function of the list: nothing to do
        if (!std::isfinite(*v))
            throw TLineStop{name + QStringLiteral(" is not defined for the value ") +
                            FormatGeneral(y, 15) + QStringLiteral(" at point ") +
                            QString::number(i) + QStringLiteral(" of curve ") + QString::number(n) +
                            QStringLiteral(" : the curve is left unchanged")};
        values_[static_cast<std::size_t>(i - 1)] = *v;
    }
    Commit(n, QString());
}

void TMathsRunner::SeriesLine(int n, const QStringList& fields, const QString& line) {
    if (fields.size() < 3) return;
    const QChar op = fields.at(1).front();
    const auto c = Constant(fields.at(2));
    std::optional<int> m;
    if (!c) {
        m = Bracketed(fields.at(2));
        if (!m) throw TLineStop{QStringLiteral("Invalid operand in the line : ") + line};
    }
    if (c && op == QLatin1Char('/') && *c == 0) return; // a division by 0 is not carried out
    values_.resize(static_cast<std::size_t>(g_.PointCount()));
    for (int i = 1; i <= g_.PointCount(); ++i) {
        const double y = g_.GetY(n, i);
        std::optional<double> v;
        if (c) {
            v = Apply(op, y, *c);
        } else {
            const double ym = g_.GetY(*m, i);
            v = op == QLatin1Char('/') && ym == 0 ? std::optional<double>(1E300) : Apply(op, y, ym);
        }
        if (!v) return;
        values_[static_cast<std::size_t>(i - 1)] = *v;
    }
    Commit(n, QStringLiteral("of curve ") + QString::number(n));
}

void TMathsRunner::Commit(int n, const QString& what) {
    for (int i = 1; i <= g_.PointCount(); ++i)
        if (!std::isfinite(values_[static_cast<std::size_t>(i - 1)]))
            throw TLineStop{QStringLiteral("The result at point ") + QString::number(i) +
                            QLatin1Char(' ') + what +
                            QStringLiteral(" is out of range : it is left unchanged")};
    for (int i = 1; i <= g_.PointCount(); ++i) {
        const double v = values_[static_cast<std::size_t>(i - 1)];
        if (n == 0)
            g_.SetX(i, v);
        else
            g_.SetY(n, i, v);
    }
}

} // namespace

QString SeriesEntry(int s) {
    return QString::number(s) + QStringLiteral(". Y Courbe #") + QString::number(s);
}

QString AxisEntry() {
    return QStringLiteral("0. Axe X");
}

QString ConstantEntry() {
    return QStringLiteral("0. Constante");
}

QStringList OperationEntries() {
    return {QStringLiteral("1. Multiplier par"), QStringLiteral("2. Ajouter"),
            QStringLiteral("3. Diviser par"), QStringLiteral("4. Soustraire par"),
            QStringLiteral("5. Fonction")};
}

std::optional<int> EntrySeries(const QString& entry) {
    return ParseInteger(entry.left(entry.indexOf(QLatin1Char('.'))));
}

QString BuildMathsLine(const QString& target, const QString& operation, bool operandEnabled,
                       const QString& operand, const QString& constant, const QString& function) {
    QString line;
    if (target != AxisEntry()) {
        const QString n = QString::number(EntrySeries(target).value_or(0));
        line = operandEnabled ? QStringLiteral("CurveY[") + n + QStringLiteral("] = CurveY[") + n +
                                    QStringLiteral("] ")
                              : QStringLiteral("CurveY[") + n + QLatin1Char(']');
    } else {
        line = QStringLiteral("AxeX = AxeX ");
    }
    switch (operation.isEmpty() ? 0 : operation.front().unicode()) {
    case '1':
        line += QStringLiteral("* ");
        break;
    case '2':
        line += QStringLiteral("+ ");
        break;
    case '3':
        line += QStringLiteral("/ ");
        break;
    case '4':
        line += QStringLiteral("- ");
        break;
    case '5':
        line = line + QStringLiteral("= ") + function + QLatin1Char('(') + line + QLatin1Char(')');
        break;
    default:
        break;
    }
    if (operandEnabled) {
        if (!operand.startsWith(QLatin1Char('0')))
            line += QStringLiteral("CurveY[") + QString::number(EntrySeries(operand).value_or(0)) +
                    QStringLiteral("] ");
        else
            line += constant;
    }
    return line;
}

TMathsRun RunMathsLines(Tgraphex& g, const QStringList& lines) {
    TMathsRun run;
    TMathsRunner runner(g);
    for (const QString& line : lines) {
        try {
            runner.Run(line, run);
        } catch (const TLineStop& stop) {
            run.error = stop.text;
            return run;
        } catch (const Exception& e) {
            run.error = e.Message();
            return run;
        }
    }
    return run;
}

} // namespace velk
