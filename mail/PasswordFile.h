#pragma once
// The SMTP password, kept in a file of its own that only its owner may read (as ssh keeps
// its keys), never in the settings file. Messages name the file, never what it holds.

#include <QString>

namespace velk {

// The file's first line, without its line end. Raises Exception when the file is missing or
// unreadable, is not a regular file of this user, or others may read or write it.
QString ReadPasswordFile(const QString& path);

// Replaces the file by one holding `password`, created with mode 0600 (its folder made if
// need be). Raises Exception when it cannot be written.
void WritePasswordFile(const QString& path, const QString& password);

} // namespace velk
