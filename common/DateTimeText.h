#pragma once
// Date-time texts: the one shown in log lines and mail bodies, and the one kept in files.

#include <QDateTime>
#include <QString>

namespace velk {

// The locale's short date, a blank, hh:mm:ss.
QString DateTimeText(const QDateTime& when);
QString NowText();
// ISO 8601 with the offset from UTC, to the second: "2024-05-01T14:03:07+02:00". Files name
// the offset so that their times stay unambiguous across a change of summer time.
QString IsoDateTimeText(const QDateTime& when);

} // namespace velk
