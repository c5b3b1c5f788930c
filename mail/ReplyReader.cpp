#include "mail/ReplyReader.h"

#include <algorithm>

namespace velk {

std::optional<QByteArray> TReplyReader::TakeLine() {
    const qsizetype end = received_.indexOf('\n');
    if (end < 0 && received_.size() < lineLimit_) return std::nullopt;
    const qsizetype length = end >= 0 ? end + 1 : lineLimit_;
    QByteArray line = received_.left(length);
    received_.remove(0, length);
    return line;
}

TSmtpReply ReadReplyFrom(const std::function<QByteArray()>& nextLine) {
    QByteArray line = nextLine();
    while (IsContinuationLine(line))
        line = nextLine();
    const qint16 number = ReplyCodeOf(line);
    return {std::move(line), number};
}

qint16 ReplyCodeOf(const QByteArray& line) {
    qint64 value = 0;
    for (int i = 0; i < line.size() && i < 10; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
    }
    return static_cast<qint16>(std::min<qint64>(value, 32767));
}

bool IsContinuationLine(const QByteArray& line) {
    return (!line.isEmpty() && line.at(0) == ' ') || (line.size() >= 4 && line.at(3) == '-');
}

QString ReplyMessage(const QByteArray& line) {
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    return QString::fromUtf8(text);
}

} // namespace velk
