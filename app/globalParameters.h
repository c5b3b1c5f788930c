#pragma once
// The monitor's global parameters (refresh period, device address, alarm limits, mail
// settings) with their defaults, and the two routines that move them to and from the
// settings store. Used on the main thread only.

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

// How long an alarm's reading must stay out of limits before the alarm starts, and how far
// back inside it must come before a raised alarm ends.
struct TAlarmTuning {
    std::int32_t Delay = 0; // s, 0..3600
    // In the reading's unit (°C), 0 or more; for the vacuum a factor of 1 or more, since it
    // spans decades: the vacuum must fall below Max / factor (and rise above Min × factor).
    double Deadband = 0.0;
};

// The ranges the alarm handling dialog allows, which the store's values must respect too.
inline constexpr int kMaxAlarmDelay = 3600; // s
inline constexpr double kMaxDeadband = 100000.0;
inline constexpr int kMaxMinutes = 1440;
inline constexpr int kMaxReminders = 100;

// What the operator may add to the alarms; all of it off by default.
struct TAlarmHandlingParameters {
    TChannels<TAlarmTuning> Temp;
    TAlarmTuning Vacuum{0, 1.0};
    std::int32_t ReminderEvery = 0; // min, 0..1440; 0: no reminders
    std::int32_t ReminderLimit = 3; // reminders per alarm, 1..100
    std::int32_t SilentAfter = 0;   // min, 0..1440; 0: no mail about a silent instrument
    bool Heartbeat = false;         // touch velk-monitor.alive at every tick
};

// The Prometheus endpoint; off by default, and then no port is opened. Listening on another
// address than loopback is the operator's explicit choice.
struct TMetricsParameters {
    bool Enabled = false;
    QString Address = QStringLiteral("127.0.0.1");
    std::int32_t Port = 9847;
};

struct TGlobalParameters {
    std::int32_t RefreshRate = 10000; // ms
    // The bundled box simulator's address, so a first run on a new machine connects to it.
    std::int32_t IP1 = 127, IP2 = 0, IP3 = 0, IP4 = 2;
    bool SendAnEmailOnAlarm = false;
    QString EMailAddress = QStringLiteral("root@localhost");
    QString SMTPServer = QStringLiteral("localhost");
    TAlarmTempArray AlarmTemp;
    TAlarmLimits AlarmVacuum;
    TAlarmHandlingParameters AlarmHandling;
    TMetricsParameters Metrics;
};

TGlobalParameters& GlobalParameters();

inline constexpr const char* kSectionMain = "VelkM_main";
inline constexpr const char* kSectionAlarm = "VelkM_alarm";
inline constexpr const char* kSectionAlarmHandling = "VelkM_alarmhandling";
inline constexpr const char* kSectionMetrics = "VelkM_metrics";
inline constexpr const char* kVersionIDSoft = "V1.00";

// From and to the store at `path` (default: DefaultSettingsPath()). SaveSettings raises
// EIniStoreError when the file cannot be written.
void LoadSettings(const QString& path);
void SaveSettings(const QString& path);
void LoadSettings();
void SaveSettings();

} // namespace velk
