#include "common/NumberFormat.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include <QLocale>

namespace velk {

namespace {

std::atomic<char16_t>& SeparatorStore() {
    static std::atomic<char16_t> separator{LocaleDecimalSeparator().unicode()};
    return separator;
}

} // namespace

QChar LocaleDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 ? point.at(0) : QChar('.');
}

QChar DecimalSeparator() { return QChar(SeparatorStore().load()); }

void SetDecimalSeparator(QChar separator) { SeparatorStore().store(separator.unicode()); }

QString FormatGeneral(double value, int digits) {
    return FormatGeneral(value, digits, DecimalSeparator());
}

QString FormatGeneral(double value, int digits, QChar separator) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (digits < 1) digits = 1;
    if (digits > 17) digits = 17;
    if (value == 0.0) return QStringLiteral("0");

    // "%.*e" rounds to the asked significant digits and gives the exponent after rounding.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
    const std::string text(buffer);
    const auto ePos = text.find('e');
    const int exponent = std::stoi(text.substr(ePos + 1));
    std::string mantissa;
    const bool negative = text[0] == '-';
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i)
        if (text[i] != '.') mantissa.push_back(text[i]);
    while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();

    QString out;
    if (negative) out += QLatin1Char('-');
    if (exponent < digits && exponent >= -4) {
        if (exponent < 0) {
            out += QLatin1Char('0');
            out += separator;
            out += QString(-exponent - 1, QLatin1Char('0'));
            out += QString::fromLatin1(mantissa);
        } else {
            const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
            std::string whole = mantissa.substr(0, std::min(intDigits, mantissa.size()));
            whole.append(intDigits - whole.size(), '0');
            out += QString::fromLatin1(whole);
            if (mantissa.size() > intDigits) {
                out += separator;
                out += QString::fromLatin1(mantissa.substr(intDigits));
            }
        }
    } else {
        out += QLatin1Char(mantissa[0]);
        if (mantissa.size() > 1) {
            out += separator;
            out += QString::fromLatin1(mantissa.substr(1));
        }
        out += QLatin1Char('E');
        out += QString::number(exponent);
    }
    return out;
}

std::optional<double> ParseReal(const QString& text) { return ParseReal(text, DecimalSeparator()); }

std::optional<double> ParseReal(const QString& text, QChar separator) {
    const QString trimmed = text.trimmed();
    std::string ascii;
    ascii.reserve(static_cast<std::size_t>(trimmed.size()));
    int i = 0;
    const int n = static_cast<int>(trimmed.size());
    auto digitsFrom = [&](int& pos) {
        int count = 0;
        while (pos < n && trimmed[pos] >= QLatin1Char('0') && trimmed[pos] <= QLatin1Char('9')) {
            ascii.push_back(static_cast<char>(trimmed[pos].unicode()));
            ++pos;
            ++count;
        }
        return count;
    };
    if (i < n && (trimmed[i] == QLatin1Char('+') || trimmed[i] == QLatin1Char('-'))) {
        if (trimmed[i] == QLatin1Char('-')) ascii.push_back('-');
        ++i;
    }
    int mantissaDigits = digitsFrom(i);
    if (i < n && trimmed[i] == separator) {
        ascii.push_back('.');
        ++i;
        mantissaDigits += digitsFrom(i);
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < n && (trimmed[i] == QLatin1Char('E') || trimmed[i] == QLatin1Char('e'))) {
        ascii.push_back('e');
        ++i;
        if (i < n && (trimmed[i] == QLatin1Char('+') || trimmed[i] == QLatin1Char('-'))) {
            ascii.push_back(static_cast<char>(trimmed[i].unicode()));
            ++i;
        }
        if (digitsFrom(i) == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> ParseInteger(const QString& text) {
    const std::string ascii = text.trimmed().toStdString();
    if (ascii.empty()) return std::nullopt;
    const char* first = ascii.data();
    if (*first == '+') {
        ++first;
        if (first < ascii.data() + ascii.size() && *first == '-') return std::nullopt;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (ec != std::errc() || end != ascii.data() + ascii.size() || first == end) return std::nullopt;
    return value;
}

} // namespace velk
