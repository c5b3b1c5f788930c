#include "tools/boxsim/ColdSourceModel.h"

#include <algorithm>
#include <cmath>

#include "devices/Quantities.h"

namespace velk::boxsim {

namespace {

// The monitor's quantities in the same order: a forced name is a column of its history.
static_assert(static_cast<int>(TQuantity::Count) == kQuantityCount);

constexpr double kColdPlateLag = 90.0;      // seconds, first-order lag to the set point
constexpr double kLevelFall = 0.02;         // percent per second
constexpr double kRefillRate = 1.0;         // percent per second while refilling
constexpr double kRefillBelow = 20.0;       // percent
constexpr double kRefillUpTo = 90.0;        // percent
constexpr double kVacuum = 1e-5;            // mbar
constexpr double kMeanStateChange = 1800.0; // mean seconds between pump or valve stops
constexpr double kShortStateChange = 120.0; // seconds a pump stays stopped, a valve closed
constexpr double kLongestStep = 1.0;        // seconds of model time per integration step

} // namespace

std::optional<TQuantity> QuantityByName(const std::string& Name) {
    for (const TQuantityInfo& q : Quantities())
        if (Name == q.Column) return static_cast<TQuantity>(q.Quantity);
    return std::nullopt;
}

std::string QuantityNames() {
    std::string names;
    for (const TQuantityInfo& q : Quantities())
        names += (names.empty() ? "" : " ") + std::string(q.Column);
    return names;
}

TColdSourceModel::TColdSourceModel(unsigned Seed, TClock::time_point Start)
    : random_(Seed), last_(Start) {
    std::exponential_distribution<double> wait(1.0 / kMeanStateChange);
    nextPumpChange_ = wait(random_);
    nextValveChange_ = wait(random_);
}

void TColdSourceModel::Advance(TClock::time_point Now) {
    if (Now <= last_) return;
    double dt = std::chrono::duration<double>(Now - last_).count() * speed_;
    last_ = Now;
    // Steps of at most a second, so that a long pause between commands (or a test jumping
    // hours ahead) neither overshoots a refill nor skips a state change.
    while (dt > 0) {
        const double step = std::min(dt, kLongestStep);
        Step(step);
        dt -= step;
    }
    std::normal_distribution<double> noise(0.0, 0.05);
    vacuumNoise_ = noise(random_); // in decades: a few percent around the mean
}

void TColdSourceModel::Step(double dt) {
    seconds_ += dt;
    temp1_ = setPoint1_ + (temp1_ - setPoint1_) * std::exp(-dt / kColdPlateLag);
    // The nitrogen output wanders slowly around a little below its set point.
    temp2_ = setPoint2_ - 1.5 + 0.8 * std::sin(seconds_ / 300.0) + 0.3 * std::sin(seconds_ / 47.0);

    if (refilling_) {
        level_ += kRefillRate * dt;
        if (level_ >= kRefillUpTo) refilling_ = false;
    } else {
        level_ -= kLevelFall * dt;
        if (level_ <= kRefillBelow) refilling_ = true;
    }
    level_ = std::clamp(level_, 0.0, 100.0);

    std::exponential_distribution<double> wait(1.0 / kMeanStateChange);
    if (seconds_ >= nextPumpChange_) {
        pumpStopped_ = !pumpStopped_;
        nextPumpChange_ = seconds_ + (pumpStopped_ ? kShortStateChange : wait(random_));
    }
    if (seconds_ >= nextValveChange_) {
        valveClosed_ = !valveClosed_;
        nextValveChange_ = seconds_ + (valveClosed_ ? kShortStateChange : wait(random_));
    }
}

double TColdSourceModel::Value(TQuantity Q) const {
    if (const auto& forced = forced_[Index(Q)]) return *forced;
    switch (Q) {
    case TQuantity::Temp1:
        return temp1_;
    case TQuantity::SetPoint1:
        return setPoint1_;
    case TQuantity::Temp2:
        return temp2_;
    case TQuantity::SetPoint2:
        return setPoint2_;
    case TQuantity::AlarmLow:
        return alarmLow_;
    case TQuantity::Power:
        // Heating power against the nitrogen's cooling: more when the plate is too cold.
        return std::clamp(std::round(35.0 + 6.0 * (setPoint1_ - temp1_)), 0.0, 100.0);
    case TQuantity::Vacuum:
        return kVacuum * std::pow(10.0, vacuumNoise_);
    case TQuantity::PumpStopped:
        return pumpStopped_ ? 1 : 0;
    case TQuantity::ValveClosed:
        return valveClosed_ ? 1 : 0;
    case TQuantity::Level:
        return level_;
    case TQuantity::Count:
        break;
    }
    return 0;
}

void TColdSourceModel::SetSetPoint(int Controller, double Degrees) {
    (Controller == 1 ? setPoint1_ : setPoint2_) = Degrees;
}

} // namespace velk::boxsim
