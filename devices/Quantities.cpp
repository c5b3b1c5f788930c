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

using TMetric = decltype(TQuantityInfo::Metric);

constexpr TQuantityInfo Number(TQuantity quantity, const char* name, const char* column,
                               const char* unit, TInstrumentGroup group, TRead read, double noValue,
                               int digits, bool (*shown)(double), int row, TMetric metric,
                               const char* graphTitle = nullptr,
                               const char* graphCaption = nullptr) {
    return {quantity, name,  column, unit, group,      read,         noValue,
            digits,   shown, {},     row,  graphTitle, graphCaption, metric};
}

constexpr TQuantityInfo Status(TQuantity quantity, const char* name, const char* column, TRead read,
                               const char* zero, const char* one, int row, TMetric metric,
                               const char* graphTitle = nullptr,
                               const char* graphCaption = nullptr) {
    return {quantity, name,    column,      "",  gModule,    read,         kNoStatus,
            0,        nullptr, {zero, one}, row, graphTitle, graphCaption, metric};
}

// Prometheus's base unit for a percentage is the ratio.
constexpr double kPercent = 0.01;

using CN = TCN7600connection;
using ADAM = TADAM4017Connection;
constexpr const char* kTempCaption = "Cold source Temp(°C)";

constexpr std::array<TQuantityInfo, kQuantityCount> kTable = {
    Number(
        qTemp1, "Temp1", "temp1", "°C", gControllers, Controller<&CN::ReadPV, kController1>,
        kNoTemperature, 5, IsTemperature, 0,
        {"velk_cold_plate_temperature", "celsius", 1.0, "Cold plate temperature (controller 1)."},
        "Temp", kTempCaption),
    Number(qSetPoint1, "SetPoint1", "setpoint1", "°C", gControllers,
           Controller<&CN::ReadSP1, kController1>, kNoTemperature, 5, IsTemperature, 2,
           {"velk_cold_plate_setpoint", "celsius", 1.0, "Cold plate set point (controller 1)."}),
    Number(qTemp2, "Temp2", "temp2", "°C", gControllers, Controller<&CN::ReadPV, kController2>,
           kNoTemperature, 5, IsTemperature, 3,
           {"velk_nitrogen_output_temperature", "celsius", 1.0,
            "Nitrogen output temperature (controller 2)."},
           "Temp", kTempCaption),
    Number(qSetPoint2, "SetPoint2", "setpoint2", "°C", gControllers,
           Controller<&CN::ReadSP1, kController2>, kNoTemperature, 5, IsTemperature, 4,
           {"velk_nitrogen_output_setpoint", "celsius", 1.0,
            "Nitrogen output set point (controller 2)."}),
    Number(
        qAlarmLow, "AlarmLow", "alarmlow", "°C", gControllers,
        Controller<&CN::ReadAlLo, kController2>, kNoTemperature, 5, IsTemperature, 5,
        {"velk_nitrogen_output_alarm_low", "celsius", 1.0, "Low alarm threshold of controller 2."}),
    Number(qPower, "Power", "power", "%", gControllers, Controller<&CN::ReadPOV, kController1>,
           kNoPower, 4, IsPower, 1,
           {"velk_cold_plate_power", "ratio", kPercent,
            "Output power of the cold plate regulator, 0 to 1."}),
    Number(qVacuum, "Vacuum", "vacuum", "mb", gModule, Module<&ADAM::ReadVacuum>, kNoVacuum, 3,
           IsShownVacuum, 6, {"velk_vacuum", "mbar", 1.0, "Vacuum."}, "Vacuum", "Vacuum"),
    Status(qPumpStatus, "PumpStatus", "pump", Module<&ADAM::ReadPumpStatus>, "Running", "Stopped",
           7, {"velk_pump_running", "", 1.0, "1 while the vacuum pump runs."}, "Pump status",
           "Pump status"),
    Status(qValveStatus, "ValveStatus", "valve", Module<&ADAM::ReadValveStatus>, "Opened", "Closed",
           8, {"velk_valve_open", "", 1.0, "1 while the valve is open."}),
    Number(qLN2Level, "LN2Level", "level", "%", gModule, Module<&ADAM::ReadLN2Level>, kNoLevel, 3,
           IsLevel, 9, {"velk_ln2_level", "ratio", kPercent, "Liquid nitrogen level, 0 to 1."},
           "LN2 level", "LN2 Level"),
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
