#include "dialogs/Editnbre.h"

#include <cctype>
#include <limits>

#include "common/NumberFormat.h"
#include "dialogs/MessageReport.h"

namespace velk {

std::optional<int> ParseIntegerOrHex(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    QString rest = text.mid(i);
    bool negative = false;
    if (rest.startsWith(QLatin1Char('-')) || rest.startsWith(QLatin1Char('+'))) {
        negative = rest.startsWith(QLatin1Char('-'));
        rest.remove(0, 1);
    }
    qsizetype prefix = 0;
    if (rest.startsWith(QLatin1Char('$')) || rest.startsWith(QLatin1Char('x'), Qt::CaseInsensitive))
        prefix = 1;
    else if (rest.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        prefix = 2;
    if (prefix == 0) {
        // Decimal: only digits may follow the sign.
        if (rest.isEmpty() || rest.front() == QLatin1Char('+') ||
            rest.front() == QLatin1Char('-') || rest.back() == QLatin1Char(' '))
            return std::nullopt;
        return ParseInteger((negative ? QStringLiteral("-") : QString()) + rest);
    }
    const QString digits = rest.mid(prefix);
    if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
    for (const QChar c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1()))) return std::nullopt;
    const uint magnitude = digits.toUInt(nullptr, 16);
    // Eight hexadecimal digits name the whole 32-bit pattern, as the integer conversion does.
    const int value = static_cast<int>(magnitude);
    if (negative) {
        if (value == std::numeric_limits<int>::min()) return value;
        return -value;
    }
    return value;
}

std::optional<QString> CheckNbreText(const QString& text, std::uint8_t typeData, double valMin,
                                     double valMax) {
    double value = 0.0;
    if (typeData == 2) {
        if (text.isEmpty() || text == QStringLiteral("-") || text.endsWith(QLatin1Char('.')))
            return std::nullopt;
        const auto real = ParseReal(text, QLatin1Char('.'));
        if (!real) return QStringLiteral("Invalid input !");
        value = *real;
    } else if (typeData == 1) {
        if (text.isEmpty()) return std::nullopt;
        const auto integer = ParseIntegerOrHex(text);
        if (!integer) return QStringLiteral("Invalid input !");
        value = *integer;
    } else {
        return std::nullopt;
    }
    if (value > valMax) return QStringLiteral("Overflow number !");
    if (value < valMin) return QStringLiteral("Too low number !");
    return std::nullopt;
}

NbreEdit::NbreEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &NbreEdit::TextChanged);
}

void NbreEdit::SetText(const QString& value) {
    lastAccepted_ = value;
    settingText_ = true;
    setText(value);
    settingText_ = false;
}

void NbreEdit::TextChanged(const QString& text) {
    if (!settingText_) {
        if (const auto message = CheckNbreText(text, typeData_, valMin_, valMax_)) {
            ReportMessage(this, *message, TMessageKind::Error);
            // Putting the text back is a change of its own and is checked again (it passes).
            setText(lastAccepted_);
        } else {
            lastAccepted_ = text;
        }
    }
    if (onChange_) onChange_(this);
}

} // namespace velk
