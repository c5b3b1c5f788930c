#include "tests/devices/ScriptedBox.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "devices/LinkProtocol.h"

namespace velk::test {

namespace {
sockaddr_in Address(const char* dotted) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(link::BoxPort);
    inet_pton(AF_INET, dotted, &a.sin_addr);
    return a;
}

QByteArray Header(std::uint8_t sequence, std::uint8_t type) {
    QByteArray header;
    header.append(static_cast<char>(sequence));
    header.append(static_cast<char>(type));
    return header;
}
} // namespace

ScriptedBox::ScriptedBox(Script script) : script_(std::move(script)) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    int yes = 1;
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const sockaddr_in self = Address("127.0.0.2");
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0)
        throw std::runtime_error("scripted box: cannot bind 127.0.0.2:192");
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
}

ScriptedBox::~ScriptedBox() {
    const std::uint64_t one = 1;
    if (::write(stopFd_, &one, sizeof one) != sizeof one) std::terminate();
    thread_.join();
    ::close(stopFd_);
    ::close(socket_);
}

std::vector<QByteArray> ScriptedBox::Commands() const {
    std::lock_guard guard(lock_);
    return commands_;
}

int ScriptedBox::CommandCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(commands_.size());
}

void ScriptedBox::Send(const QByteArray& datagram) {
    ::sendto(socket_, datagram.constData(), static_cast<std::size_t>(datagram.size()), 0,
             reinterpret_cast<const sockaddr*>(&host_), sizeof host_);
}

void ScriptedBox::Serve() {
    char buffer[2048];
    int lastCommand = -1;
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        socklen_t fromSize = sizeof host_;
        const ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&host_), &fromSize);
        if (n < 2) continue;
        const auto sequence = static_cast<std::uint8_t>(buffer[0]);
        const auto type = static_cast<std::uint8_t>(buffer[1]);
        if (type == link::FrameBoxData) continue; // the host's acknowledgement of our data
        Send(Header(sequence, link::FrameAckLow));
        if (type == link::FrameReset) {
            nextSequence_ = link::FirstBoxSequence;
            continue;
        }
        if (type != link::FrameCommand || sequence == lastCommand) continue;
        lastCommand = sequence;
        const QByteArray command(buffer + 2, static_cast<int>(n) - 2);
        {
            std::lock_guard guard(lock_);
            commands_.push_back(command);
        }
        for (const QByteArray& piece : script_(command)) {
            Send(Header(nextSequence_++, link::FrameBoxData) + piece);
        }
    }
}

} // namespace velk::test
