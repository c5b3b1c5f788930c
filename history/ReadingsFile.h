#pragma once
// The daily history files as the monitor writes them and the history window reads them:
// their names, the readings file's columns and header line, and the readers that turn their
// bytes into a plain column store. Nothing here needs a window, so tests and the fuzzer call
// the readers directly.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QDate>
#include <QString>

#include "devices/Quantities.h"

namespace velk {

// The readings file's columns after the time, in the order of the window.
const std::array<const TQuantityInfo*, kQuantityCount>& ReadingsColumns();
// "time,temp1,power,...\n".
QByteArray ReadingsHeader();
QString ReadingsFileName(const QDate& day); // readings-YYYY-MM-DD.csv
QString EventsFileName(const QDate& day);   // events-YYYY-MM-DD.log

// Readings of a span, one row per tick, in columns.
struct THistoryData {
    std::vector<std::int64_t> Times; // seconds since the epoch, never falling
    // By TQuantity; NaN where the tick has no value. Floats: every value the files hold has
    // at most five significant digits, and a month of ten quantities stays at 12 MB.
    std::array<std::vector<float>, kQuantityCount> Values;
    // A step between two readings longer than this is an outage, which breaks the curves.
    std::int64_t GapLimit = 30;

    std::size_t Size() const { return Times.size(); }
};

// Row i of `data` as a line of a readings file, as the monitor writes it (its end included):
// local time with its offset, and the window's texts with "." as decimal point.
QByteArray ReadingsLine(const THistoryData& data, std::size_t i);

// "2026-11-02T14:03:07+01:00" (exactly so, as the monitor writes it) in seconds since the
// epoch; nothing for any other text.
std::optional<std::int64_t> ParseIsoTime(std::string_view text);

// Appends the readings of one readings file whose times lie in [from, to] to `data` and
// returns the number of lines that could not be read: a cut line (also a last line without
// its end), a wrong number of fields, a field that is not what its column holds, a time
// before the last one kept (a clock set back). Every line of a file whose first line is not
// the header counts so. Such lines are skipped, never guessed at.
int ParseReadings(std::string_view bytes, std::int64_t from, std::int64_t to, THistoryData& data);

// Three typical steps between readings (the median step), at least 3 s.
std::int64_t GapLimitOf(const std::vector<std::int64_t>& times);

enum class TEventKind { AlarmStart, AlarmEnd, Lost, Back };
struct TEventMark {
    std::int64_t Time;
    TEventKind Kind;
    QString Text;
};
// The kind of mark an event-log line's text makes on the time axis, or nothing for a line
// that is not an alarm start or end or a connection loss or return.
std::optional<TEventKind> EventKindOf(const QString& text);
// Appends the marks of one event log whose times lie in [from, to]; other lines are skipped.
void ParseEvents(std::string_view bytes, std::int64_t from, std::int64_t to,
                 std::vector<TEventMark>& marks);

} // namespace velk
