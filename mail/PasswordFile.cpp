#include "mail/PasswordFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include "common/Errors.h"

namespace velk {

namespace {

constexpr qsizetype kLongestPassword = 4096;

[[noreturn]] void Fail(const char* what, const QString& path, int error) {
    throw Exception(
        QStringLiteral("Unable to %1 the SMTP password file %2: %3")
            .arg(QString::fromLatin1(what), path, QString::fromLocal8Bit(std::strerror(error))));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now, so that a failing close is seen.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

} // namespace

QString ReadPasswordFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // A link could lead the program to read what the operator never meant as a password.
    Descriptor file(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
    if (file.Get() < 0) Fail("read", path, errno);
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) Fail("read", path, errno);
    if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
        throw Exception(QStringLiteral("The SMTP password file %1 must be a regular file of "
                                       "your own")
                            .arg(path));
    if ((status.st_mode & 077) != 0)
        throw Exception(
            QStringLiteral("Permissions %1 for the SMTP password file %2 are too "
                           "open: it must be readable by you alone (chmod 600 %2)")
                .arg(QString::number(status.st_mode & 07777, 8).rightJustified(4, '0'), path));
    QByteArray text(kLongestPassword, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < text.size()) {
        const ssize_t n =
            ::read(file.Get(), text.data() + size, static_cast<size_t>(text.size() - size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("read", path, errno);
        if (n == 0) break;
        size += n;
    }
    text.truncate(size);
    const qsizetype end = text.indexOf('\n');
    if (end >= 0) text.truncate(end);
    if (text.endsWith('\r')) text.chop(1);
    return QString::fromUtf8(text);
}

void WritePasswordFile(const QString& path, const QString& password) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) Fail("write", path, EACCES);
    // Written aside and renamed over: the old password stays whole until the new one is.
    const QString temporary = path + QStringLiteral(".new");
    const QByteArray name = QFile::encodeName(temporary);
    ::unlink(name.constData());
    Descriptor file(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.Get() < 0) Fail("write", path, errno);
    const QByteArray text = password.toUtf8() + '\n';
    qsizetype written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(file.Get(), text.constData() + written,
                                  static_cast<size_t>(text.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::unlink(name.constData());
            Fail("write", path, error);
        }
        written += n;
    }
    if (::fsync(file.Get()) != 0 || file.Close() != 0 ||
        ::rename(name.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        Fail("write", path, error);
    }
}

} // namespace velk
