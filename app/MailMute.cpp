#include "app/MailMute.h"

#include "common/DateTimeText.h"

namespace velk {

namespace {
constexpr qint64 kHour = 3600; // s
}

QString MailMutedLine(const QDateTime& until, bool byOperator) {
    return QStringLiteral("Alarm mail muted until ") + DateTimeText(until) +
           (byOperator ? QStringLiteral(" by the operator") : QString());
}

int HoursLeft(const QDateTime& end, const QDateTime& now) {
    if (!end.isValid() || end <= now) return 0;
    return static_cast<int>((now.secsTo(end) + kHour - 1) / kHour);
}

QDateTime HoursAfter(const QDateTime& now, int hours) {
    return hours > 0 ? now.addSecs(hours * kHour) : QDateTime();
}

bool MailMuteEnded(QDateTime& until, const QDateTime& now) {
    if (!until.isValid() || now < until) return false;
    until = QDateTime();
    return true;
}

} // namespace velk
