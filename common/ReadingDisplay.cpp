#include "common/ReadingDisplay.h"

#include <algorithm>
#include <cmath>

#include "common/NumberFormat.h"

namespace velk {

namespace {

QString Shown(bool valid, double value, int digits, QChar separator) {
    if (!valid) return QString::fromLatin1(kNoValueText);
    return FormatGeneral(value, digits, separator.isNull() ? DecimalSeparator() : separator);
}

QString Status(std::uint8_t status, const char* zero, const char* one) {
    return QString::fromLatin1(status == 0 ? zero : status == 1 ? one : kNoValueText);
}

} // namespace

QString TemperatureText(double t, QChar separator) {
    return Shown(IsTemperature(t), t, 5, separator);
}
QString PowerText(double p, QChar separator) {
    return Shown(IsPower(p), p, 4, separator);
}
QString VacuumText(double v, QChar separator) {
    return Shown(IsShownVacuum(v), v, 3, separator);
}
QString LevelText(double l, QChar separator) {
    return Shown(IsLevel(l), l, 3, separator);
}
QString PumpStatusText(std::uint8_t status) {
    return Status(status, "Running", "Stopped");
}
QString ValveStatusText(std::uint8_t status) {
    return Status(status, "Opened", "Closed");
}

int LevelBarPosition(double l) {
    // Halves to even, as every rounding of the program.
    return IsLevel(l) ? static_cast<int>(std::nearbyint(std::clamp(l, 0.0, 100.0))) : 0;
}

} // namespace velk
