#pragma once
// Date-time text of log lines and mail bodies: the locale's short date, a blank, hh:mm:ss.

#include <QDateTime>
#include <QString>

namespace velk {

QString DateTimeText(const QDateTime& when);
QString NowText();

} // namespace velk
