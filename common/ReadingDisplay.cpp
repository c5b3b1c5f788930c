#include "common/ReadingDisplay.h"

#include <algorithm>
#include <cmath>

#include "common/NumberFormat.h"

namespace velk {

namespace {

QString Shown(bool valid, double value, int digits) {
    return valid ? FormatGeneral(value, digits) : QString::fromLatin1(kNoValueText);
}

QString Status(std::uint8_t status, const char* zero, const char* one) {
    return QString::fromLatin1(status == 0 ? zero : status == 1 ? one : kNoValueText);
}

} // namespace

QString TemperatureText(double t) {
    return Shown(IsTemperature(t), t, 5);
}
QString PowerText(double p) {
    return Shown(IsPower(p), p, 4);
}
QString VacuumText(double v) {
    return Shown(IsShownVacuum(v), v, 3);
}
QString LevelText(double l) {
    return Shown(IsLevel(l), l, 3);
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
