#pragma once
// The server's side of the SMTP dialogue apart from the socket: the received bytes cut into
// lines, the lines gathered into replies, and the code a reply line stands for.

#include <functional>
#include <optional>

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace velk {

// The longest reply line kept, the size of the client's receive buffer.
inline constexpr qsizetype kReplyLineLimit = 65536;
// The lines of one reply kept for their content (an EHLO reply's capabilities); a server
// sending more only makes the client wait for the last one.
inline constexpr qsizetype kReplyLinesKept = 100;

// Holds what the server sent until whole lines have arrived.
class TReplyReader {
public:
    explicit TReplyReader(qsizetype lineLimit = kReplyLineLimit) : lineLimit_(lineLimit) {}

    void Append(const char* data, qsizetype size) { received_.append(data, size); }
    // Forgets everything received (the connection is gone).
    void Clear() {
        received_.clear();
        scanned_ = 0;
        skipping_ = false;
    }
    // The next line with its LF, or the first lineLimit bytes of a longer one; none while
    // neither has arrived. The rest of a longer line is dropped up to its LF, so that each
    // line the server sends is one line here, however its bytes arrive.
    std::optional<QByteArray> TakeLine();

private:
    qsizetype lineLimit_;
    QByteArray received_;
    qsizetype scanned_ = 0; // the bytes at the front known to hold no LF
    bool skipping_ = false; // inside the rest of an overlong line
};

struct TSmtpReply {
    QByteArray line; // the reply's last line, with its line end; empty when the server closed
    qint16 number = 0;
    QByteArrayList lines; // the first kReplyLinesKept lines, then the last one
};

// One reply from lines as `nextLine` reads them (an empty line: the connection closed).
// Lines are read while the current one is a continuation line; the last stands as the reply.
TSmtpReply ReadReplyFrom(const std::function<QByteArray()>& nextLine);

// Value of the line's leading decimal digits (at most 10); 0 when it starts with no digit.
// Values beyond 32767 read as 32767 so that they stay refusals.
qint16 ReplyCodeOf(const QByteArray& line);

// True when the line begins with a reply code: three digits, the first 2 to 5, followed by a
// blank, '-' or the line's end. Whatever else a peer sends ("-ERR", "OK") says nothing.
bool HasReplyCode(const QByteArray& line);

// True for a line that announces more lines of the same reply: it begins with a blank or
// has '-' as its fourth character.
bool IsContinuationLine(const QByteArray& line);

// The parameters of `keyword` (compared without regard to case) when the lines of an EHLO
// reply list it: "AUTH LOGIN PLAIN" gives {"LOGIN", "PLAIN"}. The first line names the server
// and offers nothing.
std::optional<QByteArrayList> EhloKeyword(const QByteArrayList& lines, const QByteArray& keyword);

// A reply line as an exception message: without its line end.
QString ReplyMessage(const QByteArray& line);

} // namespace velk
