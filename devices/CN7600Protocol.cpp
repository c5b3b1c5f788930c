#include "devices/CN7600Protocol.h"

#include <algorithm>
#include <cmath>

#include "common/NumberFormat.h"
#include "devices/InstrumentFrame.h"

namespace velk::cn7600 {

const TReadOperation kReadPV{"00", 10, "PV"};
const TReadOperation kReadSP1{"0100", 8, "RD SP1"};
const TReadOperation kReadAlLo{"0104", 8, "RD AlLo"};
const TReadOperation kReadPOV{"011D", 8, "RD POV"};
const TWriteOperation kWriteSP1{"0200", "WR SP1"};
const TWriteOperation kWriteAlLo{"0204", "WR AlLo"};

namespace {

constexpr int kWriteLimit = 2730; // tenths of a degree

[[noreturn]] void BadFormat(const char* name) {
    throw ECN7600connection(QStringLiteral("Bad received response (Command: %1, bad format)!")
                                .arg(QLatin1String(name)));
}

// Integer value of `count` characters from 1-based `position`.
int IntegerAt(const QString& reply, int position, int count, const char* name) {
    const auto value = ParseInteger(reply.mid(position - 1, count));
    if (!value || reply.size() < position - 1 + count) BadFormat(name);
    return *value;
}

} // namespace

std::uint8_t Checksum(const QByteArray& addressDigits, const QByteArray& command) {
    unsigned sum = 0;
    for (char c : addressDigits + command)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(sum & 0xFF);
}

QByteArray BuildRequest(std::uint8_t address, const QByteArray& command) {
    const QByteArray digits = HexDigits(address, 2);
    QByteArray frame;
    frame.append(static_cast<char>(kSTX));
    frame.append('L');
    frame.append(digits);
    frame.append(command);
    frame.append(HexDigits(Checksum(digits, command), 2));
    frame.append(static_cast<char>(kETX));
    return RequestWithLength(frame);
}

void CheckReplyLength(const TReadOperation& op, const QString& reply) {
    if (reply.size() != op.ReplyLength)
        throw ECN7600connection(
            QStringLiteral("Bad received response (Command: %1)!").arg(QLatin1String(op.Name)));
}

float DecodePV(const QString& reply) {
    const bool negative = IntegerAt(reply, 4, 1, kReadPV.Name) % 2 != 0;
    const double magnitude = IntegerAt(reply, 5, 4, kReadPV.Name) * 0.1;
    return static_cast<float>(negative ? -magnitude : magnitude);
}

float DecodeSetPoint(const TReadOperation& op, const QString& reply) {
    const bool negative = reply.left(2) != QLatin1String("00");
    const double magnitude = IntegerAt(reply, 3, 4, op.Name) * 0.1;
    return static_cast<float>(negative ? -magnitude : magnitude);
}

float DecodePOV(const QString& reply) {
    return static_cast<float>(IntegerAt(reply, 4, 3, kReadPOV.Name));
}

QByteArray WriteCommand(const TWriteOperation& op, float value) {
    if (std::isnan(value))
        throw ECN7600connection(
            QStringLiteral("Internal error (Command: %1)!").arg(QLatin1String(op.Name)));
    // The small allowance keeps a value such as 0.7, stored as 0.69999999, at 7 tenths.
    const double tenths = std::min(std::fabs(static_cast<double>(value)) * 10.0 + 1e-4,
                                   static_cast<double>(kWriteLimit));
    const QByteArray digits =
        QByteArray::number(static_cast<int>(std::trunc(tenths))).rightJustified(4, '0');
    return QByteArray(op.Prefix) + digits + (value < 0 ? "FF" : "00");
}

void CheckWriteReply(const QString& reply) {
    if (!reply.isEmpty() && reply.at(0) == QLatin1Char('N'))
        throw ECN7600connection(QStringLiteral("Error message:  code ") + reply.mid(4, 2));
}

} // namespace velk::cn7600
