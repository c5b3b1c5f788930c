#pragma once
// Small helpers of the instrument tests: byte strings written as numbers, and the message of
// the exception a call raises.

#include <initializer_list>

#include <QByteArray>
#include <QString>

namespace velk::test {

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The message of the E that `f` raises, or a text saying nothing was raised.
template <class E, class F> QString MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<nothing raised>");
}

} // namespace velk::test
