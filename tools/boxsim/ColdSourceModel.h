#pragma once
// A small physical model of the cold source behind the simulated box, so the demo shows values
// an operator finds plausible: the cold plate follows its set point with a lag and the
// regulator's power answers the error, the nitrogen output drifts, the LN2 level falls slowly
// and is refilled, the vacuum sits near 1E-5 mbar with noise, the pump and the valve change
// state now and then. Any quantity can be forced to a fixed value.

#include <array>
#include <chrono>
#include <optional>
#include <random>
#include <string>

namespace velk::boxsim {

enum class TQuantity {
    Temp1,
    SetPoint1,
    Temp2,
    SetPoint2,
    AlarmLow,
    Power,
    Vacuum,
    PumpStopped,
    ValveClosed,
    Level,
    Count
};

// Parses the names used on the command line ("temp1", "vacuum", ...); no value when unknown.
std::optional<TQuantity> QuantityByName(const std::string& Name);
std::string QuantityNames(); // for the usage text

class TColdSourceModel {
public:
    using TClock = std::chrono::steady_clock;

    explicit TColdSourceModel(unsigned Seed, TClock::time_point Start = TClock::now());

    // Brings the state forward to `Now` (never backwards).
    void Advance(TClock::time_point Now);
    // Model seconds per real second (1 by default): hours of a run in minutes.
    void SetSpeed(double Speed) { speed_ = Speed; }

    // Current values in engineering units: degrees, percent, mbar, 0/1 for the two states.
    double Value(TQuantity Q) const;
    void Force(TQuantity Q, double Value) { forced_[Index(Q)] = Value; }

    // Writes from the host.
    void SetSetPoint(int Controller, double Degrees);
    void SetAlarmLow(double Degrees) { alarmLow_ = Degrees; }

private:
    static std::size_t Index(TQuantity Q) { return static_cast<std::size_t>(Q); }
    void Step(double dt);

    std::mt19937 random_;
    TClock::time_point last_;
    double speed_ = 1.0;
    double seconds_ = 0; // model time
    double temp1_ = -178.0;
    double setPoint1_ = -180.0;
    double temp2_ = -192.0;
    double setPoint2_ = -190.0;
    double alarmLow_ = -198.0;
    double level_ = 72.0;
    bool refilling_ = false;
    double vacuumNoise_ = 0;
    bool pumpStopped_ = false;
    bool valveClosed_ = false;
    double nextPumpChange_;
    double nextValveChange_;
    std::array<std::optional<double>, static_cast<std::size_t>(TQuantity::Count)> forced_;
};

} // namespace velk::boxsim
