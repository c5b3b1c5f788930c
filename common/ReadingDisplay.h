#pragma once
// What a reading holds before it has a value, which values are shown, and "-----" for the
// others. The quantities' table (devices/Quantities.h) and the alarms judge readings so.

#include <cstdint>

namespace velk {

inline constexpr const char* kNoValueText = "-----";

// The markers a reading holds until it has been read.
inline constexpr double kNoTemperature = -300.0; // temperatures, set points, alarm low
inline constexpr double kNoPower = -1.0;
inline constexpr float kNoVacuum = -1.0f; // also what the gauge gives out of its range
inline constexpr float kNoLevel = -1.0f;
inline constexpr std::uint8_t kNoStatus = 2; // pump and valve: 0 running/opened, 1 stopped/closed

inline bool IsTemperature(double t) {
    return t > -274.0;
}
inline bool IsPower(double p) {
    return p >= 0.0;
}
inline bool IsShownVacuum(double v) {
    return v > 0.0;
}
// The vacuum alarm looks at every reading but the marker.
inline bool IsVacuumReading(double v) {
    return v > -1.0;
}
inline bool IsLevel(double l) {
    return l > 0.0;
}

// Position of the LN2 bar (0..100): the level limited and rounded, 0 without a level.
int LevelBarPosition(double l);

} // namespace velk
