#pragma once
// TCP client socket for line-oriented protocols (SMTP): connect, write a line, read a line,
// each wait bounded by TimeOut while the caller's thread keeps processing its events.

#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include "common/Errors.h"
#include "mail/ReplyReader.h"
#include "mail/TlsSession.h"

namespace velk {

// Socket and connection failures; carries the socket error number behind it (0 if none).
class ESockError : public Exception {
public:
    explicit ESockError(const QString& message, int errorNumber = 0)
        : Exception(message), errorNumber_(errorNumber) {}
    int ErrorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

// A wait that ended by its time-out or by Abort.
class EAbortError : public Exception {
public:
    using Exception::Exception;
};

// Its waits run on the caller's stack: the object must outlive every call in progress, so
// an owner that may be closed from inside a wait deletes it later, never directly.
class TPowersock : public QObject {
    Q_OBJECT
public:
    explicit TPowersock(QObject* owner = nullptr);
    ~TPowersock() override;

    QString Host() const { return host_; }
    void SetHost(const QString& host) { host_ = host; }
    int Port() const { return port_; }
    void SetPort(int port);
    // Milliseconds allowed for each wait; 0 waits without limit.
    int TimeOut() const { return timeOut_; }
    void SetTimeOut(int milliseconds);
    // Status reporting threshold; this client reports no status, so only 0 is meaningful.
    int ReportLevel() const { return reportLevel_; }
    void SetReportLevel(int level) { reportLevel_ = level; }

    bool Connected() const { return fd_ >= 0 && !connecting_; }
    // The last line read from the server, with its CR LF.
    QByteArray ReplyLine() const { return replyLine_; }
    qint16 ReplyNumber() const { return replyNumber_; }
    // Every line of the last reply (see kReplyLinesKept), with their CR LF.
    QByteArrayList ReplyLines() const { return replyLines_; }
    // Socket error number of the last failure (0 when none occurred yet).
    int LastErrorNumber() const { return lastError_; }

    // Resolves Host and opens the connection to Port.
    virtual void Connect();
    // Closes the connection (abortively); harmless when not connected.
    virtual void Disconnect();
    // Writes one command line and reads the reply (with its continuation lines); returns
    // ReplyNumber.
    virtual qint16 Transaction(const QByteArray& command);
    // Ends every wait in progress as canceled.
    virtual void Abort();

protected:
    void WriteLine(const QByteArray& text);
    void WriteBytes(const QByteArray& data);
    // Reads one line within `deadline`.
    QByteArray ReadLine(const QDeadlineTimer& deadline);
    // Reads a reply line and then its continuation lines; the last stands as the reply.
    void ReadReply();
    // The reply line without its line end, as an exception message.
    QString ReplyText() const;
    bool Connecting() const { return connecting_; }
    // Turns the open connection into TLS: the server's certificate must verify against
    // `caFile` (empty: the system's trust store) and name Host. The whole handshake has one
    // TimeOut; any failure closes the connection, so nothing can go on in plain text.
    void StartTls(const QString& caFile);
    bool Encrypted() const { return tls_ != nullptr; }

private:
    enum class WaitEnd { Ready, TimedOut, Canceled };
    struct Wait;

    // The end of one wait (a look-up, a connection, a line read, a buffer sent) TimeOut from
    // now: however the data trickle in, that one wait ends by then.
    QDeadlineTimer WaitDeadline() const;
    // Runs a local event loop until `arm` reports readiness, the deadline passes or Abort.
    WaitEnd WaitFor(const std::function<void(Wait&)>& arm, const QDeadlineTimer& deadline);
    WaitEnd WaitSocket(QSocketNotifier::Type type, const QDeadlineTimer& deadline);
    QHostAddress ResolveHost();
    void OpenConnection(const QHostAddress& address);
    void CloseSocket();
    // One receive or send, through TLS once it is on: the bytes moved, 0 when the server has
    // closed, -1 when the socket must first become ready the way `wait` says.
    qsizetype Receive(char* buffer, qsizetype size, QSocketNotifier::Type& wait);
    qsizetype Send(const char* data, qsizetype size, QSocketNotifier::Type& wait);
    qsizetype TlsMoved(const TTlsSession::Step& step, QSocketNotifier::Type& wait);
    [[noreturn]] void RaiseSocketError(int errnoValue);

    QString host_ = QStringLiteral("localhost");
    int port_ = 25;
    int timeOut_ = 2000;
    int reportLevel_ = 0;
    int fd_ = -1;
    bool connecting_ = false;
    std::unique_ptr<TTlsSession> tls_;
    TReplyReader reader_;
    QByteArray replyLine_;
    QByteArrayList replyLines_;
    qint16 replyNumber_ = 0;
    int lastError_ = 0;
    std::vector<Wait*> waits_;
};

} // namespace velk
