#pragma once
// The temperature controllers' protocol without the transport: request frames with their
// length bytes and checksum, the read operations' command texts and reply checks, decoding of
// the reply texts and the write commands. Every failure is an ECN7600connection.

#include <cstdint>

#include <QByteArray>
#include <QString>

#include "common/Errors.h"

namespace velk {

class ECN7600connection : public Exception {
public:
    using Exception::Exception;
};

namespace cn7600 {

constexpr std::uint8_t kSTX = 0x02;
constexpr std::uint8_t kETX = 0x03;
constexpr std::uint8_t kACK = 0x06;
// Reply frames of 5 bytes or less carry no reply text; the text starts after 3 bytes.
constexpr int kMinReplyLength = 6;
constexpr int kReplyTextOffset = 3;

// The four read operations: command text, expected reply text length, name in messages.
struct TReadOperation {
    const char* Command;
    int ReplyLength;
    const char* Name;
};
extern const TReadOperation kReadPV;
extern const TReadOperation kReadSP1;
extern const TReadOperation kReadAlLo;
extern const TReadOperation kReadPOV;

// The two writes: command prefix and name in messages.
struct TWriteOperation {
    const char* Prefix;
    const char* Name;
};
extern const TWriteOperation kWriteSP1;
extern const TWriteOperation kWriteAlLo;

// Sum of the address digits and the command characters, modulo 256.
std::uint8_t Checksum(const QByteArray& addressDigits, const QByteArray& command);

// The request handed to the link: length bytes, STX, "L", address, command, checksum, ETX,
// then the two filler bytes.
QByteArray BuildRequest(std::uint8_t address, const QByteArray& command);

// Raises the operation's wrong-length message unless `reply` has the expected length.
void CheckReplyLength(const TReadOperation& op, const QString& reply);

float DecodePV(const QString& reply);
// Set point 1 and low alarm share one layout; `op` names the command in the message.
float DecodeSetPoint(const TReadOperation& op, const QString& reply);
float DecodePOV(const QString& reply);

// Command text writing `value` in tenths (magnitude limited to 273.0) with its sign bytes.
QByteArray WriteCommand(const TWriteOperation& op, float value);
// Raises "Error message:  code " and the controller's code when the write was refused.
void CheckWriteReply(const QString& reply);

} // namespace cn7600
} // namespace velk
