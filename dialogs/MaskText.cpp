#include "dialogs/MaskText.h"

#include <algorithm>
#include <cmath>

namespace velk {

const char* const TimeInputMask = "09\\h99\\m99\\s;_";
const char* const AngleInputMask = "#09\\\u00B099\\'99\\'\\';_";

namespace {

constexpr long long SecondsPerHour = 3600;

struct Sexagesimal {
    long long whole = 0;
    int minutes = 0;
    int seconds = 0;
};

// Splits a magnitude in whole units into units, minutes and seconds, to the nearest second.
Sexagesimal Split(double magnitude, long long maxSeconds) {
    const double seconds = std::nearbyint(magnitude * SecondsPerHour);
    const long long total =
        std::clamp(std::isnan(seconds) ? 0.0 : seconds, 0.0, static_cast<double>(maxSeconds));
    return {static_cast<long long>(total) / SecondsPerHour,
            static_cast<int>(static_cast<long long>(total) / 60 % 60),
            static_cast<int>(static_cast<long long>(total) % 60)};
}

QString TwoDigits(long long n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Reads a run of digit positions where unfilled ones ('_' or blank) count as nothing.
std::optional<int> Digits(const QString& field) {
    int value = 0;
    for (const QChar c : field) {
        if (c == QLatin1Char('_') || c == QLatin1Char(' ')) continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// Minutes and seconds "MM<a>SS<b...>" from `pos`; nothing when a literal is missing or a
// figure exceeds 59.
std::optional<double> MinutesSeconds(const QString& text, qsizetype pos, QChar afterMinutes,
                                     const QString& afterSeconds) {
    if (text.size() != pos + 5 + afterSeconds.size() || text.at(pos + 2) != afterMinutes ||
        text.mid(pos + 5) != afterSeconds)
        return std::nullopt;
    const auto minutes = Digits(text.mid(pos, 2));
    const auto seconds = Digits(text.mid(pos + 3, 2));
    if (!minutes || !seconds || *minutes > 59 || *seconds > 59) return std::nullopt;
    return *minutes / 60.0 + *seconds / 3600.0;
}

const QChar Degree(0x00B0);

} // namespace

QString TimeToMaskText(double hours) {
    const Sexagesimal t = Split(hours, 99 * SecondsPerHour + 59 * 60 + 59);
    return TwoDigits(t.whole) + QLatin1Char('h') + TwoDigits(t.minutes) + QLatin1Char('m') +
           TwoDigits(t.seconds) + QLatin1Char('s');
}

QString AngleToMaskText(double degrees) {
    const bool negative = degrees < 0 && std::nearbyint(-degrees * SecondsPerHour) > 0;
    const long long maxSeconds = (negative ? 99 : 999) * SecondsPerHour + 59 * 60 + 59;
    const Sexagesimal a = Split(std::fabs(degrees), maxSeconds);
    const QString whole = negative ? QLatin1Char('-') + TwoDigits(a.whole)
                                   : QStringLiteral("%1").arg(a.whole, 3, 10, QLatin1Char('0'));
    return whole + Degree + TwoDigits(a.minutes) + QLatin1Char('\'') + TwoDigits(a.seconds) +
           QStringLiteral("''");
}

std::optional<double> MaskTextToTime(const QString& text) {
    const auto hours = Digits(text.left(2));
    const auto rest = MinutesSeconds(text, 3, QLatin1Char('m'), QStringLiteral("s"));
    if (text.size() < 3 || text.at(2) != QLatin1Char('h') || !hours || !rest) return std::nullopt;
    return *hours + *rest;
}

std::optional<double> MaskTextToAngle(const QString& text) {
    if (text.size() < 4 || text.at(3) != Degree) return std::nullopt;
    QString whole = text.left(3);
    double sign = 1.0;
    if (whole.front() == QLatin1Char('-') || whole.front() == QLatin1Char('+')) {
        sign = whole.front() == QLatin1Char('-') ? -1.0 : 1.0;
        whole.remove(0, 1);
    }
    const auto degrees = Digits(whole);
    const auto rest = MinutesSeconds(text, 4, QLatin1Char('\''), QStringLiteral("''"));
    if (!degrees || !rest) return std::nullopt;
    return sign * (*degrees + *rest);
}

} // namespace velk
