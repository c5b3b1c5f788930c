#pragma once
// The alarm mail: one notification per alarm start or end, mailed through the SMTP client
// set up as the main window's and written to the log.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "mail/NMsmtp.h"

namespace velk {

struct TAlarmMailSettings {
    bool Send = false; // SendAnEmailOnAlarm
    QString Server;    // SMTPServer
    QString Address;   // EMailAddress: recipients; the first is the sender and reply address
    TMailSubmission Submission{};
    QString Password{}; // typed in the dialog; empty: the one in MailPasswordPath()
};

// The SMTP password's own file, beside the settings file.
QString MailPasswordPath();

// "Unable to send an Email:" and the reason, as a failed mail is logged and reported.
QString UnableToSendText(const QString& reason);

// "Alarm at <date-time>" for a start, "Alarm stopped at <date-time>" for an end.
QString AlarmHeaderLine(bool start, const QDateTime& when);
// "Reminder at <date-time>, alarm since <date-time the alarm started>".
QString ReminderHeaderLine(const QDateTime& when, const QDateTime& since);

// 2000 ms per wait, sender name and program "Velk Monitoring", subject "Alarm", plain
// text declared utf-8 (the messages carry "°C").
void SetUpAlarmClient(TNMSMTP& smtp);

// Mails "Test mail" and the date-time to `settings.Address` through `settings.Server` (whether
// or not mail is switched on) with a client of its own, so an alarm mail in progress is left
// alone. Window events are processed while it waits. Returns the reason of a failure, none
// when the server took the mail.
std::optional<QString> SendTestMail(const TAlarmMailSettings& settings);

class TAlarmNotifier {
public:
    using TLog = std::function<void(const QString& line)>;

    // The client is set up by SetUpAlarmClient.
    explicit TAlarmNotifier(TLog log);

    TNMSMTP& NMSMTP() { return smtp_; }
    // Alarm mails the server took, and those that failed, since the start.
    std::uint64_t MailsSent() const { return sent_; }
    std::uint64_t MailsFailed() const { return failed_; }

    // Mails the header line and `message` when the settings ask for mail, then logs
    // "Unable to send an Email:" with the reason if the mail failed, the header line and
    // `message`. A failed mail's connection is closed, so the next one starts afresh. The
    // client processes window events while it waits: a notification made meanwhile waits
    // for this one and follows it, in order.
    void Notify(bool start, const QString& message, const TAlarmMailSettings& settings);
    // The same with a header line of the caller's (a reminder's).
    void Notify(const QString& header, const QString& message, const TAlarmMailSettings& settings);

private:
    struct TPending {
        QString Header;
        QString Message;
        TAlarmMailSettings Settings;
    };

    // The log lines of one notification.
    QStringList Send(const TPending& pending);

    TLog log_;
    TNMSMTP smtp_;
    std::deque<TPending> pending_;
    bool sending_ = false;
    std::uint64_t sent_ = 0;
    std::uint64_t failed_ = 0;
};

} // namespace velk
