#pragma once
// Alarm mail muted by the operator for a while, for planned work that would otherwise mail an
// alarm and its reminders all afternoon. Alarms still start, end and are logged; only their
// mail waits. The mute is its end time, kept in the settings so that a restart keeps it.

#include <QDateTime>
#include <QString>

namespace velk {

inline constexpr int kMaxMuteHours = 72;
inline constexpr const char* kMailResumedLine = "Alarm mail resumed";

// "Alarm mail muted until <date-time>", and " by the operator" when he has just chosen it.
QString MailMutedLine(const QDateTime& until, bool byOperator);

// The whole hours left until `end`, rounded up, as a dialog offers them: 0 for none or passed.
int HoursLeft(const QDateTime& end, const QDateTime& now);
// The moment `hours` after `now`; none for 0.
QDateTime HoursAfter(const QDateTime& now, int hours);

// True once, when the end time has come: the mute is then cleared and mail resumes.
bool MailMuteEnded(QDateTime& until, const QDateTime& now);

} // namespace velk
