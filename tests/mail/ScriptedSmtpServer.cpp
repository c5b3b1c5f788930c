#include "tests/mail/ScriptedSmtpServer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velk::test {

ScriptedSmtpServer::ScriptedSmtpServer(Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int pipeEnds[2];
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("scripted SMTP server: cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    thread_ = std::thread([this] { Run(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

std::vector<ScriptedSmtpServer::Line> ScriptedSmtpServer::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::string> ScriptedSmtpServer::CommandTexts() const {
    std::vector<std::string> texts;
    for (const Line& line : Commands())
        texts.push_back(line.text);
    return texts;
}

std::string ScriptedSmtpServer::Data() const {
    std::lock_guard lock(mutex_);
    return data_;
}

bool ScriptedSmtpServer::WaitForClientClose(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return closed_.wait_for(lock, limit, [this] { return clientClosed_; });
}

void ScriptedSmtpServer::Run() {
    pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {listener_, POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0 || (fds[0].revents & POLLIN)) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return;
    Serve(connection);
    ::close(connection);
}

bool ScriptedSmtpServer::Reply(int connection, const std::string& verb,
                               const std::string& fallback) {
    const auto found = script_.replies.find(verb);
    const std::string reply = found == script_.replies.end() ? fallback : found->second;
    if (reply == kSilent) return true;
    if (reply == kClose) return false;
    if (reply == kReset) {
        const linger abortive{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        return false;
    }
    const std::string text = reply == kStall ? std::string("354 go ahead\r\n") : reply;
    return ::send(connection, text.data(), text.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(text.size());
}

void ScriptedSmtpServer::Serve(int connection) {
    if (script_.greeting != kSilent) {
        if (!Reply(connection, "<greeting>", script_.greeting)) return;
    }
    std::string pending;
    bool inData = false;
    for (;;) {
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {connection, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || (fds[0].revents & POLLIN)) return;
        char buffer[65536];
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            std::lock_guard lock(mutex_);
            clientClosed_ = true;
            closed_.notify_all();
            return;
        }
        pending.append(buffer, static_cast<size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            if (inData) {
                if (line != ".\r\n") {
                    std::lock_guard lock(mutex_);
                    data_ += line;
                    continue;
                }
                inData = false;
                if (!Reply(connection, ".", "250 accepted\r\n")) return;
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                commands_.push_back({line, std::chrono::steady_clock::now()});
            }
            std::string verb = line.substr(0, line.find_first_of(" :\r\n"));
            std::transform(verb.begin(), verb.end(), verb.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            if (verb == "DATA") {
                const auto found = script_.replies.find("DATA");
                if (found != script_.replies.end() && found->second == kStall) {
                    Reply(connection, "DATA", "");
                    // Keep the connection open but never read again, until told to stop.
                    pollfd wake = {wakeRead_, POLLIN, 0};
                    ::poll(&wake, 1, -1);
                    return;
                }
                inData = found == script_.replies.end() || found->second.rfind("354", 0) == 0;
                if (!Reply(connection, "DATA", "354 go ahead\r\n")) return;
                continue;
            }
            if (!Reply(connection, verb, verb == "QUIT" ? "221 bye\r\n" : "250 OK\r\n")) return;
        }
    }
}

} // namespace velk::test
