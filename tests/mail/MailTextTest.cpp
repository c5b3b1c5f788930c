// The SMTP texts without a socket: reply codes, recipient addresses, header lines, body
// stuffing, and the socket error messages.

#include <cerrno>

#include <gtest/gtest.h>

#include "mail/MailText.h"
#include "mail/ReplyReader.h"
#include "mail/SocketErrors.h"
#include "tests/TestSupport.h"

namespace {

// Only three digits, 2 to 5 first, then a blank, '-' or the line end make a reply code.
TEST(MailText, ReplyCodesReadTheLeadingDigitsAndNeverWrapIntoSuccess) {
    const struct {
        const char* line;
        int code;
        bool hasCode;
    } cases[] = {{"250 OK\r\n", 250, true},
                 {"354-go on\r\n", 354, true},
                 {"250\r\n", 250, true},
                 {"221", 221, true},
                 {"\r\n", 0, false},
                 {"OK 250\r\n", 0, false},
                 {"-ERR unknown command\r\n", 0, false},
                 {"25 ok\r\n", 25, false},
                 {"250OK\r\n", 250, false},
                 {"199 x\r\n", 199, false},
                 {"99999 x\r\n", 32767, false},
                 {"12345678901234\r\n", 32767, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(velk::ReplyCodeOf(c.line), c.code) << c.line;
        EXPECT_EQ(velk::HasReplyCode(c.line), c.hasCode) << c.line;
    }
}

// A line longer than the limit is cut and the rest of it dropped, whether its end arrives with
// it or later.
TEST(MailText, AnOverlongReplyLineIsCutAndItsRestDropped) {
    for (const auto& chunks : {QByteArrayList{"220-0123456789\r\n220 ok\r\n"},
                               QByteArrayList{"220-0123456789", "abc\r\n220 ok\r\n"}}) {
        velk::TReplyReader reader(8);
        QByteArrayList lines;
        for (const QByteArray& chunk : chunks) {
            reader.Append(chunk.constData(), chunk.size());
            while (const std::optional<QByteArray> line = reader.TakeLine())
                lines << *line;
        }
        EXPECT_EQ(lines, (QByteArrayList{"220-0123", "220 ok\r\n"}));
    }
}

TEST(MailText, RecipientEntriesGiveTheirMailbox) {
    const struct {
        const char* entry;
        const char* address;
    } cases[] = {{"ops@example.org", "ops@example.org"}, {"Name <a@b> smtp:c@d", "a@b"},
                 {"<a@b> trailing <c@d>", "a@b"},        {"Open <a@b", "a@b"},
                 {"smtp:x@y.org:rest", "x@y.org"},       {"smtp:x@y.org", "x@y.org"}};
    for (const auto& c : cases)
        EXPECT_EQ(velk::ExtractAddress(QString::fromLatin1(c.entry)), c.address) << c.entry;
}

// Empty fields are left out, blind copies stay hidden; a field set by name replaces one of any
// case, is added, or goes.
TEST(MailText, HeaderLinesInOrderWithFieldsSetByName) {
    velk::TPostMessage m;
    m.FromName = QStringLiteral("Velk Monitoring");
    m.FromAddress = QStringLiteral("lab@example.org");
    m.ToCarbonCopy = {QStringLiteral("c@example.org"), QStringLiteral("D <d@example.org>")};
    m.ToBlindCarbonCopy = {QStringLiteral("hidden@example.org")};
    m.Date = QStringLiteral("Sun, 6 Dec 2026 10:00:00 +0000");
    m.MessageID = QStringLiteral("<1@lab>");
    EXPECT_EQ(velk::BuildHeader(m, velk::TSubType::mtHtml, QStringLiteral("iso-8859-1"), true),
              (QStringList{"From: Velk Monitoring<lab@example.org>",
                           "CC: c@example.org,D <d@example.org>",
                           "Date: Sun, 6 Dec 2026 10:00:00 +0000", "Message-ID: <1@lab>",
                           "Mime-Version: 1.0", "Content-Type: text/html; charset=iso-8859-1",
                           "Content-Transfer-Encoding: 8bit"}));
    QStringList header{"From: x<y@z>", "subject: old", "X-Mailer: m"};
    velk::SetHeaderByName(header, QStringLiteral("Subject"), QStringLiteral("new"));
    velk::SetHeaderByName(header, QStringLiteral("X-MAILER"), QString());
    velk::SetHeaderByName(header, QStringLiteral("Reply-To"), QStringLiteral("a@b"));
    velk::SetHeaderByName(header, QStringLiteral("Date"), QString());
    EXPECT_EQ(header, (QStringList{"From: x<y@z>", "Subject: new", "Reply-To: a@b"}));
}

TEST(MailText, BodyLinesAreDotStuffedAndEmbeddedBreaksCannotEndTheData) {
    EXPECT_EQ(velk::BuildBody({QStringLiteral("a\r\n.\nb\rc"), QStringLiteral(".. two"),
                               QStringLiteral(" .not first"), QStringLiteral("")}),
              QByteArray("a\r\n..\r\nb\r\nc\r\n... two\r\n .not first\r\n\r\n"));
}

TEST(SocketErrors, PlatformErrnoValuesMapToTheTableNumbersAndTexts) {
    const struct {
        int errnoValue;
        const char* message;
    } cases[] = {{ECONNRESET, "10054:Connection reset by peer"},
                 {EHOSTUNREACH, "10065:No route to Host"},
                 {EPIPE, "10058:Can't send after socket shutdown"},
                 {EINTR, "10004:Interrupted system call"}};
    for (const auto& c : cases)
        EXPECT_EQ(velk::SocketErrorMessage(velk::SocketErrorFromErrno(c.errnoValue)), c.message);
    EXPECT_EQ(velk::SocketErrorMessage(11004),
              "11004:Valid name, no data record of requested type");
    EXPECT_EQ(velk::SocketErrorMessage(10010), "10010:Unknown Error No. 10010");
    EXPECT_EQ(velk::SocketErrorMessage(0), "0:Unknown Error No. 0"); // 0 is never looked up
}

} // namespace
