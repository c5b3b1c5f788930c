#pragma once
// A loopback SMTP peer answering from a script, for the mail tests and the main window's
// alarm mail tests: refusals, hang-ups, stalls, and servers that say nothing at all.

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "tests/TestSupport.h"

namespace velk::test {

// A loopback SMTP peer answering from a script, for what real servers rarely do. It runs
// on the main thread, served while the client waits, and records what it receives.
class ScriptedServer {
public:
    using Lines = std::vector<std::string>;
    using Clock = std::chrono::steady_clock;

    // Reply per verb ("<greeting>", "HELO", ..., "." for the end of the data): "" says
    // nothing, "<close>" hangs up, "<stall>" answers 354 and reads no more, "<trickle>text"
    // sends the text a byte every 0.4 s.
    // Listens on `address`:`port` (a free port when 0); `connected` runs when a client has
    // connected and been greeted.
    explicit ScriptedServer(
        std::initializer_list<std::pair<const std::string, std::string>> replies,
        const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0,
        std::function<void()> connected = {})
        : replies_(replies), connected_(std::move(connected)) {
        replies_.insert({{"<greeting>", "220 scripted.example ready\r\n"},
                         {"DATA", "354 go ahead\r\n"},
                         {".", "250 accepted\r\n"},
                         {"QUIT", "221 bye\r\n"}});
        server_.listen(address, port);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            socket_ = server_.nextPendingConnection();
            QObject::connect(socket_, &QTcpSocket::readyRead, [this] { Read(); });
            QObject::connect(socket_, &QTcpSocket::disconnected, [this] { closed_ = true; });
            Reply("<greeting>");
            if (connected_) connected_();
        });
        QObject::connect(&trickleTimer_, &QTimer::timeout, [this] {
            if (trickle_.empty()) return trickleTimer_.stop();
            socket_->write(trickle_.data(), 1);
            trickle_.erase(0, 1);
        });
    }
    int Port() const { return server_.serverPort(); }
    // Serves until the client has closed the connection (at most 10 s); true if it did.
    bool WaitClosed() {
        return Eventually([this] { return closed_; }, 10000);
    }

    Lines commands;
    std::vector<Clock::time_point> at; // when each command arrived
    std::string data;                  // between DATA and the final "."

private:
    void Read() {
        while (!stalled_ && socket_->canReadLine()) {
            const std::string line = socket_->readLine().toStdString();
            if (inData_ && line != ".\r\n") {
                data += line;
                continue;
            }
            const std::string verb = inData_ ? "." : line.substr(0, line.find_first_of(" :\r\n"));
            if (!inData_) {
                commands.push_back(line);
                at.push_back(Clock::now());
            }
            inData_ = verb == "DATA" && replies_.at("DATA").rfind("354", 0) == 0;
            Reply(verb);
        }
    }
    void Reply(const std::string& verb) {
        const auto found = replies_.find(verb);
        const std::string reply = found == replies_.end() ? "250 OK\r\n" : found->second;
        if (reply == "<close>") return socket_->disconnectFromHost();
        if (reply.rfind("<trickle>", 0) == 0) {
            trickle_ = reply.substr(9);
            return trickleTimer_.start(400);
        }
        stalled_ = reply == "<stall>";
        if (stalled_) socket_->setReadBufferSize(1);
        socket_->write(stalled_ ? "354 go ahead\r\n" : reply.c_str());
    }

    std::map<std::string, std::string> replies_;
    std::function<void()> connected_;
    QTcpServer server_;
    QTcpSocket* socket_ = nullptr;
    QTimer trickleTimer_;
    std::string trickle_;
    bool inData_ = false, stalled_ = false, closed_ = false;
};

} // namespace velk::test
