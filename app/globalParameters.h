#pragma once
// The monitor's global parameters (refresh period, device address, alarm limits, mail
// settings) with their defaults, and the two routines that move them to and from the
// settings store. Used on the main thread only.

#include <array>
#include <cstdint>

#include <QString>

#include "app/Channels.h"

namespace velk {

struct TAlarmLimits {
    bool Enabled = false;
    double Min = -100000.0;
    double Max = 100000.0;
    bool Active = false; // run-time state, never stored
};

// Alarm records indexed by channel 1 or 2.
using TAlarmTempArray = TChannels<TAlarmLimits>;

struct TGlobalParameters {
    std::int32_t RefreshRate = 10000; // ms
    // The bundled box simulator's address, so a first run on a new machine connects to it.
    std::int32_t IP1 = 127, IP2 = 0, IP3 = 0, IP4 = 2;
    bool SendAnEmailOnAlarm = false;
    QString EMailAddress = QStringLiteral("root@localhost");
    QString SMTPServer = QStringLiteral("localhost");
    TAlarmTempArray AlarmTemp;
    TAlarmLimits AlarmVacuum;
};

TGlobalParameters& GlobalParameters();

inline constexpr const char* kSectionMain = "VelkM_main";
inline constexpr const char* kSectionAlarm = "VelkM_alarm";
inline constexpr const char* kVersionIDSoft = "V1.00";

// From and to the store at `path` (default: DefaultSettingsPath()). SaveSettings raises
// EIniStoreError when the file cannot be written.
void LoadSettings(const QString& path);
void SaveSettings(const QString& path);
void LoadSettings();
void SaveSettings();

} // namespace velk
