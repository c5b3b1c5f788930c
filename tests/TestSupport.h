#pragma once
// Helpers shared by the test programs.

#include <ostream>

#include <QByteArray>
#include <QString>

// Lets GoogleTest print Qt strings readably in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << '"' << bytes.toStdString() << '"'; }

namespace velk::test {

// Folder of the built programs (velk-boxsim and friends).
QString BinDir();

// True when the test runs where it may bind UDP port 192 (a private network namespace or
// a capable process); tests that need it skip with a clear reason otherwise.
bool CanBindPort192();

} // namespace velk::test
