// The alarm mail, sent the way the monitor sends it, received by a real SMTP server
// (aiosmtpd on a loopback port): envelope, header lines, body bytes.

#include <chrono>
#include <optional>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include "mail/NMsmtp.h"
#include "tests/TestSupport.h"

using namespace std::chrono_literals;

namespace {

struct ReceivedMail {
    QString mailFrom;
    QStringList recipients;
    QByteArray data;
};

// The Python sink, started for one test and always stopped with it.
class SmtpSink {
public:
    SmtpSink() {
        const QString python = QStringLiteral("/usr/bin/python3");
        if (!QFile::exists(python)) {
            problem_ = "Debian's python3 is not installed";
            return;
        }
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(python, {QStringLiteral(SMTP_SINK_SCRIPT)});
        const std::optional<QByteArray> first = ReadLine(20s);
        bool ok = false;
        if (first) port_ = first->trimmed().toInt(&ok);
        if (!ok || port_ <= 0) problem_ = "the aiosmtpd sink did not report its port";
    }

    ~SmtpSink() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.closeWriteChannel(); // the sink ends when its input closes
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    const char* Problem() const { return problem_; }
    int Port() const { return port_; }

    std::optional<ReceivedMail> NextMail(std::chrono::milliseconds limit) {
        const std::optional<QByteArray> line = ReadLine(limit);
        if (!line) return std::nullopt;
        const QJsonObject json = QJsonDocument::fromJson(*line).object();
        ReceivedMail mail;
        mail.mailFrom = json.value("mail_from").toString();
        for (const QJsonValue& r : json.value("rcpt_tos").toArray())
            mail.recipients.append(r.toString());
        mail.data = QByteArray::fromBase64(json.value("data").toString().toLatin1());
        return mail;
    }

private:
    std::optional<QByteArray> ReadLine(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!process_.canReadLine()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left <= 0ms || process_.state() == QProcess::NotRunning) return std::nullopt;
            process_.waitForReadyRead(static_cast<int>(left.count()));
        }
        return process_.readLine();
    }

    QProcess process_;
    const char* problem_ = nullptr;
    int port_ = 0;
};

// One alarm mail exactly as the monitor sends it: connect, address, body, send, disconnect.
void SendAlarmMail(velk::TNMSMTP& smtp, const QString& address, const QStringList& body) {
    smtp.Connect();
    smtp.PostMessage().ToAddress.clear();
    smtp.PostMessage().ToAddress.append(address);
    smtp.PostMessage().ReplyTo = address;
    smtp.PostMessage().FromAddress = address;
    smtp.PostMessage().Body = body;
    smtp.SendMail();
    smtp.Disconnect();
}

QList<QByteArray> Lines(const QByteArray& data) {
    return data.split('\n');
}

TEST(AlarmMailThroughRealServer, ArrivesWithItsEnvelopeHeadersAndBodyIntact) {
    SmtpSink sink;
    if (sink.Problem()) GTEST_FAIL() << sink.Problem();

    velk::TNMSMTP smtp;
    smtp.SetHost(QStringLiteral("localhost")); // through the host look-up
    smtp.SetPort(sink.Port());
    smtp.SetTimeOut(10000);
    smtp.PostMessage().FromName = QStringLiteral("Velk Monitoring");
    smtp.PostMessage().Subject = QStringLiteral("Alarm");
    smtp.PostMessage().LocalProgram = QStringLiteral("Velk Monitoring");
    EXPECT_FALSE(smtp.UserID().isEmpty()); // the machine's name for HELO

    const QString address = QStringLiteral("cryo-lab@example.org");
    SendAlarmMail(smtp, address,
                  {QStringLiteral("Alarm at 06/12/2026 10:00:00"),
                   QStringLiteral("Alarm on vacuum  (2.5E-5mb)"), QStringLiteral("."),
                   QStringLiteral("..x")});
    std::optional<ReceivedMail> mail = sink.NextMail(20s);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->mailFrom, address);
    EXPECT_EQ(mail->recipients, QStringList{address});
    EXPECT_EQ(mail->data, QByteArray("From: Velk Monitoring<cryo-lab@example.org>\r\n"
                                     "To: cryo-lab@example.org\r\n"
                                     "Subject: Alarm\r\n"
                                     "X-Mailer: Velk Monitoring\r\n"
                                     "Reply-To: cryo-lab@example.org\r\n"
                                     "Mime-Version: 1.0\r\n"
                                     "Content-Type: text/plain; charset=us-ascii\r\n"
                                     "\r\n"
                                     "\r\n"
                                     "Alarm at 06/12/2026 10:00:00\r\n"
                                     "Alarm on vacuum  (2.5E-5mb)\r\n"
                                     ".\r\n"
                                     "..x\r\n"));
    EXPECT_TRUE(smtp.PostMessage().ToAddress.isEmpty()); // cleared after the mail
    EXPECT_EQ(smtp.PostMessage().Body.size(), 4);        // the body is not
    EXPECT_FALSE(smtp.Connected());

    // The next alarm reuses the same client; its degree sign must arrive byte for byte,
    // under a charset that says what the bytes are.
    SendAlarmMail(smtp, address,
                  {QStringLiteral("Alarm stopped at 06/12/2026 10:05:00"),
                   QStringLiteral("End of alarm on cold finger  (-180.1 °C)")});
    mail = sink.NextMail(20s);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->recipients, QStringList{address});
    const QList<QByteArray> lines = Lines(mail->data);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[6], "Content-Type: text/plain; charset=utf-8\r");
    EXPECT_EQ(lines[10], "End of alarm on cold finger  (-180.1 \xC2\xB0"
                         "C)\r");
    EXPECT_FALSE(mail->data.contains("Date:"));
}

TEST(AlarmMailThroughRealServer, MailWithoutAnyAcceptedRecipientIsReportedAsFailed) {
    SmtpSink sink;
    if (sink.Problem()) GTEST_FAIL() << sink.Problem();
    velk::TNMSMTP smtp;
    smtp.SetHost(QStringLiteral("127.0.0.1"));
    smtp.SetPort(sink.Port());
    smtp.SetTimeOut(10000);
    smtp.Connect();
    smtp.PostMessage().FromAddress = QStringLiteral("lab@example.org");
    // The only recipient is refused at RCPT; DATA then fails for want of recipients.
    smtp.PostMessage().ToAddress = {QStringLiteral("Nobody <nobody@refused.example>")};
    try {
        smtp.SendMail();
        FAIL() << "a mail without recipients was reported sent";
    } catch (const velk::Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("503") || e.Message().startsWith("554"))
            << e.Message().toStdString();
    }
    smtp.Disconnect();
    EXPECT_FALSE(sink.NextMail(500ms));
}

} // namespace
