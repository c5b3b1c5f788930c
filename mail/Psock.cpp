#include "mail/Psock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QHostInfo>
#include <QTimer>

#include "mail/SocketErrors.h"

namespace velk {

namespace {

// The I/O buffer: outgoing text leaves in blocks of this size, and it bounds a reply line.
constexpr qsizetype kBufferSize = kReplyLineLimit;

} // namespace

struct TPowersock::Wait {
    QEventLoop loop;
    bool ready = false;
    bool timedOut = false;
    bool canceled = false;

    void Finish() { loop.quit(); }
};

TPowersock::TPowersock(QObject* owner) : QObject(owner) {}

TPowersock::~TPowersock() {
    Abort();
    CloseSocket();
}

void TPowersock::SetPort(int port) {
    if (port < 1 || port > 65535)
        throw Exception(QStringLiteral("Invalid port %1: must be 1 to 65535").arg(port));
    port_ = port;
}

void TPowersock::SetTimeOut(int milliseconds) {
    if (milliseconds < 0)
        throw Exception(
            QStringLiteral("Invalid time-out %1 ms: must not be negative").arg(milliseconds));
    timeOut_ = milliseconds;
}

QDeadlineTimer TPowersock::WaitDeadline() const {
    return timeOut_ > 0 ? QDeadlineTimer(timeOut_, Qt::PreciseTimer)
                        : QDeadlineTimer(QDeadlineTimer::Forever);
}

TPowersock::WaitEnd TPowersock::WaitFor(const std::function<void(Wait&)>& arm,
                                        const QDeadlineTimer& deadline) {
    Wait wait;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait before TimeOut
    QObject::connect(&timer, &QTimer::timeout, &wait.loop, [&wait] {
        wait.timedOut = true;
        wait.canceled = true;
        wait.Finish();
    });
    arm(wait);
    if (!wait.ready && deadline.hasExpired()) {
        wait.timedOut = true;
    } else if (!wait.ready) {
        if (!deadline.isForever()) timer.start(std::chrono::milliseconds(deadline.remainingTime()));
        waits_.push_back(&wait);
        wait.loop.exec();
        waits_.erase(std::find(waits_.begin(), waits_.end(), &wait));
    }
    if (wait.timedOut) return WaitEnd::TimedOut;
    if (wait.canceled) return WaitEnd::Canceled;
    return WaitEnd::Ready;
}

TPowersock::WaitEnd TPowersock::WaitSocket(QSocketNotifier::Type type,
                                           const QDeadlineTimer& deadline) {
    QSocketNotifier notifier(fd_, type);
    return WaitFor(
        [&notifier](Wait& wait) {
            QObject::connect(&notifier, &QSocketNotifier::activated, &wait.loop, [&wait] {
                if (wait.canceled) return;
                wait.ready = true;
                wait.Finish();
            });
        },
        deadline);
}

void TPowersock::Abort() {
    for (Wait* wait : waits_) {
        wait->canceled = true;
        wait->Finish();
    }
}

QHostAddress TPowersock::ResolveHost() {
    QHostAddress address;
    if (!address.setAddress(host_)) {
        QHostInfo result;
        bool failed = true;
        int lookupId = -1;
        QObject context;
        const WaitEnd end = WaitFor(
            [&](Wait& wait) {
                lookupId = QHostInfo::lookupHost(host_, &context, [&](const QHostInfo& info) {
                    result = info;
                    failed = info.error() != QHostInfo::NoError;
                    wait.ready = true;
                    wait.Finish();
                });
            },
            WaitDeadline());
        if (end != WaitEnd::Ready) {
            QHostInfo::abortHostLookup(lookupId);
            throw ESockError(end == WaitEnd::TimedOut ? QStringLiteral("Host Lookup Timed Out")
                                                      : QStringLiteral("Host Lookup Canceled"));
        }
        if (failed) throw ESockError(QStringLiteral("Host Lookup Failed"), 11001);
        // The client speaks IPv4 first, as the server's dotted address would be.
        const QList<QHostAddress> found = result.addresses();
        const auto v4 = std::find_if(found.begin(), found.end(), [](const QHostAddress& a) {
            return a.protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (v4 != found.end())
            address = *v4;
        else if (!found.isEmpty())
            address = found.first();
    }
    if (address.isNull() || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6)
        throw ESockError(QStringLiteral("Null Remote Address"));
    return address;
}

void TPowersock::OpenConnection(const QHostAddress& address) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<quint16>(port_));
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<quint16>(port_));
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(in6->sin6_addr.s6_addr, bytes.c, sizeof bytes.c);
        in6->sin6_scope_id = static_cast<uint32_t>(address.scopeId().toUInt());
        length = sizeof(sockaddr_in6);
    }

    fd_ = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) RaiseSocketError(errno);
    // Closing is abortive: a dead server must not keep the socket lingering.
    const linger abortive{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    // Command lines are small and each waits for its reply: no coalescing delay.
    const int noDelay = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    int error = 0;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&storage), length) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            const WaitEnd end = WaitSocket(QSocketNotifier::Write, WaitDeadline());
            if (end != WaitEnd::Ready) {
                CloseSocket();
                throw ESockError(end == WaitEnd::TimedOut ? QStringLiteral("Connection Timed out")
                                                          : QStringLiteral("Connection Canceled"));
            }
            socklen_t size = sizeof error;
            if (fd_ < 0 || ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = ENOTCONN;
        }
    }
    if (error != 0) {
        CloseSocket();
        lastError_ = SocketErrorFromErrno(error);
        throw ESockError(QStringLiteral("Connection Failed"), lastError_);
    }
}

void TPowersock::Connect() {
    // A connection being set up (a nested call during its wait) counts as one already there.
    if (Connected() || connecting_) throw ESockError(QStringLiteral("Already connected"));
    connecting_ = true;
    try {
        OpenConnection(ResolveHost());
    } catch (...) {
        connecting_ = false;
        throw;
    }
    connecting_ = false;
}

void TPowersock::CloseSocket() {
    reader_.Clear();
    if (fd_ < 0) return;
    // Waits still running on this socket end as canceled, never on a reused descriptor.
    Abort();
    tls_.reset();
    ::close(fd_);
    fd_ = -1;
}

void TPowersock::Disconnect() {
    CloseSocket();
}

void TPowersock::RaiseSocketError(int errnoValue) {
    lastError_ = SocketErrorFromErrno(errnoValue);
    // The connection is unusable after a socket failure.
    CloseSocket();
    throw ESockError(SocketErrorMessage(lastError_), lastError_);
}

qsizetype TPowersock::TlsMoved(const TTlsSession::Step& step, QSocketNotifier::Type& wait) {
    switch (step.outcome) {
    case TTlsSession::Outcome::Done:
        return step.bytes;
    case TTlsSession::Outcome::Closed:
        return 0;
    case TTlsSession::Outcome::WantRead:
        wait = QSocketNotifier::Read;
        return -1;
    case TTlsSession::Outcome::WantWrite:
        wait = QSocketNotifier::Write;
        return -1;
    case TTlsSession::Outcome::Failed:
        break;
    }
    const QString failure = tls_->Failure();
    CloseSocket();
    throw ESockError(failure);
}

qsizetype TPowersock::Receive(char* buffer, qsizetype size, QSocketNotifier::Type& wait) {
    if (tls_) return TlsMoved(tls_->Read(buffer, size), wait);
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, static_cast<size_t>(size), 0);
        if (n >= 0) return n;
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EAGAIN && error != EWOULDBLOCK) RaiseSocketError(error);
        wait = QSocketNotifier::Read;
        return -1;
    }
}

qsizetype TPowersock::Send(const char* data, qsizetype size, QSocketNotifier::Type& wait) {
    if (tls_) return TlsMoved(tls_->Write(data, size), wait);
    for (;;) {
        const ssize_t n = ::send(fd_, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n >= 0) return n;
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EAGAIN && error != EWOULDBLOCK) RaiseSocketError(error);
        wait = QSocketNotifier::Write;
        return -1;
    }
}

void TPowersock::StartTls(const QString& caFile) {
    // What the server sent before the upgrade is not to be read as if it came through TLS.
    reader_.Clear();
    try {
        if (fd_ < 0) throw Exception(QStringLiteral("Not Connected"));
        tls_ = std::make_unique<TTlsSession>(fd_, host_, caFile);
        const QDeadlineTimer deadline = WaitDeadline();
        for (;;) {
            QSocketNotifier::Type wait = QSocketNotifier::Read;
            if (TlsMoved(tls_->Handshake(), wait) >= 0) return;
            if (WaitSocket(wait, deadline) != WaitEnd::Ready || fd_ < 0)
                throw EAbortError(QStringLiteral("TLS handshake aborted"));
        }
    } catch (...) {
        CloseSocket();
        throw;
    }
}

void TPowersock::WriteBytes(const QByteArray& data) {
    // Each buffer of at most kBufferSize bytes has TimeOut to leave, however slowly the server
    // takes it.
    for (qsizetype start = 0; start < data.size(); start += kBufferSize) {
        const qsizetype end = std::min(data.size(), start + kBufferSize);
        const QDeadlineTimer deadline = WaitDeadline();
        qsizetype sent = start;
        while (sent < end) {
            if (fd_ < 0) {
                lastError_ = SocketErrorFromErrno(ENOTCONN);
                throw ESockError(SocketErrorMessage(lastError_), lastError_);
            }
            QSocketNotifier::Type wait = QSocketNotifier::Write;
            const qsizetype n = Send(data.constData() + sent, end - sent, wait);
            if (n > 0) {
                sent += n;
                continue;
            }
            if (n == 0) RaiseSocketError(EPIPE);
            if (WaitSocket(wait, deadline) != WaitEnd::Ready)
                throw EAbortError(QStringLiteral("Socket send aborted"));
        }
    }
}

void TPowersock::WriteLine(const QByteArray& text) {
    // A line break inside a command would let its argument smuggle in a command of its own.
    if (text.contains('\r') || text.contains('\n'))
        throw Exception(QStringLiteral("Line break in command: ") +
                        QString::fromUtf8(text.simplified()));
    WriteBytes(text + "\r\n");
}

QByteArray TPowersock::ReadLine(const QDeadlineTimer& deadline) {
    char buffer[4096];
    for (;;) {
        if (std::optional<QByteArray> line = reader_.TakeLine()) return *std::move(line);
        if (fd_ < 0) return {};
        QSocketNotifier::Type wait = QSocketNotifier::Read;
        const qsizetype n = Receive(buffer, sizeof buffer, wait);
        if (n > 0) {
            reader_.Append(buffer, n);
            continue;
        }
        if (n == 0) {
            // The server closed the connection: an empty line, and no connection any more.
            CloseSocket();
            return {};
        }
        if (WaitSocket(wait, deadline) != WaitEnd::Ready)
            throw EAbortError(QStringLiteral("Socket readln aborted"));
    }
}

void TPowersock::ReadReply() {
    // One deadline for the whole reply: a server sending a byte at a time, or continuation
    // lines without end, cannot stretch it.
    const QDeadlineTimer deadline = WaitDeadline();
    TSmtpReply reply = ReadReplyFrom([&] { return ReadLine(deadline); });
    replyLine_ = std::move(reply.line);
    replyLines_ = std::move(reply.lines);
    replyNumber_ = reply.number;
}

qint16 TPowersock::Transaction(const QByteArray& command) {
    WriteLine(command);
    ReadReply();
    return replyNumber_;
}

QString TPowersock::ReplyText() const {
    return ReplyMessage(replyLine_);
}

} // namespace velk
