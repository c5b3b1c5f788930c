#include "app/AlarmMail.h"

#include <QFileInfo>
#include <QHostInfo>

#include "app/IniStore.h"

#include "common/DateTimeText.h"
#include "mail/MailText.h"
#include "mail/PasswordFile.h"

namespace velk {

namespace {
const char* const kMonitorName = "Velk Monitoring";
constexpr int kMailTimeOut = 2000; // ms per wait
} // namespace

QString MailPasswordPath() {
    return QFileInfo(DefaultSettingsPath()).absolutePath() +
           QStringLiteral("/velk-monitor-smtp-password");
}

QString UnableToSendText(const QString& reason) {
    return QStringLiteral("Unable to send an Email:") + reason;
}

QString AlarmHeaderLine(bool start, const QDateTime& when) {
    return QString::fromLatin1(start ? "Alarm at " : "Alarm stopped at ") + DateTimeText(when);
}

QString ReminderHeaderLine(const QDateTime& when, const QDateTime& since) {
    return QStringLiteral("Reminder at ") + DateTimeText(when) + QStringLiteral(", alarm since ") +
           DateTimeText(since);
}

void SetUpAlarmClient(TNMSMTP& smtp) {
    smtp.SetTimeOut(kMailTimeOut);
    smtp.SetReportLevel(0);
    smtp.PostMessage().FromName = QString::fromLatin1(kMonitorName);
    smtp.PostMessage().Subject = QStringLiteral("Alarm");
    smtp.PostMessage().LocalProgram = QString::fromLatin1(kMonitorName);
    smtp.SetEncodeType(UUMethods::uuMime);
    smtp.SetClearParams(true);
    smtp.SetSubType(TSubType::mtPlain);
    smtp.SetCharset(QStringLiteral("utf-8"));
}

namespace {

// One mail of two lines from the address to itself; a failed mail's connection is closed
// (quietly) whatever the failure left, or the next mail would fail with "Already connected".
std::optional<QString> Mail(TNMSMTP& smtp, const TAlarmMailSettings& settings,
                            const QStringList& body) {
    try {
        smtp.SetHost(settings.Server);
        smtp.SetSubmission(settings.Submission);
        // Read at every mail: a file fixed after a failure serves the next alarm.
        if (!settings.Submission.UserName.isEmpty())
            smtp.SetPassword(settings.Password.isEmpty() ? ReadPasswordFile(MailPasswordPath())
                                                         : settings.Password);
        smtp.Connect();
        TPostMessage& mail = smtp.PostMessage();
        AddressMessage(mail, settings.Address);
        mail.Body = body;
        // Strict servers refuse or file as spam a mail without either.
        mail.Date = MailDateText(QDateTime::currentDateTime());
        mail.MessageID = NewMessageID(QHostInfo::localHostName());
        smtp.SendMail();
        smtp.Disconnect();
        return std::nullopt;
    } catch (const std::exception& e) {
        try {
            smtp.Disconnect();
        } catch (const std::exception&) {
        }
        return QString::fromUtf8(e.what());
    }
}

} // namespace

std::optional<QString> SendTestMail(const TAlarmMailSettings& settings) {
    TNMSMTP smtp;
    SetUpAlarmClient(smtp);
    return Mail(smtp, settings,
                {QStringLiteral("Test mail"), DateTimeText(QDateTime::currentDateTime())});
}

TAlarmNotifier::TAlarmNotifier(TLog log) : log_(std::move(log)) {
    SetUpAlarmClient(smtp_);
}

void TAlarmNotifier::Notify(bool start, const QString& message,
                            const TAlarmMailSettings& settings) {
    Notify(AlarmHeaderLine(start, QDateTime::currentDateTime()), message, settings);
}

void TAlarmNotifier::Notify(const QString& header, const QString& message,
                            const TAlarmMailSettings& settings) {
    pending_.push_back({header, message, settings});
    if (sending_) return; // the notification in progress sends this one after it
    sending_ = true;
    while (!pending_.empty()) {
        const TPending next = pending_.front();
        pending_.pop_front();
        for (const QString& line : Send(next))
            log_(line);
    }
    sending_ = false;
}

QStringList TAlarmNotifier::Send(const TPending& p) {
    QStringList lines;
    if (p.Settings.Send) {
        const std::optional<QString> failure = Mail(smtp_, p.Settings, {p.Header, p.Message});
        ++(failure ? failed_ : sent_);
        if (failure) lines << UnableToSendText(*failure);
    }
    lines << p.Header << p.Message;
    return lines;
}

} // namespace velk
