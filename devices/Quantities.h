#pragma once
// The ten quantities an acquisition reads, described once: the driver call that reads each,
// its group, how it is shown and named, and its graph window. The monitor's tick, display,
// history and graph windows, velk-probe, velk-soak and velk-boxsim's names all walk this
// table, so a quantity is added or changed here alone.

#include <array>
#include <functional>
#include <optional>

#include <QString>

namespace velk {

class TCN7600connection;
class TADAM4017Connection;

// The quantities of one tick, in the order it reads them.
enum TQuantity : int {
    qTemp1,
    qSetPoint1,
    qTemp2,
    qSetPoint2,
    qAlarmLow,
    qPower,
    qVacuum,
    qPumpStatus,
    qValveStatus,
    qLN2Level,
    kQuantityCount
};

// The two groups a tick reads, each stopping at its first failure.
enum TInstrumentGroup : int { gControllers, gModule, kGroupCount };
// A group as the metrics label it.
inline constexpr std::array<const char*, kGroupCount> kGroupNames = {"controllers", "module"};

struct TInstruments {
    TCN7600connection& CN7600;
    TADAM4017Connection& ADAM4017;
};

struct TQuantityInfo {
    TQuantity Quantity;
    const char* Name;   // velk-probe's and velk-soak's
    const char* Column; // the readings history's column, also velk-boxsim's --force name
    const char* Unit;   // as the alarm texts write it; empty for a status
    TInstrumentGroup Group;
    double (*Read)(const TInstruments& drivers); // a status reads 0 or 1
    double NoValue;                              // held until the quantity is read
    // A number: its significant digits, and whether a value is one to show. A status: the
    // texts of 0 and 1.
    int Digits;
    bool (*Shown)(double value);
    std::array<const char*, 2> States;
    int Row; // place in the main window and the history file, from 0
    // Its graph window (none when null): title, and the caption of the values.
    const char* GraphTitle;
    const char* GraphCaption;
    // Its metric: the name without the unit, the unit in Prometheus's words (empty for a
    // status, which is exported as 1 in its state 0: pump running, valve open), the factor
    // from the reading to that unit, and the help text.
    struct {
        const char* Name;
        const char* Unit;
        double Scale;
        const char* Help;
    } Metric;
};

// In the order of a tick, indexed by TQuantity.
const std::array<TQuantityInfo, kQuantityCount>& Quantities();
inline const TQuantityInfo& QuantityInfo(TQuantity quantity) {
    return Quantities()[quantity];
}

// A value as the main window, the history and velk-probe show it: "-----" without a value.
// Numbers use `separator`; a null one (the default) stands for the program-wide separator.
QString QuantityText(const TQuantityInfo& quantity, double value, QChar separator = QChar());

// Reads `group` as a tick does: `got` has each value as soon as it is read, and the first
// failure ends the group; its message is returned.
std::optional<QString> ReadGroup(TInstrumentGroup group, const TInstruments& drivers,
                                 const std::function<void(const TQuantityInfo&, double)>& got);

} // namespace velk
