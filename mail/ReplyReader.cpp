#include "mail/ReplyReader.h"

#include <algorithm>

namespace velk {

std::optional<QByteArray> TReplyReader::TakeLine() {
    // Bytes searched before are not searched again: a line arriving a byte at a time costs
    // no more than one arriving whole.
    qsizetype end = received_.indexOf('\n', scanned_);
    if (skipping_) {
        if (end < 0) {
            received_.clear();
            scanned_ = 0;
            return std::nullopt;
        }
        received_.remove(0, end + 1);
        skipping_ = false;
        end = received_.indexOf('\n');
    }
    // The tail of an overlong line read as a line of its own would stand as a reply with
    // code 0, taken as success, and shift every later reply by one.
    const bool overlong = end < 0 ? received_.size() >= lineLimit_ : end >= lineLimit_;
    if (end < 0 && !overlong) {
        scanned_ = received_.size();
        return std::nullopt;
    }
    const qsizetype length = overlong ? lineLimit_ : end + 1;
    QByteArray line = received_.left(length);
    received_.remove(0, overlong && end >= 0 ? end + 1 : length);
    skipping_ = overlong && end < 0;
    scanned_ = 0;
    return line;
}

TSmtpReply ReadReplyFrom(const std::function<QByteArray()>& nextLine) {
    QByteArrayList lines{nextLine()};
    while (IsContinuationLine(lines.back())) {
        QByteArray next = nextLine();
        if (lines.size() > kReplyLinesKept) lines.removeLast();
        lines.append(std::move(next));
    }
    const qint16 number = ReplyCodeOf(lines.back());
    return {lines.back(), number, std::move(lines)};
}

std::optional<QByteArrayList> EhloKeyword(const QByteArrayList& lines, const QByteArray& keyword) {
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (!HasReplyCode(line) || line.at(0) != '2') continue;
        QByteArrayList words = line.mid(4).simplified().split(' ');
        if (words.first().compare(keyword, Qt::CaseInsensitive) != 0) continue;
        words.removeFirst();
        return words;
    }
    return std::nullopt;
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

bool HasReplyCode(const QByteArray& line) {
    const auto digit = [&line](qsizetype i, char low, char high) {
        return line.size() > i && line.at(i) >= low && line.at(i) <= high;
    };
    if (!digit(0, '2', '5') || !digit(1, '0', '9') || !digit(2, '0', '9')) return false;
    if (line.size() == 3) return true;
    const char after = line.at(3);
    return after == ' ' || after == '-' || after == '\r' || after == '\n';
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
