// The alarm mail, sent the way the monitor sends it, received by a real SMTP server
// (aiosmtpd on a loopback port): envelope, header lines, body bytes; and secure submission
// with TLS, certificates of a test authority and a login.

#include <chrono>

#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "mail/MailText.h"
#include "mail/NMsmtp.h"
#include "mail/PasswordFile.h"
#include "tests/TestSupport.h"
#include "tests/mail/SmtpSink.h"

namespace {

using velk::TMailSecurity;

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

namespace {

// Two certificate authorities and, signed by the first, certificates for "localhost" and for
// another host; made once with openssl.
class SecureSubmission : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        QProcess openssl;
        openssl.setWorkingDirectory(dir_->path());
        openssl.setProcessChannelMode(QProcess::ForwardedChannels);
        openssl.start(QStringLiteral("/bin/sh"), {QStringLiteral("-ec"), QStringLiteral(R"(
key='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes'
ca() { openssl req -x509 $key -days 2 -subj "/CN=$1" -keyout $1.key -out $1.pem 2>/dev/null; }
server() {
  openssl req -new $key -subj "/CN=$1" -keyout $1.key -out $1.csr 2>/dev/null
  echo "subjectAltName=DNS:$1" > $1.ext
  openssl x509 -req -in $1.csr -CA $2.pem -CAkey $2.key -CAcreateserial -days 2 \
    -extfile $1.ext -out $1.pem 2>/dev/null
}
ca lab-ca; ca other-ca; server localhost lab-ca; server mail.other.example lab-ca
)")});
        ASSERT_TRUE(openssl.waitForFinished(60000) && openssl.exitCode() == 0)
            << "openssl could not make the test certificates";
    }
    static void TearDownTestSuite() { delete dir_; }
    static QString File(const char* name) { return dir_->filePath(QString::fromLatin1(name)); }

    static inline QTemporaryDir* dir_ = nullptr;
};

// Each server of aiosmtpd, with the client's settings: a mail delivered to the recipients
// the server takes, or the reason in the failure with only the commands listed sent.
TEST_F(SecureSubmission, DeliversOverVerifiedTlsWithALoginAndNeverFallsBackToPlainText) {
    const QString lab = File("lab-ca.pem");
    const QStringList starttls{
        "--starttls", File("localhost.pem"), File("localhost.key"), "--auth", "night", "s3cret"};
    const struct {
        const char* name;
        QStringList sink;
        TMailSecurity security;
        QString user, password, caFile;
        QString addresses = QStringLiteral("ops@lab.example");
        QString failure{};  // empty: delivered
        QStringList sent{}; // the commands the server read, when they matter
        QStringList to{QStringLiteral("ops@lab.example")};
    } cases[] = {
        {"STARTTLS and AUTH PLAIN", starttls, TMailSecurity::StartTls, "night", "s3cret", lab},
        {"TLS from the first byte and AUTH LOGIN",
         {"--tls", File("localhost.pem"), File("localhost.key"), "--auth", "night", "s3cret",
          "--only-login"},
         TMailSecurity::Tls,
         "night",
         "s3cret",
         lab},
        {"a wrong password",
         starttls,
         TMailSecurity::StartTls,
         "night",
         "guess",
         lab,
         {},
         "535 5.7.8 Authentication credentials invalid"},
        {"a certificate of an authority the system does not know",
         starttls,
         TMailSecurity::StartTls,
         "night",
         "s3cret",
         "",
         {},
         "certificate verify failed: unable to get local issuer certificate"},
        {"a certificate of another authority than the CA file's",
         starttls,
         TMailSecurity::StartTls,
         "night",
         "s3cret",
         File("other-ca.pem"),
         {},
         "certificate verify failed: unable to get local issuer certificate"},
        {"a certificate for another host",
         {"--starttls", File("mail.other.example.pem"), File("mail.other.example.key")},
         TMailSecurity::StartTls,
         "",
         "",
         lab,
         {},
         "certificate verify failed: hostname mismatch"},
        {"a server without STARTTLS",
         {},
         TMailSecurity::StartTls,
         "night",
         "s3cret",
         lab,
         {},
         "the server offers no STARTTLS",
         {"EHLO", "QUIT"}},
        {"a login without TLS",
         {},
         TMailSecurity::None,
         "night",
         "s3cret",
         "",
         {},
         "A login needs TLS: set the security to STARTTLS or TLS",
         {"EHLO", "QUIT"}},
        {"two recipients, one refused", starttls, TMailSecurity::StartTls, "night", "s3cret", lab,
         "refused@lab.example; ops@lab.example"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        velk::test::SmtpSink sink(QStringLiteral(SMTP_SINK_SCRIPT), QStringLiteral("127.0.0.1"), 0,
                                  c.sink);
        ASSERT_GT(sink.Port(), 0);
        velk::TNMSMTP smtp;
        smtp.SetSubmission({sink.Port(), c.security, c.user, c.caFile});
        smtp.SetPassword(c.password);
        smtp.SetTimeOut(10000);
        QString failure;
        try {
            smtp.Connect();
            velk::AddressMessage(smtp.PostMessage(), c.addresses);
            smtp.PostMessage().Body = {QStringLiteral("Alarm at 06/12/2026 10:00:00")};
            smtp.SendMail();
            smtp.Disconnect();
        } catch (const velk::Exception& e) {
            failure = e.Message();
        }
        EXPECT_EQ(failure, c.failure);
        EXPECT_FALSE(smtp.Connected());
        if (!c.sent.isEmpty()) {
            EXPECT_EQ(sink.CommandsUntilQuit(), c.sent);
        }
        if (c.failure.isEmpty()) {
            EXPECT_EQ(sink.Next().To, c.to);
        }
    }
}

// A server that takes the connection and never answers the TLS greeting: the handshake gives
// up like a read, within the time-out.
TEST_F(SecureSubmission, AStalledHandshakeGivesUpWithinTheTimeOut) {
    QTcpServer silent; // the kernel accepts the connection; nobody reads or answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    velk::TNMSMTP smtp;
    smtp.SetHost(QStringLiteral("127.0.0.1"));
    smtp.SetSubmission({silent.serverPort(), TMailSecurity::Tls, {}, {}});
    smtp.SetTimeOut(1000);
    const auto start = std::chrono::steady_clock::now();
    try {
        smtp.Connect();
        ADD_FAILURE() << "connected";
    } catch (const velk::Exception& e) {
        EXPECT_EQ(e.Message(), "TLS handshake aborted");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 8.0);
}

// The password file is written for its owner alone, and one that others may read or write is
// refused with the fix, never with what it holds.
TEST_F(SecureSubmission, APasswordFileOthersCanReadIsRefused) {
    const QString path = File("smtp-password");
    velk::WritePasswordFile(path, QStringLiteral("s3cret"));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(velk::ReadPasswordFile(path), "s3cret");
    for (const mode_t mode : {0640, 0604, 0620}) {
        ::chmod(QFile::encodeName(path).constData(), mode);
        QString failure;
        try {
            velk::ReadPasswordFile(path);
        } catch (const velk::Exception& e) {
            failure = e.Message();
        }
        EXPECT_TRUE(failure.startsWith(
            QStringLiteral("Permissions 0%1 for the SMTP password file ").arg(mode, 0, 8)))
            << failure.toStdString();
        EXPECT_TRUE(failure.endsWith(QStringLiteral("(chmod 600 ") + path + ")"));
        EXPECT_FALSE(failure.contains(QStringLiteral("s3cret")));
    }
}

} // namespace
