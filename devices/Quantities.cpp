#include "devices/Quantities.h"

#include "common/NumberFormat.h"
#include "common/ReadingDisplay.h"
#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"

namespace velk {

namespace {

// Controller 1 regulates the cold plate, controller 2 watches the nitrogen output.
constexpr std::uint8_t kController1 = 1, kController2 = 2, kModule = 1;

using TRead = double (*)(const TInstruments&);

template <auto Call, std::uint8_t Address> double Controller(const TInstruments& d) {
    return (d.CN7600.*Call)(Address);
}
template <auto Call> double Module(const TInstruments& d) {
    return (d.ADAM4017.*Call)(kModule);
}

constexpr TQuantityInfo Number(TQuantity quantity, const char* name, const char* column,
                               const char* unit, TInstrumentGroup group, TRead read, double noValue,
                               int digits, bool (*shown)(double), int row,
                               const char* graphTitle = nullptr,
                               const char* graphCaption = nullptr) {
    return {quantity, name,  column, unit, group,      read,        noValue,
            digits,   shown, {},     row,  graphTitle, graphCaption};
}

constexpr TQuantityInfo Status(TQuantity quantity, const char* name, const char* column, TRead read,
                               const char* zero, const char* one, int row,
                               const char* graphTitle = nullptr,
                               const char* graphCaption = nullptr) {
    return {quantity, name,    column,      "",  gModule,    read,        kNoStatus,
            0,        nullptr, {zero, one}, row, graphTitle, graphCaption};
}

using CN = TCN7600connection;
using ADAM = TADAM4017Connection;
constexpr const char* kTempCaption = "Cold source Temp(°C)";

constexpr std::array<TQuantityInfo, kQuantityCount> kTable = {
    Number(qTemp1, "Temp1", "temp1", "°C", gControllers, Controller<&CN::ReadPV, kController1>,
           kNoTemperature, 5, IsTemperature, 0, "Temp", kTempCaption),
    Number(qSetPoint1, "SetPoint1", "setpoint1", "°C", gControllers,
           Controller<&CN::ReadSP1, kController1>, kNoTemperature, 5, IsTemperature, 2),
    Number(qTemp2, "Temp2", "temp2", "°C", gControllers, Controller<&CN::ReadPV, kController2>,
           kNoTemperature, 5, IsTemperature, 3, "Temp", kTempCaption),
    Number(qSetPoint2, "SetPoint2", "setpoint2", "°C", gControllers,
           Controller<&CN::ReadSP1, kController2>, kNoTemperature, 5, IsTemperature, 4),
    Number(qAlarmLow, "AlarmLow", "alarmlow", "°C", gControllers,
           Controller<&CN::ReadAlLo, kController2>, kNoTemperature, 5, IsTemperature, 5),
    Number(qPower, "Power", "power", "%", gControllers, Controller<&CN::ReadPOV, kController1>,
           kNoPower, 4, IsPower, 1),
    Number(qVacuum, "Vacuum", "vacuum", "mb", gModule, Module<&ADAM::ReadVacuum>, kNoVacuum, 3,
           IsShownVacuum, 6, "Vacuum", "Vacuum"),
    Status(qPumpStatus, "PumpStatus", "pump", Module<&ADAM::ReadPumpStatus>, "Running", "Stopped",
           7, "Pump status", "Pump status"),
    Status(qValveStatus, "ValveStatus", "valve", Module<&ADAM::ReadValveStatus>, "Opened", "Closed",
           8),
    Number(qLN2Level, "LN2Level", "level", "%", gModule, Module<&ADAM::ReadLN2Level>, kNoLevel, 3,
           IsLevel, 9, "LN2 level", "LN2 Level"),
};

constexpr bool Consistent() {
    std::array<bool, kQuantityCount> rowTaken{};
    for (int i = 0; i < kQuantityCount; ++i) {
        const TQuantityInfo& q = kTable[static_cast<std::size_t>(i)];
        if (q.Quantity != i || q.Row < 0 || q.Row >= kQuantityCount ||
            rowTaken[static_cast<std::size_t>(q.Row)])
            return false;
        rowTaken[static_cast<std::size_t>(q.Row)] = true;
    }
    return true;
}
static_assert(Consistent(), "rows in TQuantity order, each with a row of the window of its own");

} // namespace

const std::array<TQuantityInfo, kQuantityCount>& Quantities() {
    return kTable;
}

QString QuantityText(const TQuantityInfo& quantity, double value, QChar separator) {
    if (!quantity.Shown) {
        const char* text = value == 0.0   ? quantity.States[0]
                           : value == 1.0 ? quantity.States[1]
                                          : kNoValueText;
        return QString::fromLatin1(text);
    }
    if (!quantity.Shown(value)) return QString::fromLatin1(kNoValueText);
    return FormatGeneral(value, quantity.Digits,
                         separator.isNull() ? DecimalSeparator() : separator);
}

std::optional<QString> ReadGroup(TInstrumentGroup group, const TInstruments& drivers,
                                 const std::function<void(const TQuantityInfo&, double)>& got) {
    for (const TQuantityInfo& quantity : kTable) {
        if (quantity.Group != group) continue;
        double value = 0.0;
        try {
            value = quantity.Read(drivers);
        } catch (const ECN7600connection& e) {
            return e.Message();
        } catch (const EADAM4017Connection& e) {
            return e.Message();
        }
        got(quantity, value);
    }
    return std::nullopt;
}

} // namespace velk
