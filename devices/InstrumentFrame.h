#pragma once
// What every instrument request shares on its way into the box: two length bytes in front of
// the instrument frame (the count includes them, high byte first) and two filler bytes behind.

#include <QByteArray>

namespace velk {

// Longest request the drivers hand to the link, fillers included.
constexpr int kMaxInstrumentRequest = 200;

// Upper-case hexadecimal digits, left-padded with "0" to `width`.
inline QByteArray HexDigits(unsigned value, int width) {
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

inline QByteArray RequestWithLength(const QByteArray& frameBody) {
    const int n = static_cast<int>(frameBody.size()) + 2;
    QByteArray request;
    request.reserve(n + 2);
    request.append(static_cast<char>((n >> 8) & 0xFF));
    request.append(static_cast<char>(n & 0xFF));
    request.append(frameBody);
    request.append(2, '\0'); // fillers; the box ignores them
    return request;
}

} // namespace velk
