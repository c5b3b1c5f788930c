#include "history/ReadingsFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <QDateTime>

#include "common/DateTimeText.h"

namespace velk {

namespace {

constexpr std::size_t kIsoLength = 25; // 2026-11-02T14:03:07+01:00

// Digits only, as a number; -1 when any character is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int n = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - static_cast<int>(era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// One field of a quantity's column: NaN for an empty field, nothing when it is not a value
// the monitor writes for that quantity.
std::optional<float> Field(const TQuantityInfo& q, std::string_view text) {
    if (text.empty()) return std::numeric_limits<float>::quiet_NaN();
    if (!q.Shown) {
        for (std::size_t state = 0; state < q.States.size(); ++state)
            if (text == q.States[state]) return static_cast<float>(state);
        return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    // inf and nan read as numbers, and a value the window would show as "-----" is never
    // written: either is a damaged field.
    if (ec != std::errc() || ptr != end || !std::isfinite(value) ||
        std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    // Judged as kept: a vacuum of 1E-50 would become 0 as a float, which is no vacuum.
    const auto kept = static_cast<float>(value);
    if (!q.Shown(kept)) return std::nullopt;
    return kept;
}

// The lines of `bytes`; a last line without its end comes with `complete` false.
template <class F> void ForEachLine(std::string_view bytes, F&& line) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            line(bytes.substr(start), false);
            return;
        }
        line(bytes.substr(start, end - start), true);
        start = end + 1;
    }
}

} // namespace

const std::array<const TQuantityInfo*, kQuantityCount>& ReadingsColumns() {
    static const auto columns = [] {
        std::array<const TQuantityInfo*, kQuantityCount> inRows{};
        for (const TQuantityInfo& q : Quantities())
            inRows[static_cast<std::size_t>(q.Row)] = &q;
        return inRows;
    }();
    return columns;
}

QByteArray ReadingsHeader() {
    QByteArray header = "time";
    for (const TQuantityInfo* column : ReadingsColumns())
        header += QByteArray(",") + column->Column;
    return header + '\n';
}

QString ReadingsFileName(const QDate& day) {
    return QLatin1String("readings-") + day.toString(QStringLiteral("yyyy-MM-dd")) +
           QLatin1String(".csv");
}

QString EventsFileName(const QDate& day) {
    return QLatin1String("events-") + day.toString(QStringLiteral("yyyy-MM-dd")) +
           QLatin1String(".log");
}

QByteArray ReadingsLine(const THistoryData& data, std::size_t i) {
    QString line = IsoDateTimeText(QDateTime::fromSecsSinceEpoch(data.Times[i]));
    for (const TQuantityInfo* column : ReadingsColumns()) {
        const float v = data.Values[static_cast<std::size_t>(column->Quantity)][i];
        line += QLatin1Char(',');
        if (!std::isnan(v)) line += QuantityText(*column, v, QLatin1Char('.'));
    }
    return line.toUtf8() + '\n';
}

std::optional<std::int64_t> ParseIsoTime(std::string_view t) {
    if (t.size() != kIsoLength || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || (t[19] != '+' && t[19] != '-') || t[22] != ':')
        return std::nullopt;
    const int y = Digits(t, 0, 4), mo = Digits(t, 5, 2), d = Digits(t, 8, 2);
    const int h = Digits(t, 11, 2), mi = Digits(t, 14, 2), s = Digits(t, 17, 2);
    const int oh = Digits(t, 20, 2), om = Digits(t, 23, 2);
    if (y < 0 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
        s > 59 || oh < 0 || oh > 14 || om < 0 || om > 59)
        return std::nullopt;
    if (d > DaysInMonth(y, mo)) return std::nullopt;
    const std::int64_t offset = (t[19] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - offset;
}

int ParseReadings(std::string_view bytes, std::int64_t from, std::int64_t to, THistoryData& data) {
    const QByteArray header = ReadingsHeader();
    const std::string_view expected(header.constData(),
                                    static_cast<std::size_t>(header.size() - 1));
    const auto& columns = ReadingsColumns();
    int bad = 0;
    bool first = true;
    bool readingsFile = true;
    std::array<float, kQuantityCount> row{};
    ForEachLine(bytes, [&](std::string_view line, bool complete) {
        if (first) {
            first = false;
            readingsFile = complete && line == expected;
            if (readingsFile) return;
        }
        if (!readingsFile || !complete) {
            ++bad;
            return;
        }
        std::size_t comma = line.find(',');
        const auto time = ParseIsoTime(line.substr(0, comma));
        if (!time) {
            ++bad;
            return;
        }
        // Lines outside the span are passed over unread; a clock set back is judged only
        // among the lines kept.
        if (*time < from || *time > to) return;
        if (!data.Times.empty() && *time < data.Times.back()) {
            ++bad;
            return;
        }
        for (const TQuantityInfo* column : columns) {
            if (comma == std::string_view::npos) {
                ++bad;
                return;
            }
            const std::size_t start = comma + 1;
            comma = line.find(',', start);
            const auto value = Field(*column, line.substr(start, comma - start));
            if (!value) {
                ++bad;
                return;
            }
            row[static_cast<std::size_t>(column->Quantity)] = *value;
        }
        if (comma != std::string_view::npos) {
            ++bad;
            return;
        }
        data.Times.push_back(*time);
        for (std::size_t q = 0; q < row.size(); ++q)
            data.Values[q].push_back(row[q]);
    });
    return bad;
}

std::int64_t GapLimitOf(const std::vector<std::int64_t>& times) {
    std::int64_t median = 1;
    if (times.size() > 1) {
        std::vector<std::int64_t> steps(times.size() - 1);
        for (std::size_t i = 1; i < times.size(); ++i)
            steps[i - 1] = times[i] - times[i - 1];
        auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
        std::nth_element(steps.begin(), middle, steps.end());
        median = std::max<std::int64_t>(*middle, 1);
    }
    return 3 * median;
}

std::optional<TEventKind> EventKindOf(const QString& text) {
    // The lines the monitor logs for these, by their start.
    static const std::pair<const char*, TEventKind> kinds[] = {
        {"Alarm on ", TEventKind::AlarmStart},
        {"Alarm stopped on ", TEventKind::AlarmEnd},
        {"No answer from ", TEventKind::Lost},
        {"Command failure", TEventKind::Lost},
        {"The temperature controllers answer again", TEventKind::Back},
        {"The analog module answers again", TEventKind::Back},
    };
    for (const auto& [start, kind] : kinds)
        if (text.startsWith(QLatin1String(start))) return kind;
    return std::nullopt;
}

void ParseEvents(std::string_view bytes, std::int64_t from, std::int64_t to,
                 std::vector<TEventMark>& marks) {
    ForEachLine(bytes, [&](std::string_view line, bool complete) {
        if (!complete || line.size() < kIsoLength + 2 || line.substr(kIsoLength, 2) != "  ") return;
        const auto time = ParseIsoTime(line.substr(0, kIsoLength));
        if (!time || *time < from || *time > to) return;
        const QString text = QString::fromUtf8(
            line.data() + kIsoLength + 2, static_cast<qsizetype>(line.size() - kIsoLength - 2));
        if (const auto kind = EventKindOf(text)) marks.push_back({*time, *kind, text});
    });
}

} // namespace velk
