#include "common/DateTimeText.h"

#include <QLocale>

namespace velk {

QString DateTimeText(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           when.time().toString(QStringLiteral("hh:mm:ss"));
}

QString NowText() { return DateTimeText(QDateTime::currentDateTime()); }

} // namespace velk
