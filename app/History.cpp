#include "app/History.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <QDir>
#include <QFile>

#include "app/Display.h"
#include "common/DateTimeText.h"
#include "history/ReadingsFile.h"

namespace velk {

namespace {

// Closes its descriptor.
struct TFd {
    int Fd;
    ~TFd() {
        if (Fd >= 0) ::close(Fd);
    }
};

// Size of the file up to the end of its last complete line (-1 when it cannot be read).
off_t CompleteLinesSize(int fd, off_t size) {
    char chunk[4096];
    for (off_t end = size; end > 0;) {
        const off_t start = std::max<off_t>(0, end - off_t{sizeof chunk});
        if (::pread(fd, chunk, static_cast<std::size_t>(end - start), start) != end - start)
            return -1;
        for (off_t i = end - start; i > 0; --i)
            if (chunk[i - 1] == '\n') return start + i;
        end = start;
    }
    return 0;
}

// False with errno set when not every byte went to the file.
bool WriteAll(int fd, const QByteArray& data) {
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<std::size_t>(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

} // namespace

THistory::THistory(QString folder, TClock clock, TNotice notice)
    : folder_(std::move(folder)), clock_(std::move(clock)), notice_(std::move(notice)) {}

QByteArray THistory::ReadingsHeader() {
    return velk::ReadingsHeader();
}

void THistory::AppendEvent(const QString& line) {
    WriteEvent(clock_(), line);
    Report();
}

void THistory::AppendReadings(const TDisplay& shown) {
    const QDateTime when = clock_();
    QString line = IsoDateTimeText(when);
    for (const TQuantityInfo* column : ReadingsColumns()) {
        const TShownReading& reading = shown.Readings[column->Quantity];
        line += QLatin1Char(',') + (reading.Live ? reading.Text : QString());
    }
    Append(readings_, ReadingsFileName(when.date()), line.toUtf8() + '\n', ReadingsHeader());
    Report();
}

bool THistory::WriteEvent(const QDateTime& when, const QString& line) {
    QString text = IsoDateTimeText(when) + QStringLiteral("  ") + line;
    // One line per event, whatever the text holds.
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return Append(events_, EventsFileName(when.date()), text.toUtf8() + '\n', {});
}

bool THistory::Append(TFile& file, const QString& name, const QByteArray& line,
                      const QByteArray& header) {
    QDir().mkpath(folder_); // a failure shows in the open below
    const QString path = folder_ + QLatin1Char('/') + name;
    auto fail = [&](const QString& reason) {
        file.Failing = true;
        file.Reason = reason + QStringLiteral(" (") + path + QLatin1Char(')');
        return false;
    };
    // What is opened here gets its last line cut and is appended to: never a file a link
    // planted in its place points to, and nothing but a regular file (a pipe would block).
    const TFd f{::open(QFile::encodeName(path).constData(),
                       O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644)};
    if (f.Fd < 0 && errno != ELOOP) return fail(qt_error_string(errno));
    struct stat status {};
    if (f.Fd < 0 || ::fstat(f.Fd, &status) != 0 || !S_ISREG(status.st_mode))
        return fail(QStringLiteral("Not a regular file"));
    off_t size = status.st_size;
    if (file.Checked != name) {
        // Once per file and run: a line that a crash or a full disk cut short would claim a
        // wrong value (a number missing its last digits), so it goes.
        const off_t complete = CompleteLinesSize(f.Fd, size);
        if (complete < 0 || (complete != size && ::ftruncate(f.Fd, complete) != 0))
            return fail(qt_error_string(errno));
        size = complete;
        file.Checked = name;
    }
    const QByteArray data = size == 0 ? header + line : line;
    if (!WriteAll(f.Fd, data)) {
        const QString reason = qt_error_string(errno);
        // No part of the line stays for the next one to continue; where even that fails, the
        // next write looks for a cut line again.
        file.Checked = ::ftruncate(f.Fd, size) == 0 ? name : QString();
        return fail(reason);
    }
    file.Failing = false;
    return true;
}

void THistory::Report() {
    if (!reported_) {
        if (!events_.Failing && !readings_.Failing) return;
        reported_ = true;
        failedSince_ = clock_();
        const QString text = QStringLiteral("Unable to write the history: ") +
                             (readings_.Failing ? readings_ : events_).Reason;
        if (!events_.Failing) WriteEvent(failedSince_, text); // only the readings file failed
        notice_(text);
        return;
    }
    // A failing readings file is tried again at the next tick; the event log is tried again
    // with the line that says the history is written again.
    if (readings_.Failing) return;
    const QString text = QStringLiteral("History written again in ") + folder_ +
                         QStringLiteral(" (lines from ") + DateTimeText(failedSince_) +
                         QStringLiteral(" on are missing)");
    if (!WriteEvent(clock_(), text)) return;
    reported_ = false;
    notice_(text);
}

} // namespace velk
