#pragma once
// A real SMTP server for the tests: Debian's aiosmtpd (tests/mail/smtp_sink.py) on a loopback
// address, handing over every mail it receives.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include "tests/TestSupport.h"

namespace velk::test {

class SmtpSink {
public:
    struct Mail {
        QString From;
        QStringList To;
        QByteArray Data; // header lines, blank line, body, as received
    };

    // `script`: path of smtp_sink.py. Port 0 takes a free one. `options`: TLS, login (see the
    // script).
    SmtpSink(const QString& script, const QString& host = QStringLiteral("127.0.0.1"), int port = 0,
             const QStringList& options = {}) {
        sink_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sink_.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{script, host, QString::number(port)} + options);
        port_ = ReadLine(20000).trimmed().toInt();
    }
    // The sink ends when its standard input closes.
    ~SmtpSink() {
        sink_.closeWriteChannel();
        if (!sink_.waitForFinished(5000)) sink_.kill();
    }
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    // 0 when the sink did not start (python3-aiosmtpd missing, address taken).
    int Port() const { return port_; }

    // The next mail received within `ms`; an empty Data when none came.
    Mail Next(int ms = 20000) {
        const QJsonObject mail = ReadMessage(ms);
        QStringList to;
        for (const QJsonValue& v : mail.value("rcpt_tos").toArray())
            to << v.toString();
        return {mail.value("mail_from").toString(), to,
                QByteArray::fromBase64(mail.value("data").toString().toLatin1())};
    }

    // The verbs of the commands the server has read, up to the client's QUIT (within `ms`).
    QStringList CommandsUntilQuit(int ms = 20000) {
        const QDeadlineTimer deadline(ms);
        while (!commands_.contains(QStringLiteral("QUIT")) && !deadline.hasExpired())
            if (const QByteArray line = ReadLine(int(deadline.remainingTime())); !line.isEmpty())
                messages_.push_back(line);
        return commands_;
    }

private:
    // The next line that is not a command's (those are kept in commands_).
    QJsonObject ReadMessage(int ms) {
        const QDeadlineTimer deadline(ms);
        for (;;) {
            QByteArray line;
            if (!messages_.isEmpty()) {
                line = messages_.takeFirst();
            } else {
                line = ReadLine(int(deadline.remainingTime()));
                if (line.isEmpty()) return {};
            }
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            if (!record.contains("command")) return record;
        }
    }

    // Keeps the caller's events flowing: the mail may still have to be sent by them.
    QByteArray ReadLine(int ms) {
        if (!Eventually([this] { return sink_.canReadLine(); }, ms)) return {};
        const QByteArray line = sink_.readLine();
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.contains("command")) commands_ << record.value("command").toString();
        return line;
    }

    QProcess sink_;
    int port_ = 0;
    QStringList commands_;
    QByteArrayList messages_; // read while looking for commands
};

} // namespace velk::test
