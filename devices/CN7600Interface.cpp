#include "devices/CN7600Interface.h"

#include "devices/ReadVote.h"

namespace velk {

TCN7600connection::TCN7600connection()
    : TInstrumentConnection(cn7600::kSTX, cn7600::kACK, cn7600::kMinReplyLength,
                            cn7600::kReplyTextOffset) {}

QString TCN7600connection::ExecuteCommand(std::uint8_t Address, const QByteArray& Command) {
    return TransactAs<ECN7600connection>(cn7600::BuildRequest(Address, Command));
}

QString TCN7600connection::VotedRead(std::uint8_t Address, const cn7600::TReadOperation& Op) {
    const auto text = ExactVote([&] {
        const QString reply = ExecuteCommand(Address, Op.Command);
        cn7600::CheckReplyLength(Op, reply);
        return reply;
    });
    if (!text) throw ECN7600connection(DisagreementMessage(Op.Name));
    return *text;
}

float TCN7600connection::ReadPV(std::uint8_t Address) {
    return cn7600::DecodePV(VotedRead(Address, cn7600::kReadPV));
}

float TCN7600connection::ReadSP1(std::uint8_t Address) {
    return cn7600::DecodeSetPoint(cn7600::kReadSP1, VotedRead(Address, cn7600::kReadSP1));
}

float TCN7600connection::ReadAlLo(std::uint8_t Address) {
    return cn7600::DecodeSetPoint(cn7600::kReadAlLo, VotedRead(Address, cn7600::kReadAlLo));
}

float TCN7600connection::ReadPOV(std::uint8_t Address) {
    return cn7600::DecodePOV(VotedRead(Address, cn7600::kReadPOV));
}

void TCN7600connection::Write(std::uint8_t Address, const cn7600::TWriteOperation& Op,
                              float Value) {
    cn7600::CheckWriteReply(ExecuteCommand(Address, cn7600::WriteCommand(Op, Value)));
}

void TCN7600connection::WriteSP1(std::uint8_t Address, float Value) {
    Write(Address, cn7600::kWriteSP1, Value);
}

void TCN7600connection::WriteAlLo(std::uint8_t Address, float Value) {
    Write(Address, cn7600::kWriteAlLo, Value);
}

} // namespace velk
