// The SMTP client against a scripted loopback server: refusals, odd replies, silence,
// resets, stalls and the waits that must keep the main thread serving its events.

#include <atomic>
#include <thread>

#include <QTimer>
#include <gtest/gtest.h>

#include "common/SyncEvents.h"
#include "common/ThreadSynchronize.h"
#include "mail/NMsmtp.h"
#include "tests/TestSupport.h"
#include "tests/mail/ScriptedSmtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using velk::test::ScriptedSmtpServer;
using Clock = std::chrono::steady_clock;

namespace {

// A client set up the way the monitor sets up its own; generous time-out unless a test is
// about the time-out itself.
void Configure(velk::TNMSMTP& smtp, int port, int timeOut = 10000) {
    smtp.SetHost(QStringLiteral("127.0.0.1"));
    smtp.SetPort(port);
    smtp.SetTimeOut(timeOut);
    smtp.SetUserID(QStringLiteral("labpc"));
    smtp.PostMessage().FromName = QStringLiteral("Velk Monitoring");
    smtp.PostMessage().Subject = QStringLiteral("Alarm");
    smtp.PostMessage().LocalProgram = QStringLiteral("Velk Monitoring");
    smtp.PostMessage().FromAddress = QStringLiteral("lab@example.org");
    smtp.PostMessage().ReplyTo = QStringLiteral("lab@example.org");
    smtp.PostMessage().Body = {QStringLiteral("Alarm at 06/12/2026 10:00:00"),
                               QStringLiteral("Alarm on vacuum  (2.5E-5mb)")};
}

// Runs `action` and returns the message of the velk::Exception it raises ("" if none).
template <class Action> QString FailureOf(Action action) {
    try {
        action();
    } catch (const velk::Exception& e) {
        return e.Message();
    }
    return {};
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

TEST(SmtpDialogue, GreetsWithHeloAndQuitsAndClosesTheSocket) {
    ScriptedSmtpServer server({});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.Connect();
    EXPECT_TRUE(smtp.Connected());
    EXPECT_EQ(smtp.ReplyNumber(), 250);
    smtp.Disconnect();
    EXPECT_FALSE(smtp.Connected());
    EXPECT_TRUE(server.WaitForClientClose(10s));
    EXPECT_EQ(server.CommandTexts(), (std::vector<std::string>{"HELO labpc\r\n", "QUIT\r\n"}));
}

TEST(SmtpDialogue, MultiLineGreetingIsReadToItsLastLine) {
    ScriptedSmtpServer server({"220-scripted.example\r\n220-second line\r\n 220 folded\r\n"
                               "220 ready\r\n",
                               {}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.Connect();
    EXPECT_EQ(smtp.ReplyLine(), QByteArray("250 OK\r\n")); // HELO's reply, not a greeting line
    smtp.Disconnect();
    EXPECT_EQ(server.CommandTexts(), (std::vector<std::string>{"HELO labpc\r\n", "QUIT\r\n"}));
}

TEST(SmtpDialogue, RefusedGreetingOrHeloSendsQuitAndFails) {
    struct Case {
        ScriptedSmtpServer::Script script;
        QString message;
    } cases[] = {
        {{"554 scripted.example no service\r\n", {}}, "554 scripted.example no service"},
        {{"220-hello\r\n554 closed to you\r\n", {}}, "554 closed to you"},
        {{"220 ready\r\n", {{"HELO", "501 bad name\r\n"}}}, "Authentication failed"},
    };
    for (const Case& c : cases) {
        ScriptedSmtpServer server(c.script);
        velk::TNMSMTP smtp;
        Configure(smtp, server.Port());
        EXPECT_EQ(FailureOf([&] { smtp.Connect(); }), c.message);
        EXPECT_FALSE(smtp.Connected());
        EXPECT_FALSE(smtp.Busy());
        ASSERT_TRUE(server.WaitForClientClose(10s));
        const auto commands = server.CommandTexts();
        ASSERT_FALSE(commands.empty()) << c.message.toStdString();
        EXPECT_EQ(commands.back(), "QUIT\r\n");
    }
}

TEST(SmtpDialogue, RefusedRecipientIsSkippedAndTheOthersStillGetTheMail) {
    ScriptedSmtpServer server({"220 ready\r\n", {{"RCPT", "550 no such user\r\n"}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    QStringList refused;
    smtp.OnRecipientNotFound = [&](const QString& entry) { refused.append(entry); };
    smtp.PostMessage().ToAddress = {QStringLiteral("nobody@example.org")};
    smtp.Connect();
    smtp.SendMail();
    smtp.Disconnect();
    EXPECT_EQ(refused, QStringList{QStringLiteral("nobody@example.org")});
    EXPECT_EQ(
        server.CommandTexts(),
        (std::vector<std::string>{"HELO labpc\r\n", "RSET\r\n", "MAIL FROM:<lab@example.org>\r\n",
                                  "RCPT TO:<nobody@example.org>\r\n", "DATA\r\n", "QUIT\r\n"}));
    EXPECT_NE(server.Data().find("Alarm on vacuum  (2.5E-5mb)\r\n"), std::string::npos);
}

TEST(SmtpDialogue, MultiLineRefusalDoesNotShiftTheRepliesOfLaterCommands) {
    ScriptedSmtpServer server(
        {"220 ready\r\n",
         {{"RCPT", "550-5.1.1 The account does not exist.\r\n550 5.1.1 See the manual.\r\n"}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.PostMessage().ToAddress = {QStringLiteral("gone@example.org")};
    smtp.Connect();
    smtp.SendMail();
    EXPECT_EQ(smtp.ReplyLine(), QByteArray("250 accepted\r\n"));
    smtp.Disconnect();
    EXPECT_FALSE(server.Data().empty());
}

TEST(SmtpDialogue, CarbonCopyOnlyMailHasNoToLineAndDisplayNamesGiveBareAddresses) {
    ScriptedSmtpServer server({});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    velk::TPostMessage& m = smtp.PostMessage();
    m.ToCarbonCopy = {QStringLiteral("Duty Officer <duty@example.org>")};
    m.ToBlindCarbonCopy = {QStringLiteral("archive@example.org")};
    smtp.Connect();
    smtp.SendMail();
    smtp.Disconnect();
    const auto commands = server.CommandTexts();
    EXPECT_EQ(std::vector<std::string>(commands.begin() + 3, commands.begin() + 5),
              (std::vector<std::string>{"RCPT TO:<duty@example.org>\r\n",
                                        "RCPT TO:<archive@example.org>\r\n"}));
    const std::string data = server.Data();
    EXPECT_EQ(data.find("\nTo:"), std::string::npos);
    EXPECT_NE(data.find("\nReply-To: lab@example.org\r\n"), std::string::npos);
    EXPECT_NE(data.find("\r\nCC: Duty Officer <duty@example.org>\r\n"), std::string::npos);
    EXPECT_EQ(data.find("archive@"), std::string::npos); // blind copies stay blind
    EXPECT_TRUE(m.ToCarbonCopy.isEmpty());               // ClearParams after a sent mail
    EXPECT_TRUE(m.ToBlindCarbonCopy.isEmpty());
    EXPECT_EQ(m.Body.size(), 2);
}

TEST(SmtpDialogue, RefusalsRaiseTheReplyLineAndKeepTheRecipients) {
    struct Case {
        const char* verb;
        const char* reply;
    } cases[] = {{"RSET", "421 shutting down\r\n"},
                 {"MAIL", "553 sender rejected\r\n"},
                 {"DATA", "554 no valid recipients\r\n"},
                 {".", "552 message too big\r\n"}};
    for (const Case& c : cases) {
        ScriptedSmtpServer server({"220 ready\r\n", {{c.verb, c.reply}}});
        velk::TNMSMTP smtp;
        Configure(smtp, server.Port());
        smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};
        smtp.Connect();
        QString expected = QString::fromLatin1(c.reply).trimmed();
        EXPECT_EQ(FailureOf([&] { smtp.SendMail(); }), expected);
        EXPECT_EQ(smtp.PostMessage().ToAddress.size(), 1) << c.verb;
        // The failed mail leaves the connection open, so a new Connect is refused.
        EXPECT_TRUE(smtp.Connected()) << c.verb;
        EXPECT_FALSE(smtp.Busy());
        EXPECT_EQ(FailureOf([&] { smtp.Connect(); }), "Already connected");
        smtp.Disconnect();
        EXPECT_FALSE(smtp.Connected());
    }
}

TEST(SmtpDialogue, RefusedQuitRaisesButStillClosesTheSocket) {
    ScriptedSmtpServer server({"220 ready\r\n", {{"QUIT", "500 what?\r\n"}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.Connect();
    EXPECT_EQ(FailureOf([&] { smtp.Disconnect(); }), "500 what?");
    EXPECT_FALSE(smtp.Connected());
    EXPECT_TRUE(server.WaitForClientClose(10s));
}

TEST(SmtpDialogue, MailIsNotReportedSentWhenTheServerHangsUpInsteadOfAccepting) {
    ScriptedSmtpServer server({"220 ready\r\n", {{".", ScriptedSmtpServer::kClose}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};
    smtp.Connect();
    EXPECT_FALSE(FailureOf([&] { smtp.SendMail(); }).isEmpty());
    EXPECT_FALSE(smtp.Connected()); // the closed connection is noticed; Connect works again
}

TEST(SmtpDialogue, ResetConnectionReportsTheSocketErrorAndEndsTheConnection) {
    ScriptedSmtpServer server({"220 ready\r\n", {{"MAIL", ScriptedSmtpServer::kReset}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};
    smtp.Connect();
    try {
        smtp.SendMail();
        FAIL() << "SendMail succeeded over a reset connection";
    } catch (const velk::ESockError& e) {
        EXPECT_EQ(e.Message(), "10054:Connection reset by peer");
        EXPECT_EQ(e.ErrorNumber(), 10054);
    }
    EXPECT_FALSE(smtp.Connected());
}

TEST(SmtpDialogue, IncompleteOrUnconnectedMailIsRefusedBeforeAnythingIsSent) {
    ScriptedSmtpServer server({});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};
    EXPECT_EQ(FailureOf([&] { smtp.SendMail(); }), "Not Connected");
    smtp.Connect();
    smtp.PostMessage().FromAddress.clear();
    EXPECT_EQ(FailureOf([&] { smtp.SendMail(); }), "Incomplete Header");
    smtp.PostMessage().FromAddress = QStringLiteral("lab@example.org");
    smtp.PostMessage().ToAddress.clear();
    EXPECT_EQ(FailureOf([&] { smtp.SendMail(); }), "Incomplete Header");
    smtp.Disconnect();
    EXPECT_EQ(server.CommandTexts(), (std::vector<std::string>{"HELO labpc\r\n", "QUIT\r\n"}));
}

TEST(SmtpDialogue, LineBreaksInFieldsCannotInjectCommandsOrHeaders) {
    ScriptedSmtpServer server({});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port());
    smtp.Connect();
    velk::TPostMessage& m = smtp.PostMessage();
    m.ToAddress = {QStringLiteral("ops@example.org\r\nRCPT TO:<spam@example.org>")};
    EXPECT_TRUE(FailureOf([&] { smtp.SendMail(); }).startsWith("Line break in"));
    m.ToAddress = {QStringLiteral("ops@example.org")};
    m.Subject = QStringLiteral("Alarm\r\nBcc: spam@example.org");
    EXPECT_TRUE(FailureOf([&] { smtp.SendMail(); }).startsWith("Line break in"));
    m.Subject = QStringLiteral("Alarm");
    // A line break inside a body entry starts a new, dot-stuffed line.
    m.Body = {QStringLiteral("first\n.\r\nMAIL FROM:<spam@example.org>")};
    smtp.SendMail();
    smtp.Disconnect();
    for (const std::string& command : server.CommandTexts())
        EXPECT_EQ(command.find("spam"), std::string::npos) << command;
    const std::string data = server.Data();
    EXPECT_NE(data.find("\r\n\r\nfirst\r\n..\r\nMAIL FROM:<spam@example.org>\r\n"),
              std::string::npos)
        << data;
}

TEST(SmtpDialogue, StalledServerAbortsTheSendWithinTheTimeOut) {
    ScriptedSmtpServer server({"220 ready\r\n", {{"DATA", ScriptedSmtpServer::kStall}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port(), 1000);
    smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};
    // Far more than the loopback socket buffers can hold.
    smtp.PostMessage().Body = QStringList(40000, QString(999, QLatin1Char('x')));
    smtp.Connect();
    const auto start = Clock::now();
    try {
        smtp.SendMail();
        FAIL() << "a 40 MB body went into a server that reads nothing";
    } catch (const velk::EAbortError& e) {
        EXPECT_EQ(e.Message(), "Socket send aborted");
    }
    EXPECT_LT(Seconds(Clock::now() - start), 30.0);
    EXPECT_FALSE(smtp.Busy());
}

TEST(SmtpDialogue, ClosedPortUnknownHostAndNullAddressFailToConnect) {
    // A bound socket that does not listen refuses connections, and keeps its port ours.
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);

    velk::TNMSMTP smtp;
    Configure(smtp, ntohs(address.sin_port), 20000);
    try {
        smtp.Connect();
        FAIL() << "connected to a closed port";
    } catch (const velk::ESockError& e) {
        EXPECT_EQ(e.Message(), "Connection Failed");
        EXPECT_EQ(e.ErrorNumber(), 10061);
        EXPECT_EQ(smtp.LastErrorNumber(), 10061);
    }
    ::close(holder);
    EXPECT_FALSE(smtp.Connected());

    const struct {
        const char* host;
        const char* message;
    } cases[] = {{"no-such-host.invalid", "Host Lookup Failed"},
                 {"", "Host Lookup Failed"},
                 {"0.0.0.0", "Null Remote Address"}};
    for (const auto& c : cases) {
        smtp.SetHost(QString::fromLatin1(c.host));
        EXPECT_EQ(FailureOf([&] { smtp.Connect(); }), c.message) << c.host;
        EXPECT_FALSE(smtp.Busy());
    }
}

TEST(SmtpDialogue, SilentServerTimesOutOnGreetingAndOnQuit) {
    ScriptedSmtpServer server(
        {ScriptedSmtpServer::kSilent, {{"QUIT", ScriptedSmtpServer::kSilent}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port(), 2000);
    const auto start = Clock::now();
    try {
        smtp.Connect();
        FAIL() << "connected to a server that never greets";
    } catch (const velk::EAbortError& e) {
        EXPECT_EQ(e.Message(), "Socket readln aborted");
    }
    const double total = Seconds(Clock::now() - start);
    const auto commands = server.Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].text, "QUIT\r\n");
    const double quitAt = Seconds(commands[0].at - start);
    EXPECT_GE(quitAt, 1.9);
    EXPECT_LT(quitAt, 10.0);
    EXPECT_GE(total - quitAt, 1.9);
    EXPECT_LT(total, 20.0);
    EXPECT_FALSE(smtp.Connected());
}

TEST(SmtpDialogue, AbortEndsTheWaitsInProgress) {
    ScriptedSmtpServer server(
        {ScriptedSmtpServer::kSilent, {{"QUIT", ScriptedSmtpServer::kSilent}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port(), 3000);
    QTimer aborter; // ends the greeting wait and then the QUIT wait
    QObject::connect(&aborter, &QTimer::timeout, [&smtp] { smtp.Abort(); });
    aborter.start(100);
    const auto start = Clock::now();
    EXPECT_EQ(FailureOf([&] { smtp.Connect(); }), "Socket readln aborted");
    EXPECT_LT(Seconds(Clock::now() - start), 4.0); // two full time-outs would be 6 s
    EXPECT_FALSE(smtp.Connected());
}

TEST(SmtpDialogue, SettingsOutOfRangeAreRefused) {
    velk::TNMSMTP smtp;
    EXPECT_EQ(FailureOf([&] { smtp.SetPort(0); }), "Invalid port 0: must be 1 to 65535");
    EXPECT_EQ(FailureOf([&] { smtp.SetPort(65536); }), "Invalid port 65536: must be 1 to 65535");
    EXPECT_EQ(FailureOf([&] { smtp.SetTimeOut(-1); }),
              "Invalid time-out -1 ms: must not be negative");
    EXPECT_EQ(smtp.Port(), 25);
    EXPECT_EQ(smtp.TimeOut(), 2000);
    EXPECT_EQ(smtp.Host(), "localhost");
    EXPECT_EQ(smtp.Charset(), "us-ascii");
}

TEST(SmtpDialogue, WaitsKeepServingTheMainThreadAndRefuseNestedUse) {
    ScriptedSmtpServer server(
        {ScriptedSmtpServer::kSilent, {{"QUIT", ScriptedSmtpServer::kSilent}}});
    velk::TNMSMTP smtp;
    Configure(smtp, server.Port(), 2000);
    smtp.PostMessage().ToAddress = {QStringLiteral("ops@example.org")};

    // The acquisition thread's call, a window timer, and a second mail started from one.
    std::atomic<bool> callRan{false};
    std::atomic<bool> callOnMainThread{false};
    velk::ManualResetEvent workerDone;
    std::thread worker([&] {
        velk::CallInMainThread(1, [&](std::int32_t) {
            callOnMainThread = velk::IsMainThread();
            callRan = true;
        });
        workerDone.Set();
    });
    bool timerFired = false;
    QString nestedSend = QStringLiteral("not run"), nestedConnect = QStringLiteral("not run");
    QTimer::singleShot(100, [&] {
        timerFired = true;
        nestedSend = FailureOf([&] { smtp.SendMail(); }); // busy: returns without sending
        nestedConnect = FailureOf([&] { smtp.Connect(); });
    });

    EXPECT_EQ(FailureOf([&] { smtp.Connect(); }), "Socket readln aborted");
    const bool ranDuringConnect = callRan;
    const bool workerReturned = workerDone.Wait(10s);
    worker.join();
    EXPECT_TRUE(ranDuringConnect);
    EXPECT_TRUE(callOnMainThread);
    EXPECT_TRUE(workerReturned);
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(nestedSend, "");
    EXPECT_EQ(nestedConnect, "Already connected");
    EXPECT_EQ(server.CommandTexts(), (std::vector<std::string>{"QUIT\r\n"}));
}

} // namespace
