#include "tests/TestSupport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>

namespace velk::test {

QString BinDir() {
    const QByteArray dir = qgetenv("VELK_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : QString::fromLocal8Bit(dir);
}

bool CanBindPort192() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(192);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 99);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace velk::test
