#include "app/AlarmMail.h"

#include "common/DateTimeText.h"

namespace velk {

namespace {
const char* const kMonitorName = "Velk Monitoring";
constexpr int kMailPort = 25;
constexpr int kMailTimeOut = 2000; // ms per wait
} // namespace

QString AlarmHeaderLine(bool start, const QDateTime& when) {
    return QString::fromLatin1(start ? "Alarm at " : "Alarm stopped at ") + DateTimeText(when);
}

TAlarmNotifier::TAlarmNotifier(TLog log) : log_(std::move(log)) {
    smtp_.SetPort(kMailPort);
    smtp_.SetTimeOut(kMailTimeOut);
    smtp_.SetReportLevel(0);
    smtp_.PostMessage().FromName = QString::fromLatin1(kMonitorName);
    smtp_.PostMessage().Subject = QStringLiteral("Alarm");
    smtp_.PostMessage().LocalProgram = QString::fromLatin1(kMonitorName);
    smtp_.SetEncodeType(UUMethods::uuMime);
    smtp_.SetClearParams(true);
    smtp_.SetSubType(TSubType::mtPlain);
    smtp_.SetCharset(QStringLiteral("utf-8"));
}

void TAlarmNotifier::Notify(bool start, const QString& message,
                            const TAlarmMailSettings& settings) {
    pending_.push_back({AlarmHeaderLine(start, QDateTime::currentDateTime()), message, settings});
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
        try {
            smtp_.SetHost(p.Settings.Server);
            smtp_.Connect();
            TPostMessage& mail = smtp_.PostMessage();
            mail.ToAddress = {p.Settings.Address};
            mail.ReplyTo = p.Settings.Address;
            mail.FromAddress = p.Settings.Address;
            mail.Body = {p.Header, p.Message};
            smtp_.SendMail();
            smtp_.Disconnect();
        } catch (const std::exception& e) {
            lines << QStringLiteral("Unable to send an Email:") + QString::fromUtf8(e.what());
            // Closed (quietly) whatever the failure left, or every later mail would fail
            // with "Already connected".
            try {
                smtp_.Disconnect();
            } catch (const std::exception&) {
            }
        }
    }
    lines << p.Header << p.Message;
    return lines;
}

} // namespace velk
