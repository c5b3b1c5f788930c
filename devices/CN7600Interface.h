#pragma once
// TCN7600connection: driver of the two temperature controllers behind the interface box.
// Reads are retried once and voted; every failure reaches the caller as ECN7600connection.

#include <cstdint>

#include <QString>

#include "devices/CN7600Protocol.h"
#include "devices/InstrumentConnection.h"

namespace velk {

class TCN7600connection final : public TInstrumentConnection {
public:
    TCN7600connection();

    float ReadPV(std::uint8_t Address);   // process value, degrees
    float ReadSP1(std::uint8_t Address);  // set point 1, degrees
    float ReadAlLo(std::uint8_t Address); // low alarm threshold, degrees
    float ReadPOV(std::uint8_t Address);  // output power as the controller reports it
    void WriteSP1(std::uint8_t Address, float Value);
    void WriteAlLo(std::uint8_t Address, float Value);

    // The single framed transaction under the link's Lock; returns the reply text.
    QString ExecuteCommand(std::uint8_t Address, const QByteArray& Command);

private:
    QString VotedRead(std::uint8_t Address, const cn7600::TReadOperation& Op);
    void Write(std::uint8_t Address, const cn7600::TWriteOperation& Op, float Value);
};

} // namespace velk
