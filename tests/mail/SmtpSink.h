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

    // `script`: path of smtp_sink.py. Port 0 takes a free one.
    SmtpSink(const QString& script, const QString& host = QStringLiteral("127.0.0.1"),
             int port = 0) {
        sink_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sink_.start(QStringLiteral("/usr/bin/python3"), {script, host, QString::number(port)});
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
        const QJsonObject mail = QJsonDocument::fromJson(ReadLine(ms)).object();
        QStringList to;
        for (const QJsonValue& v : mail.value("rcpt_tos").toArray())
            to << v.toString();
        return {mail.value("mail_from").toString(), to,
                QByteArray::fromBase64(mail.value("data").toString().toLatin1())};
    }

private:
    // Keeps the caller's events flowing: the mail may still have to be sent by them.
    QByteArray ReadLine(int ms) {
        return Eventually([this] { return sink_.canReadLine(); }, ms) ? sink_.readLine()
                                                                      : QByteArray();
    }

    QProcess sink_;
    int port_ = 0;
};

} // namespace velk::test
