#include "metrics/MetricsServer.h"

#include <algorithm>
#include <future>
#include <memory>

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace velk {

namespace {

constexpr char kContentType[] = "text/plain; version=0.0.4; charset=utf-8";

QByteArray Answer(const char* status, const QByteArray& body, bool close, const char* extra = "") {
    return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: " +
           (body.isEmpty() || status[0] != '2' ? QByteArray("text/plain") : kContentType) +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extra +
           (close ? "Connection: close\r\n" : "") + "\r\n" + body;
}

QByteArray ErrorAnswer(const char* status, bool close, const char* extra = "") {
    return Answer(status, QByteArray(status + 4) + '\n', close, extra);
}

bool IsTokenChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           QByteArray("!#$%&'*+-.^_`|~").contains(c);
}

// One request of a connection, as far as the server reads it.
struct TRequest {
    QByteArray Method;
    QByteArray Path; // without the query
    bool Close = false;
    bool HasBody = false;
};

// The request line "METHOD SP target SP HTTP/1.x" and the headers that matter here; none when
// malformed.
std::optional<TRequest> ParseHead(const QByteArray& head) {
    const QList<QByteArray> lines = head.split('\n');
    QByteArray line = lines.front();
    if (!line.endsWith('\r')) return std::nullopt;
    line.chop(1);
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || parts[0].isEmpty() || !parts[1].startsWith('/') ||
        !std::all_of(parts[0].begin(), parts[0].end(), IsTokenChar))
        return std::nullopt;
    TRequest request;
    request.Method = parts[0];
    const qsizetype query = parts[1].indexOf('?');
    request.Path = query < 0 ? parts[1] : parts[1].left(query);
    if (parts[2] == "HTTP/1.0")
        request.Close = true;
    else if (parts[2] != "HTTP/1.1")
        return std::nullopt;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray header = lines[i].trimmed();
        if (header.isEmpty()) continue; // after the last line's line feed
        const qsizetype colon = header.indexOf(':');
        if (colon <= 0) return std::nullopt;
        const QByteArray name = header.left(colon).toLower();
        const QByteArray value = header.mid(colon + 1).trimmed().toLower();
        if (name == "connection")
            request.Close = request.Close ? value != "keep-alive" : value == "close";
        else if (name == "transfer-encoding")
            request.HasBody = true;
        else if (name == "content-length")
            request.HasBody = request.HasBody || value != "0";
    }
    return request;
}

// One client's connection: the bytes of a request not yet complete, and how long it may
// stay silent.
struct TConnection {
    QTcpSocket* Socket;
    QByteArray Request;
    QTimer* Idle;
    bool Refused = false;
};

class TListener : public QTcpServer {
public:
    explicit TListener(const TMetricsServer::TBody& body) : body_(body) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        if (open_.size() >= TMetricsServer::kMaxConnections) {
            QTcpSocket* oldest = open_.takeFirst()->Socket;
            oldest->abort();
            oldest->deleteLater();
        }
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            ::close(static_cast<int>(descriptor));
            return;
        }
        // The socket's own buffer stays small: a client cannot make it hold a large request.
        socket->setReadBufferSize(TMetricsServer::kMaxRequest);
        auto connection =
            std::make_shared<TConnection>(TConnection{socket, {}, new QTimer(socket)});
        open_.push_back(connection);
        connection->Idle->setSingleShot(true);
        connection->Idle->start(TMetricsServer::kIdleTimeOut);
        connect(connection->Idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        connect(socket, &QTcpSocket::readyRead, this, [this, connection] { Serve(*connection); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, c = connection.get()] {
            open_.removeIf([c](const auto& open) { return open.get() == c; });
        });
    }

private:
    void Serve(TConnection& c) {
        QTcpSocket& socket = *c.Socket;
        if (c.Refused) {
            socket.readAll();
            return;
        }
        c.Idle->start(TMetricsServer::kIdleTimeOut);
        // The most recently active last: the first to go when the connections run out.
        const auto at = std::find_if(open_.begin(), open_.end(),
                                     [&c](const auto& open) { return open.get() == &c; });
        if (at != open_.end()) open_.append(open_.takeAt(at - open_.begin()));
        c.Request += socket.readAll();
        while (socket.state() == QAbstractSocket::ConnectedState) {
            const qsizetype lineEnd = c.Request.indexOf("\r\n");
            const qsizetype end = c.Request.indexOf("\r\n\r\n");
            if (end > TMetricsServer::kMaxRequest ||
                (end < 0 && c.Request.size() > TMetricsServer::kMaxRequest))
                return Refuse(c, "431 Request Header Fields Too Large");
            if (end < 0) {
                // A request line is judged as soon as it is complete.
                if (lineEnd >= 0 && !ParseHead(c.Request.left(lineEnd + 2)))
                    return Refuse(c, "400 Bad Request");
                return;
            }
            const std::optional<TRequest> request = ParseHead(c.Request.left(end + 2));
            c.Request.remove(0, end + 4);
            if (!request) return Refuse(c, "400 Bad Request");
            // The endpoint takes no body; skipping one would mean holding or reading it.
            if (request->HasBody) return Refuse(c, "413 Content Too Large");
            if (socket.bytesToWrite() > TMetricsServer::kMaxUnread) return socket.abort();
            if (request->Path != "/metrics")
                socket.write(ErrorAnswer("404 Not Found", request->Close));
            else if (request->Method != "GET")
                socket.write(
                    ErrorAnswer("405 Method Not Allowed", request->Close, "Allow: GET\r\n"));
            else
                socket.write(Answer("200 OK", body_(), request->Close));
            if (request->Close) socket.disconnectFromHost();
        }
    }

    // Answers, ends the sending side and drops what the client still sends for a while:
    // closing at once with unread bytes would reset the connection, answer included.
    static void Refuse(TConnection& c, const char* status) {
        c.Refused = true;
        c.Request.clear();
        c.Socket->write(ErrorAnswer(status, true));
        c.Socket->flush();
        c.Socket->readAll();
        if (c.Socket->bytesToWrite() > 0) return c.Socket->disconnectFromHost();
        ::shutdown(static_cast<int>(c.Socket->socketDescriptor()), SHUT_WR);
        c.Idle->start(TMetricsServer::kLingerTime);
    }

    const TMetricsServer::TBody& body_;
    QList<std::shared_ptr<TConnection>> open_; // the least recently active first
};

} // namespace

class TMetricsServer::TThread : public QThread {
public:
    TThread(const TBody& body, QHostAddress address, quint16 port)
        : body_(body), address_(std::move(address)), port_(port) {}

    // The port listened on, or the reason it could not.
    std::future<std::pair<quint16, QString>> Started() { return started_.get_future(); }

protected:
    void run() override {
        TListener listener(body_);
        if (!listener.listen(address_, port_)) {
            started_.set_value({0, listener.errorString()});
            return;
        }
        started_.set_value({listener.serverPort(), QString()});
        exec();
    }

private:
    const TBody& body_;
    QHostAddress address_;
    quint16 port_;
    std::promise<std::pair<quint16, QString>> started_;
};

TMetricsServer::TMetricsServer(TBody body) : body_(std::move(body)) {}

TMetricsServer::~TMetricsServer() {
    if (!thread_) return;
    thread_->quit();
    thread_->wait();
}

std::optional<QString> TMetricsServer::Listen(const QHostAddress& address, quint16 port) {
    auto thread = std::make_unique<TThread>(body_, address, port);
    auto started = thread->Started();
    thread->start();
    const auto [listening, error] = started.get();
    if (listening == 0) {
        thread->wait();
        return error;
    }
    port_ = listening;
    thread_ = std::move(thread);
    return std::nullopt;
}

} // namespace velk
