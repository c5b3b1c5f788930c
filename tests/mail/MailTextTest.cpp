// The SMTP texts without a socket: reply codes, recipient addresses, header lines, body
// stuffing, and the socket error messages.

#include <cerrno>

#include <gtest/gtest.h>

#include "mail/MailText.h"
#include "mail/SocketErrors.h"
#include "tests/TestSupport.h"

namespace {

TEST(MailText, ReplyCodesReadTheLeadingDigitsOnly) {
    const struct {
        const char* line;
        int code;
    } cases[] = {{"250 OK\r\n", 250},
                 {"354-go on\r\n", 354},
                 {"\r\n", 0},
                 {"", 0},
                 {"OK 250\r\n", 0},
                 {"5", 5},
                 {"99999 x\r\n", 32767}, // never wraps into a "success"
                 {"12345678901234\r\n", 32767}};
    for (const auto& c : cases)
        EXPECT_EQ(velk::ReplyCodeOf(c.line), c.code) << c.line;
}

TEST(MailText, RecipientEntriesGiveTheirMailbox) {
    const struct {
        const char* entry;
        const char* address;
    } cases[] = {{"ops@example.org", "ops@example.org"},
                 {"Duty Officer <duty@example.org>", "duty@example.org"},
                 {"<a@b> trailing <c@d>", "a@b"},
                 {"Open <a@b", "a@b"},
                 {"smtp:x@y.org:rest", "x@y.org"},
                 {"smtp:x@y.org", "x@y.org"},
                 {"Name <a@b> smtp:c@d", "a@b"},
                 {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(velk::ExtractAddress(QString::fromLatin1(c.entry)), c.address) << c.entry;
}

TEST(MailText, HeaderLinesComeInOrderWithOptionalOnesLeftOut) {
    velk::TPostMessage m;
    m.FromName = QStringLiteral("Velk Monitoring");
    m.FromAddress = QStringLiteral("lab@example.org");
    m.ToAddress = {QStringLiteral("a@example.org"), QStringLiteral("B <b@example.org>")};
    m.ToBlindCarbonCopy = {QStringLiteral("hidden@example.org")};
    m.Subject = QStringLiteral("Alarm");
    m.LocalProgram = QStringLiteral("Velk Monitoring");
    m.ReplyTo = QStringLiteral("lab@example.org");
    EXPECT_EQ(velk::BuildHeader(m, velk::TSubType::mtPlain, QStringLiteral("us-ascii"), false),
              (QStringList{"From: Velk Monitoring<lab@example.org>",
                           "To: a@example.org,B <b@example.org>", "Subject: Alarm",
                           "X-Mailer: Velk Monitoring", "Reply-To: lab@example.org",
                           "Mime-Version: 1.0", "Content-Type: text/plain; charset=us-ascii"}));

    m.ToAddress.clear();
    m.ToCarbonCopy = {QStringLiteral("c@example.org"), QStringLiteral("d@example.org")};
    m.Subject.clear();
    m.LocalProgram.clear();
    m.ReplyTo.clear();
    m.Date = QStringLiteral("Sun, 6 Dec 2026 10:00:00 +0000");
    EXPECT_EQ(
        velk::BuildHeader(m, velk::TSubType::mtHtml, QStringLiteral("iso-8859-1"), true),
        (QStringList{"From: Velk Monitoring<lab@example.org>", "CC: c@example.org,d@example.org",
                     "Date: Sun, 6 Dec 2026 10:00:00 +0000", "Mime-Version: 1.0",
                     "Content-Type: text/html; charset=iso-8859-1"}));
}

TEST(MailText, EightBitBodyIsNotLabelledUsAscii) {
    velk::TPostMessage m;
    const QStringList header =
        velk::BuildHeader(m, velk::TSubType::mtPlain, QStringLiteral("US-ASCII"), true);
    EXPECT_EQ(header.last(), "Content-Type: text/plain; charset=utf-8");
    EXPECT_TRUE(velk::HasEightBitBytes(QStringLiteral("-150 °C").toUtf8()));
    EXPECT_FALSE(velk::HasEightBitBytes("plain 7-bit text\r\n"));
}

TEST(MailText, HeaderSetByNameReplacesAddsOrRemoves) {
    QStringList header{"From: x<y@z>", "subject: old", "X-Mailer: m"};
    velk::SetHeaderByName(header, QStringLiteral("Subject"), QStringLiteral("new"));
    EXPECT_EQ(header, (QStringList{"From: x<y@z>", "Subject: new", "X-Mailer: m"}));
    velk::SetHeaderByName(header, QStringLiteral("X-MAILER"), QString());
    EXPECT_EQ(header, (QStringList{"From: x<y@z>", "Subject: new"}));
    velk::SetHeaderByName(header, QStringLiteral("Reply-To"), QStringLiteral("a@b"));
    EXPECT_EQ(header.last(), "Reply-To: a@b");
    velk::SetHeaderByName(header, QStringLiteral("Date"), QString());
    EXPECT_EQ(header.size(), 3);
}

TEST(MailText, BodyLinesAreDotStuffedUtf8WithCrLf) {
    EXPECT_EQ(velk::BuildBody({QStringLiteral("Alarm at 06/12/2026 10:00:00"),
                               QStringLiteral("Cold finger  (-150.2 °C)"), QStringLiteral("."),
                               QStringLiteral(".. two"), QStringLiteral(""),
                               QStringLiteral(" .not first")}),
              QByteArray("Alarm at 06/12/2026 10:00:00\r\nCold finger  (-150.2 \xC2\xB0"
                         "C)\r\n..\r\n... two\r\n\r\n .not first\r\n"));
    EXPECT_EQ(velk::BuildBody({QStringLiteral("a\r\n.\nb\rc")}),
              QByteArray("a\r\n..\r\nb\r\nc\r\n"));
    EXPECT_EQ(velk::BuildBody({}), QByteArray());
}

TEST(SocketErrors, MessagesCarryTheNumberAndTheTableText) {
    const struct {
        int number;
        const char* message;
    } cases[] = {{10004, "10004:Interrupted system call"},
                 {10061, "10061:Connection refused"},
                 {10047, "10047:Address family not supported by protocol family"},
                 {11004, "11004:Valid name, no data record of requested type"},
                 {10010, "10010:Unknown Error No. 10010"},
                 {0, "0:Unknown Error No. 0"}}; // 0 is no error: never looked up
    for (const auto& c : cases)
        EXPECT_EQ(velk::SocketErrorMessage(c.number), c.message);
}

TEST(SocketErrors, PlatformErrnoValuesMapToTheTableNumbering) {
    const struct {
        int errnoValue;
        int number;
    } cases[] = {{ECONNREFUSED, 10061}, {ECONNRESET, 10054},  {ETIMEDOUT, 10060},
                 {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051}, {EPIPE, 10058},
                 {ENOTCONN, 10057},     {EADDRINUSE, 10048},  {EWOULDBLOCK, 10035},
                 {EINPROGRESS, 10036}};
    for (const auto& c : cases)
        EXPECT_EQ(velk::SocketErrorFromErrno(c.errnoValue), c.number);
    // Every mapped number has its own text.
    for (const auto& c : cases)
        EXPECT_FALSE(velk::SocketErrorText(c.number).startsWith("Unknown")) << c.number;
}

} // namespace
