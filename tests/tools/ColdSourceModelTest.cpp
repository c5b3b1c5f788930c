// The simulated cold source behaves as an operator expects over hours of model time, and
// its held values and written set points win over the model.

#include <gtest/gtest.h>

#include "tools/boxsim/ColdSourceModel.h"

using velk::boxsim::TColdSourceModel;
using velk::boxsim::TQuantity;
using namespace std::chrono_literals;

namespace {

TEST(ColdSourceModel, ColdPlateFollowsItsSetPointAndHeldValuesWin) {
    const auto start = TColdSourceModel::TClock::now();
    TColdSourceModel model(3, start);
    model.SetSetPoint(1, -150.0);
    model.Advance(start + 30s);
    const double early = model.Value(TQuantity::Temp1);
    EXPECT_LT(early, -155.0); // a lag, not a jump
    EXPECT_GT(early, -178.5);
    EXPECT_DOUBLE_EQ(model.Value(TQuantity::Power), 100.0); // far too cold: full heating
    TColdSourceModel fast(3, start); // 60 times faster: the same 30 s in half a second
    fast.SetSpeed(60.0);
    fast.SetSetPoint(1, -150.0);
    fast.Advance(start + 500ms);
    EXPECT_NEAR(fast.Value(TQuantity::Temp1), early, 1e-9);
    model.Advance(start + 20min);
    EXPECT_NEAR(model.Value(TQuantity::Temp1), -150.0, 0.1);
    EXPECT_NEAR(model.Value(TQuantity::Power), 35.0, 1.0);
    model.Advance(start + 20min - 1s); // time never runs backwards
    EXPECT_NEAR(model.Value(TQuantity::Temp1), -150.0, 0.1);
    // Held values win over the model and over writes.
    model.Force(TQuantity::SetPoint2, -185.0);
    model.SetSetPoint(2, -170.0);
    model.SetAlarmLow(-199.5);
    model.Advance(start + 1h);
    EXPECT_DOUBLE_EQ(model.Value(TQuantity::SetPoint2), -185.0);
    EXPECT_DOUBLE_EQ(model.Value(TQuantity::AlarmLow), -199.5);
}

TEST(ColdSourceModel, LevelFallsRefillsAndVacuumStaysNearItsMean) {
    const auto start = TColdSourceModel::TClock::now();
    TColdSourceModel model(5, start);
    double lowest = 100, highest = 0, previous = model.Value(TQuantity::Level);
    int falls = 0, rises = 0, pumpChanges = 0;
    double pump = model.Value(TQuantity::PumpStopped);
    for (int minute = 1; minute <= 24 * 60; ++minute) {
        model.Advance(start + std::chrono::minutes(minute));
        const double level = model.Value(TQuantity::Level);
        (level < previous ? falls : rises) += 1;
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
        previous = level;
        const double vacuum = model.Value(TQuantity::Vacuum);
        EXPECT_GT(vacuum, 3e-6);
        EXPECT_LT(vacuum, 3e-5);
        const double temp2 = model.Value(TQuantity::Temp2);
        EXPECT_GT(temp2, -195.0);
        EXPECT_LT(temp2, -189.0);
        pumpChanges += model.Value(TQuantity::PumpStopped) != pump;
        pump = model.Value(TQuantity::PumpStopped);
    }
    EXPECT_GT(falls, rises); // mostly falling, with refills
    EXPECT_GT(rises, 0);
    EXPECT_GE(lowest, 15.0);
    EXPECT_LE(highest, 95.0);
    EXPECT_GT(pumpChanges, 0);
    EXPECT_LT(pumpChanges, 24 * 6); // now and then, not all the time
}

} // namespace
