#pragma once
// Replacing a file whole, so that a reader never finds it cut short.

#include <optional>

#include <QByteArray>
#include <QString>

namespace velk {

// Replaces the file `fileName` by `bytes` whole, through a temporary file beside it: the old
// file stays as it was when the new one cannot be written completely (full disk, no right
// to write, no such folder). Returns why it failed, or nothing.
std::optional<QString> WriteWholeFile(const QString& fileName, const QByteArray& bytes);

} // namespace velk
