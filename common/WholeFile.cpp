#include "common/WholeFile.h"

#include <QSaveFile>

namespace velk {

std::optional<QString> WriteWholeFile(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    // Unbuffered: QSaveFile::commit() does not report a buffer it failed to flush, and a full
    // disk takes part of a write without an error; the next write then tells the reason.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) return file.errorString();
        done += n;
    }
    if (!file.commit()) return file.errorString();
    return std::nullopt;
}

} // namespace velk
