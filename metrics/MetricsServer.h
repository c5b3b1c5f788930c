#pragma once
// The HTTP endpoint that serves the metrics: GET /metrics answers 200 with the text the body
// function gives, any other path 404 and any other method 405. It runs on a thread of its
// own, so no client, however slow or hostile, holds up a tick or the window; and it bounds
// what a client can make it hold: the connections open at once, the size of a request, the
// answers a client leaves unread, and the time a connection may stay silent.
//
// A few lines on QTcpServer rather than Qt's HTTP server module: the module of Debian 12
// (Qt 6.4) sets no bound on any of these and closes a malformed request without an answer.

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QHostAddress>
#include <QString>

namespace velk {

class TMetricsServer {
public:
    // Called on the server's thread for each scrape.
    using TBody = std::function<QByteArray()>;

    // Beyond, a new connection closes the one silent longest: clients that only hold
    // connections open cannot lock a scraper out.
    static constexpr int kMaxConnections = 64;
    static constexpr qint64 kMaxRequest = 8192;   // bytes of request line and headers
    static constexpr qint64 kMaxUnread = 1 << 20; // bytes of answers left unread
    static constexpr int kIdleTimeOut = 30000;    // ms without a request before closing
    // After refusing a request: ms its remaining bytes are read and dropped, so that the
    // client gets the answer rather than a reset.
    static constexpr int kLingerTime = 2000;

    explicit TMetricsServer(TBody body);
    // Closes every connection and stops the thread.
    ~TMetricsServer();
    TMetricsServer(const TMetricsServer&) = delete;
    TMetricsServer& operator=(const TMetricsServer&) = delete;

    // Listens on `address`:`port` (0: any free port); the reason when it cannot.
    std::optional<QString> Listen(const QHostAddress& address, quint16 port);
    // The port listened on; 0 before Listen succeeded.
    quint16 Port() const { return port_; }

private:
    class TThread;
    TBody body_;
    std::unique_ptr<TThread> thread_;
    quint16 port_ = 0;
};

} // namespace velk
