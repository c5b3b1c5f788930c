#include "tests/devices/ScriptedPeer.h"

#include "devices/InstrumentFrame.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace velk::test {

TBytes CommandPayload(const std::string& Body) {
    const QByteArray request = RequestWithLength(QByteArray::fromStdString(Body));
    return TBytes(request.begin(), request.end());
}

TScriptedPeer::TScriptedPeer(const std::string& Address, std::uint16_t Port) {
    Socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int yes = 1;
    ::setsockopt(Socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(Port);
    ::inet_pton(AF_INET, Address.c_str(), &local.sin_addr);
    if (::bind(Socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        throw std::runtime_error("scripted peer cannot bind " + Address + ":" +
                                 std::to_string(Port) + ": " + std::strerror(errno));
}

TScriptedPeer::~TScriptedPeer() {
    ::close(Socket_);
}

std::optional<TBytes> TScriptedPeer::Receive(std::chrono::milliseconds Timeout) {
    pollfd fd{Socket_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(Timeout.count())) <= 0) return std::nullopt;
    TBytes buffer(65536);
    const ssize_t count = ::recv(Socket_, buffer.data(), buffer.size(), 0);
    if (count < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(count));
    return buffer;
}

void TScriptedPeer::Send(const TBytes& Datagram) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(192);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(Socket_, Datagram.data(), Datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

} // namespace velk::test
