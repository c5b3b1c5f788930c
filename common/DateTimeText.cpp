#include "common/DateTimeText.h"

#include <QLocale>

namespace velk {

QString DateTimeText(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           when.time().toString(QStringLiteral("hh:mm:ss"));
}

QString NowText() {
    return DateTimeText(QDateTime::currentDateTime());
}

QString IsoDateTimeText(const QDateTime& when) {
    const int offset = when.offsetFromUtc() / 60; // minutes
    const int magnitude = offset < 0 ? -offset : offset;
    return when.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
               .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

} // namespace velk
