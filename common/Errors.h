#pragma once
// Base of every exception the program raises: one English message, shown or logged unchanged.

#include <stdexcept>
#include <string>

#include <QString>

namespace velk {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    explicit Exception(const QString& message) : std::runtime_error(message.toStdString()) {}
    // Literal texts would otherwise be ambiguous between the two above.
    explicit Exception(const char* message) : std::runtime_error(message) {}
    QString Message() const { return QString::fromUtf8(what()); }
};

} // namespace velk
