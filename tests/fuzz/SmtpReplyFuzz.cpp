// What an SMTP server sends, as the mail client reads it: the byte stream, cut into pieces of
// a size the input chooses, through the reply reader, then the lines through the reply
// gathering the client runs after every command. However the bytes arrive, the client must
// see one line per line the server sent (cut to the reader's limit), nothing made up and
// nothing shifted; every reply must be a final line whose code keeps a refusal a refusal.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "mail/ReplyReader.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace velk;

namespace {

// The real limit, and small ones so that overlong lines are within the fuzzer's reach.
constexpr std::array<qsizetype, 8> kLimits{kReplyLineLimit, 1, 2, 4, 5, 8, 16, 64};

// The lines the server sent, each cut to `limit` bytes. A last line without its LF is lost
// when the connection closes, unless `limit` bytes of it had arrived.
std::vector<QByteArray> SentLines(const QByteArray& stream, qsizetype limit) {
    std::vector<QByteArray> lines;
    for (qsizetype start = 0;;) {
        const qsizetype end = stream.indexOf('\n', start);
        if (end < 0) {
            if (stream.size() - start >= limit) lines.push_back(stream.mid(start, limit));
            return lines;
        }
        lines.push_back(stream.mid(start, std::min(end + 1 - start, limit)));
        start = end + 1;
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void CheckReply(const TSmtpReply& reply) {
    const QByteArray& line = reply.line;
    FUZZ_CHECK(!IsContinuationLine(line));
    FUZZ_CHECK(reply.number == ReplyCodeOf(line) && reply.number >= 0);
    // Every command's refusal limit lies between 299 and 399.
    if (line.size() >= 3 && IsDigit(line[1]) && IsDigit(line[2])) {
        if (line[0] == '4' || line[0] == '5') FUZZ_CHECK(reply.number > 399);
        if (line[0] == '2' && (line.size() == 3 || !IsDigit(line[3])))
            FUZZ_CHECK(reply.number >= 200 && reply.number <= 299);
    }
    // A line with a reply code reads as a code of three digits.
    if (HasReplyCode(line)) FUZZ_CHECK(reply.number >= 200 && reply.number <= 599);
    // An EHLO reply's lines: the last is the reply, the count bounded, and a capability
    // found is on a line after the server's name.
    FUZZ_CHECK(!reply.lines.isEmpty() && reply.lines.back() == line);
    FUZZ_CHECK(reply.lines.size() <= kReplyLinesKept + 1);
    for (const char* keyword : {"STARTTLS", "AUTH"})
        if (EhloKeyword(reply.lines, keyword)) FUZZ_CHECK(reply.lines.size() > 1);
    const QString message = ReplyMessage(line);
    FUZZ_CHECK(!message.contains(QLatin1Char('\n')) && !message.endsWith(QLatin1Char('\r')));
}

} // namespace

// Byte 0: bits 0-3 the piece size, from 1 to 16 bytes or (bit 4 set) from 64 to 1024 as a
// socket read gives them; bits 5-7 the line limit. Then the stream.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1) return 0;
    const qsizetype piece = ((Data[0] & 16) ? 64 : 1) * (1 + (Data[0] & 15));
    const qsizetype limit = kLimits[Data[0] >> 5];
    const QByteArray stream(reinterpret_cast<const char*>(Data + 1),
                            static_cast<qsizetype>(Size - 1));

    TReplyReader reader(limit);
    std::vector<QByteArray> lines;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        reader.Append(stream.constData() + at, std::min(piece, stream.size() - at));
        while (std::optional<QByteArray> line = reader.TakeLine())
            lines.push_back(*std::move(line));
    }
    FUZZ_CHECK(lines == SentLines(stream, limit));

    // The replies, until the connection's end reads as an empty line.
    const auto finals = std::count_if(lines.begin(), lines.end(),
                                      [](const QByteArray& l) { return !IsContinuationLine(l); });
    std::size_t next = 0;
    for (qsizetype replies = 0;; ++replies) {
        const TSmtpReply reply =
            ReadReplyFrom([&] { return next < lines.size() ? lines[next++] : QByteArray(); });
        if (reply.line.isEmpty()) {
            FUZZ_CHECK(replies == finals && next == lines.size());
            return 0;
        }
        CheckReply(reply);
    }
}
