// The SMTP client against a scripted loopback server: refusals, odd replies, silence,
// stalls, and the waits that must keep the main thread serving its events.

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/SyncEvents.h"
#include "common/ThreadSynchronize.h"
#include "mail/NMsmtp.h"
#include "tests/TestSupport.h"
#include "tests/mail/ScriptedSmtpServer.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Lines = velk::test::ScriptedServer::Lines;
using velk::test::MessageOf;
using velk::test::ScriptedServer;

namespace {

// A client set up as the monitor sets up its own.
void Configure(velk::TNMSMTP& smtp, int port, int timeOut = 10000) {
    smtp.SetHost(QStringLiteral("127.0.0.1"));
    smtp.SetPort(port);
    smtp.SetTimeOut(timeOut);
    smtp.SetUserID(QStringLiteral("labpc"));
    smtp.PostMessage().FromAddress = QStringLiteral("lab@example.org");
    smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};
}

double SecondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double>(end - start).count();
}

// The commands the server saw, by their verbs.
std::string Verbs(const Lines& commands) {
    std::string verbs;
    for (const std::string& line : commands)
        verbs += (verbs.empty() ? "" : " ") + line.substr(0, line.find_first_of(" :\r"));
    return verbs;
}

// One mail through a server that refuses, folds, overfills, trickles, drops or does not speak
// SMTP at one step: the first failure is raised within the time-outs, the connection ends
// (with QUIT unless inside the data), and the recipients stay for a mail not sent.
TEST(SmtpDialogue, EachRefusedOrLostStepRaisesItsReplyAndTheConnectionEnds) {
    // Longer than the receive buffer: its tail must not stand as a reply of its own.
    const std::string overlong = "220-" + std::string(70000, 'x') + "\r\n220 ready\r\n";
    const std::string mailed = "HELO RSET MAIL RCPT DATA";
    const struct {
        const char* verb;
        std::string reply;
        const char* failure; // after "refused;" for a refused recipient
        std::string verbs;
        int timeOut = 10000;
    } cases[] = {
        // A byte every 0.4 s: one slow line, or short continuation lines without end, cannot
        // stretch the wait.
        {"<greeting>", "<trickle>220 scripted.example ready\r\n", "Socket readln aborted", "QUIT",
         1000},
        {"<greeting>", "<trickle> \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n220 ready\r\n",
         "Socket readln aborted", "QUIT", 2000},
        {"<greeting>", "220-a.example\r\n 220 folded\r\n220 ready\r\n", "", mailed + " QUIT"},
        // A last line of a bare code ends the reply; read as a continuation it would wait.
        {"<greeting>", "220-a.example\r\n220\r\n", "", mailed + " QUIT", 2000},
        {"<greeting>", overlong, "", mailed + " QUIT"},
        {"<greeting>", "554 no service\r\n", "554 no service", "QUIT"},
        {"<greeting>", "220-hello\r\n554 closed to you\r\n", "554 closed to you", "QUIT"},
        {"HELO", "501 bad name\r\n", "Authentication failed", "HELO QUIT"},
        {"MAIL", "553 sender refused\r\n", "553 sender refused", "HELO RSET MAIL"},
        {".", "552 message too big\r\n", "552 message too big", mailed},
        {".", "451 try later\r\n", "451 try later", mailed},
        {".", "<close>", "Connection closed by the server before the mail was accepted", mailed},
        {"QUIT", "500 what?\r\n", "500 what?", mailed + " QUIT"},
        // No reply code is no success: a peer of another protocol takes no mail.
        {"<greeting>", "-ERR unknown command\r\n", "-ERR unknown command", "QUIT"},
        {"HELO", "-ERR unknown command\r\n", "-ERR unknown command", "HELO QUIT"},
        {"RSET", "OK\r\n", "OK", "HELO RSET"},
        {"MAIL", "25 sender ok\r\n", "25 sender ok", "HELO RSET MAIL"},
        {"RCPT", "+OK\r\n", "refused;", mailed + " QUIT"},
        {"DATA", "-ERR unknown command\r\n", "-ERR unknown command", mailed},
        {".", "250OK\r\n", "250OK", mailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 40));
        ScriptedServer server({{c.verb, c.reply}});
        velk::TNMSMTP smtp;
        Configure(smtp, server.Port(), c.timeOut);
        QString refused;
        smtp.OnRecipientNotFound = [&](const QString&) { refused += "refused;"; };
        const auto start = Clock::now();
        QString failure = MessageOf([&] { smtp.Connect(); });
        if (failure.isEmpty()) {
            EXPECT_EQ(smtp.ReplyLine(), QByteArray("250 OK\r\n")); // HELO's, not a greeting line
            failure = MessageOf([&] { smtp.SendMail(); });
            EXPECT_EQ(smtp.PostMessage().ToAddress.size(), failure.isEmpty() ? 0 : 1);
            failure += MessageOf([&] { smtp.Disconnect(); });
        }
        EXPECT_EQ(refused + failure, c.failure);
        // Each wait and at most one more for QUIT's reply.
        EXPECT_LT(SecondsSince(start), 2 * c.timeOut / 1000.0 + 2.0);
        EXPECT_FALSE(smtp.Connected());
        EXPECT_FALSE(smtp.Busy());
        EXPECT_TRUE(server.WaitClosed());
        EXPECT_EQ(Verbs(server.commands), c.verbs);
    }
}

TEST(SmtpDialogue, RefusedOnlyRecipientIsSkippedCcOnlyMailIsSentAndFaultyMailsSendNothing) {
    // A multi-line refusal must not shift the replies of the later commands either.
    ScriptedServer server({{"RCPT", "550-5.1.1 No such account.\r\n550 5.1.1 See manual.\r\n"}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    QStringList refused;
    smtp.OnRecipientNotFound = [&](const QString& entry) { refused.append(entry); };
    smtp.PostMessage().ToAddress.clear();
    EXPECT_EQ(MessageOf([&] { smtp.SendMail(); }), "Not Connected");
    smtp.Connect();
    EXPECT_EQ(MessageOf([&] { smtp.SendMail(); }), "Incomplete Header"); // no recipient
    smtp.PostMessage().ToCarbonCopy = {QStringLiteral("Duty Officer <duty@example.org>")};
    smtp.PostMessage().Subject = QStringLiteral("Alarm\r\nBcc: spam@example.org");
    EXPECT_TRUE(MessageOf([&] { smtp.SendMail(); }).startsWith("Line break in"));
    smtp.PostMessage().Subject = QStringLiteral("Alarm");
    smtp.SendMail();
    smtp.Disconnect();
    EXPECT_EQ(refused, QStringList{QStringLiteral("Duty Officer <duty@example.org>")});
    EXPECT_TRUE(smtp.PostMessage().ToCarbonCopy.isEmpty()); // cleared after a sent mail
    EXPECT_EQ(server.commands,
              (Lines{"HELO labpc\r\n", "RSET\r\n", "MAIL FROM:<lab@example.org>\r\n",
                     "RCPT TO:<duty@example.org>\r\n", "DATA\r\n", "QUIT\r\n"}));
    EXPECT_EQ(server.data.find("\nTo:"), std::string::npos);
    EXPECT_NE(server.data.find("\r\nCC: Duty Officer <duty@example.org>\r\n"), std::string::npos);
}

TEST(SmtpDialogue, SendIntoAServerThatStopsReadingAbortsAfterTheTimeOut) {
    ScriptedServer server({{"DATA", "<stall>"}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port(), 1000);
    // 40 MB: far more than the loopback socket buffers hold.
    smtp.PostMessage().Body = QStringList(40000, QString(999, QLatin1Char('x')));
    smtp.Connect();
    const auto start = Clock::now();
    EXPECT_EQ(MessageOf([&] { smtp.SendMail(); }), "Socket send aborted");
    EXPECT_LT(SecondsSince(start), 30.0);
    EXPECT_FALSE(smtp.Busy());
    // Inside the data QUIT would be text: the socket is closed at once, without a word.
    const auto quit = Clock::now();
    EXPECT_EQ(MessageOf([&] { smtp.Disconnect(); }), "");
    EXPECT_LT(SecondsSince(quit), 0.5);
    EXPECT_FALSE(smtp.Connected());
}

TEST(SmtpDialogue, ClosedPortUnknownHostAndNullAddressFailToConnect) {
    // A bound socket that does not listen refuses connections, and keeps its port ours.
    QTcpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost));
    velk::TNMSMTP smtp;
    Configure(smtp, holder.localPort(), 20000);
    EXPECT_EQ(MessageOf([&] { smtp.Connect(); }), "Connection Failed");
    EXPECT_EQ(smtp.LastErrorNumber(), 10061);
    holder.close();
    const struct {
        const char* host;
        const char* message;
    } cases[] = {{"no-such-host.invalid", "Host Lookup Failed"},
                 {"", "Host Lookup Failed"},
                 {"0.0.0.0", "Null Remote Address"}};
    for (const auto& c : cases) {
        smtp.SetHost(QString::fromLatin1(c.host));
        EXPECT_EQ(MessageOf([&] { smtp.Connect(); }), c.message) << c.host;
        EXPECT_FALSE(smtp.Busy());
    }
}

TEST(SmtpDialogue, SilentServerTimesOutTwiceWhileWaitsServeTheMainThreadAndRefuseNesting) {
    ScriptedServer server({{"<greeting>", ""}, {"QUIT", ""}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port(), 2000);

    // The acquisition thread's call, and a window timer that starts a second mail.
    std::atomic<bool> callRan{false}, callOnMainThread{false};
    velk::ManualResetEvent workerDone;
    std::thread worker([&] {
        velk::CallInMainThread(1, [&](std::int32_t) {
            callOnMainThread = velk::IsMainThread();
            callRan = true;
        });
        workerDone.Set();
    });
    QString nestedSend = QStringLiteral("not run"), nestedConnect = QStringLiteral("not run");
    QTimer::singleShot(100, [&] {
        nestedSend = MessageOf([&] { smtp.SendMail(); });
        nestedConnect = MessageOf([&] { smtp.Connect(); });
    });

    const auto start = Clock::now();
    EXPECT_EQ(MessageOf([&] { smtp.Connect(); }), "Socket readln aborted");
    const double total = SecondsSince(start);
    const bool ranDuringConnect = callRan;
    EXPECT_TRUE(workerDone.Wait(10s));
    worker.join();
    EXPECT_TRUE(ranDuringConnect);
    EXPECT_TRUE(callOnMainThread);
    EXPECT_EQ(nestedSend, ""); // busy: returned without sending
    EXPECT_EQ(nestedConnect, "Already connected");
    EXPECT_FALSE(smtp.Connected());
    EXPECT_TRUE(server.WaitClosed());
    ASSERT_EQ(server.commands, Lines{"QUIT\r\n"});
    // About 2 s for the greeting, QUIT, about 2 s more for its reply.
    const double quitAt = SecondsSince(start, server.at[0]);
    EXPECT_GE(quitAt, 1.9);
    EXPECT_LT(quitAt, 10.0);
    EXPECT_GE(total, 3.9); // both waits ran in full
    EXPECT_LT(total, 20.0);
}

} // namespace
