#include "devices/PortClaim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include "devices/UDPSocketComponent.h"

namespace velk {

TPortClaim::~TPortClaim() {
    Release();
}

void TPortClaim::Take(int Port) {
    if (Socket_ >= 0) return;
    // Close-on-exec: a program started from this one must not keep the claim.
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw ESocketUDPError("Error during Creation (UDP socket)");
    const std::string name = "velk-monitor/udp-port/" + std::to_string(Port);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading zero byte makes the name abstract: no file, gone with the last socket.
    name.copy(address.sun_path + 1, sizeof address.sun_path - 2);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE)
            throw ESocketUDPError("Error during Creation (UDP socket): port " +
                                  std::to_string(Port) +
                                  " is already in use by another monitor or velk-probe");
        throw ESocketUDPError("Error during Creation (UDP socket)");
    }
    Socket_ = fd;
}

void TPortClaim::Release() {
    if (Socket_ < 0) return;
    ::close(Socket_);
    Socket_ = -1;
}

} // namespace velk
