#pragma once
// Alarm mail muted by the operator for a while, for planned work that would otherwise mail an
// alarm and its reminders all afternoon. Alarms still start, end and are logged; only their
// mail waits. The mute is its end time, kept in the settings so that a restart keeps it.

#include <optional>

#include <QDateTime>
#include <QString>

namespace velk {

inline constexpr int kMaxMuteHours = 72;
inline constexpr const char* kMailResumedLine = "Alarm mail resumed";

// "Alarm mail muted until <date-time>", and " by the operator" when he has just chosen it.
QString MailMutedLine(const QDateTime& until, bool byOperator);

// The whole hours left, rounded up, as the dialog offers them: 0 when not muted.
int MuteHoursLeft(const QDateTime& until, const QDateTime& now);

// The operator's choice: mute for `hours` from `now`, or resume with 0. Returns the log line,
// none when nothing changed (0 while not muted).
std::optional<QString> ChangeMailMute(QDateTime& until, int hours, const QDateTime& now);

// True once, when the end time has come: the mute is then cleared and mail resumes.
bool MailMuteEnded(QDateTime& until, const QDateTime& now);

} // namespace velk
