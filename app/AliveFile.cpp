#include "app/AliveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFileInfo>

#include "app/StatePaths.h"

namespace velk {

QString AliveFilePath() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir)) dir = StateFolder();
    return dir + QStringLiteral("/velk-monitor.alive");
}

void TAliveFile::SetPath(const QString& path) {
    std::lock_guard lock(lock_);
    path_ = path;
    failing_ = false;
}

std::optional<QString> TAliveFile::Touch() {
    std::lock_guard lock(lock_);
    if (path_.isEmpty()) return std::nullopt;
    QString reason;
    if (!QDir().mkpath(QFileInfo(path_).path())) {
        reason = QStringLiteral("cannot create its folder");
    } else {
        // Never follows a link planted in its place.
        const int fd = ::open(QFile::encodeName(path_).constData(),
                              O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0 || ::futimens(fd, nullptr) != 0) reason = qt_error_string(errno);
        if (fd >= 0) ::close(fd);
    }
    if (reason.isEmpty()) {
        failing_ = false;
        return std::nullopt;
    }
    if (failing_) return std::nullopt;
    failing_ = true;
    return QStringLiteral("Unable to update the heartbeat file ") + path_ + QStringLiteral(": ") +
           reason;
}

} // namespace velk
