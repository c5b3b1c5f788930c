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

int MuteHoursLeft(const QDateTime& until, const QDateTime& now) {
    if (!until.isValid() || until <= now) return 0;
    return static_cast<int>((now.secsTo(until) + kHour - 1) / kHour);
}

std::optional<QString> ChangeMailMute(QDateTime& until, int hours, const QDateTime& now) {
    if (hours > 0) {
        until = now.addSecs(hours * kHour);
        return MailMutedLine(until, true);
    }
    if (!until.isValid()) return std::nullopt;
    until = QDateTime();
    return QString::fromLatin1(kMailResumedLine);
}

bool MailMuteEnded(QDateTime& until, const QDateTime& now) {
    if (!until.isValid() || now < until) return false;
    until = QDateTime();
    return true;
}

} // namespace velk
