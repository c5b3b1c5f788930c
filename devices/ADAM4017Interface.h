#pragma once
// TADAM4017Connection: driver of the analog input module behind the interface box (vacuum
// gauge, pump and valve status, LN2 level). Every failure reaches the caller as
// EADAM4017Connection.

#include <cstdint>

#include <QString>

#include "devices/ADAM4017Protocol.h"
#include "devices/InstrumentConnection.h"

namespace velk {

class TADAM4017Connection final : public TInstrumentConnection {
public:
    TADAM4017Connection();

    float ReadVacuum(std::uint8_t Address);     // mbar, -1 when the gauge signal is out of range
    bool ReadPumpStatus(std::uint8_t Address);  // true: stopped
    bool ReadValveStatus(std::uint8_t Address); // true: closed
    float ReadLN2Level(std::uint8_t Address);   // percent, 0..100

    // The single framed transaction under the link's Lock; returns the reply text.
    QString ExecuteCommand(const QByteArray& Command);

private:
    QString ReadOnce(std::uint8_t Address, const adam4017::TChannelOperation& Op);
    double ExactVolts(std::uint8_t Address, const adam4017::TChannelOperation& Op);
    double RelativeVolts(std::uint8_t Address, const adam4017::TChannelOperation& Op);
};

} // namespace velk
