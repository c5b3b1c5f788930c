#pragma once
// The analog input module's protocol without the transport: the "#" + address + channel
// request, the read operations' channels and names, and the conversions of a channel voltage
// into the monitored quantities. Every failure is an EADAM4017Connection.

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

#include "common/Errors.h"

namespace velk {

class EADAM4017Connection : public Exception {
public:
    using Exception::Exception;
};

namespace adam4017 {

constexpr std::uint8_t kFrameStart = '>';
constexpr std::uint8_t kCR = 0x0D;
// A reply frame needs at least one byte; the text starts after the sign character.
constexpr int kMinReplyLength = 1;
constexpr int kReplyTextOffset = 1;

struct TChannelOperation {
    int Channel;
    const char* Name;
};
extern const TChannelOperation kReadLN2Level;
extern const TChannelOperation kReadVacuum;
extern const TChannelOperation kReadPumpStatus;
extern const TChannelOperation kReadValveStatus;

// "#", the address as two upper-case hexadecimal digits, the channel as one.
QByteArray CommandText(std::uint8_t address, int channel);
// The request handed to the link: length bytes, command text, CR, the two filler bytes.
QByteArray BuildRequest(const QByteArray& command);

// The voltage a reply text stands for (always read with "."); no value when it is no number.
std::optional<double> Volts(const QString& reply);
// The voltage, or the operation's bad-format message quoting the text.
double VoltsOrRaise(const TChannelOperation& op, const QString& reply);

// -1 outside the gauge's 0.5..9.5 V range, else 10^(1.667 U - 11.33) mbar.
float VacuumFromVolts(float volts);
// 0..10 V for 0..100 %, limited to that range.
float LevelFromVolts(double volts);
// 2.5 V and more: pump stopped, valve closed.
bool StatusFromVolts(double volts);

} // namespace adam4017
} // namespace velk
