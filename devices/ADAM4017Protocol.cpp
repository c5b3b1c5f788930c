#include "devices/ADAM4017Protocol.h"

#include <algorithm>
#include <cmath>

#include "common/NumberFormat.h"
#include "devices/InstrumentFrame.h"

namespace velk::adam4017 {

const TChannelOperation kReadLN2Level{0, "RD LN2 Level"};
const TChannelOperation kReadVacuum{1, "RD VACUUM"};
const TChannelOperation kReadPumpStatus{5, "RD PUMP STATUS"};
const TChannelOperation kReadValveStatus{6, "RD VALVE STATUS"};

namespace {
constexpr float kGaugeMin = 0.5f;
constexpr float kGaugeMax = 9.5f;
constexpr double kStatusThreshold = 2.5;
} // namespace

QByteArray CommandText(std::uint8_t address, int channel) {
    return "#" + HexDigits(address, 2) + HexDigits(static_cast<unsigned>(channel) & 0xF, 1);
}

QByteArray BuildRequest(const QByteArray& command) {
    return RequestWithLength(command + static_cast<char>(kCR));
}

std::optional<double> Volts(const QString& reply) {
    return ParseReal(reply, QChar('.'));
}

double VoltsOrRaise(const TChannelOperation& op, const QString& reply) {
    const auto volts = Volts(reply);
    if (!volts)
        throw EADAM4017Connection(QStringLiteral("Bad received response (Command: %1, bad format->")
                                      .arg(QLatin1String(op.Name)) +
                                  reply + QStringLiteral(")!"));
    return *volts;
}

float VacuumFromVolts(float volts) {
    if (volts < kGaugeMin || volts > kGaugeMax) return -1.0f;
    return static_cast<float>(std::pow(10.0, 1.667 * volts - 11.33));
}

float LevelFromVolts(double volts) {
    return static_cast<float>(std::clamp(volts * 100.0 / 10.0, 0.0, 100.0));
}

bool StatusFromVolts(double volts) {
    return volts >= kStatusThreshold;
}

} // namespace velk::adam4017
