// The alarm mail, sent the way the monitor sends it, received by a real SMTP server
// (aiosmtpd on a loopback port): envelope, header lines, body bytes.

#include <gtest/gtest.h>

#include "mail/NMsmtp.h"
#include "tests/TestSupport.h"
#include "tests/mail/SmtpSink.h"

namespace {

TEST(AlarmMailThroughRealServer, ArrivesWithItsEnvelopeHeadersAndBodyIntact) {
    velk::test::SmtpSink sink(QStringLiteral(SMTP_SINK_SCRIPT));
    const int port = sink.Port();
    ASSERT_GT(port, 0) << "the aiosmtpd sink did not start (python3-aiosmtpd?)";
    velk::TNMSMTP smtp;
    EXPECT_EQ(smtp.Host(), "localhost");   // the default, reached through the host look-up
    EXPECT_FALSE(smtp.UserID().isEmpty()); // the machine's name, for HELO
    smtp.SetPort(port);
    smtp.SetTimeOut(10000);
    smtp.PostMessage().FromName = QStringLiteral("Velk Monitoring");
    smtp.PostMessage().LocalProgram = QStringLiteral("Velk Monitoring");
    smtp.PostMessage().Subject = QStringLiteral("Alarm");
    const QString address = QStringLiteral("cryo-lab@example.org");

    // Two alarms through one client; the second one's degree sign must arrive byte for byte,
    // under a charset and a transfer encoding that say what the bytes are.
    const struct {
        QStringList body;
        const char* charset; // and what follows it in the header
        const char* bytes;
    } mails[] = {
        {{"Alarm at 06/12/2026 10:00:00", ".", "..x"},
         "us-ascii",
         "Alarm at 06/12/2026 10:00:00\r\n.\r\n..x\r\n"},
        {{"End of alarm on cold finger  (-180.1 °C)"},
         "utf-8\r\nContent-Transfer-Encoding: 8bit",
         "End of alarm on cold finger  (-180.1 \xC2\xB0"
         "C)\r\n"},
    };
    for (const auto& m : mails) {
        smtp.Connect();
        smtp.PostMessage().ToAddress = {address};
        smtp.PostMessage().ReplyTo = smtp.PostMessage().FromAddress = address;
        smtp.PostMessage().Body = m.body;
        smtp.SendMail();
        smtp.Disconnect();
        EXPECT_TRUE(smtp.PostMessage().ToAddress.isEmpty()); // cleared after the mail
        EXPECT_FALSE(smtp.Connected());

        const velk::test::SmtpSink::Mail mail = sink.Next();
        EXPECT_EQ(mail.From, address);
        EXPECT_EQ(mail.To, QStringList{address});
        EXPECT_EQ(mail.Data, QByteArray("From: Velk Monitoring<cryo-lab@example.org>\r\n"
                                        "To: cryo-lab@example.org\r\n"
                                        "Subject: Alarm\r\n"
                                        "X-Mailer: Velk Monitoring\r\n"
                                        "Reply-To: cryo-lab@example.org\r\n"
                                        "Mime-Version: 1.0\r\n"
                                        "Content-Type: text/plain; charset=") +
                                 m.charset + "\r\n\r\n\r\n" + m.bytes);
    }
}

} // namespace
