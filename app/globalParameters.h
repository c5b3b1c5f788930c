#pragma once
// The monitor's global parameters (refresh period, device address, alarm limits, mail
// settings) with their defaults, the tables of their settings groups, from which the store's
// keys and the settings dialogs are made, and the two routines that move them to and from the
// settings store. Used on the main thread only.

#include <cstdint>
#include <functional>
#include <utility>
#include <variant>
#include <vector>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "app/Channels.h"
#include "mail/Submission.h"

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
    // Shown outside the readings.
    QDateTime MuteMailUntil;   // no alarm mail until then; none: not muted (0..72 h ahead)
    bool Notifications = true; // desktop notifications of alarms, where the desktop has a tray
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
    // Connect to that address at start, without the address dialog (an unattended start).
    bool ConnectAtStart = false;
    bool SendAnEmailOnAlarm = false;
    QString EMailAddress = QStringLiteral("root@localhost");
    QString SMTPServer = QStringLiteral("localhost");
    TMailSubmission MailSubmission; // port, TLS, login; its password is kept apart
    TAlarmTempArray AlarmTemp;
    TAlarmLimits AlarmVacuum;
    TAlarmHandlingParameters AlarmHandling;
    TMetricsParameters Metrics;
};

TGlobalParameters& GlobalParameters();

// An integer of milliseconds that its dialog shows in seconds.
struct TMilliseconds {
    std::int32_t* Value;
};

// A moment ahead, kept as its ISO date-time (empty: none), that its dialog edits as the whole
// hours left until it, 0 for none. Its range is in those hours; at load, a moment passed
// counts 0 hours.
struct THoursAhead {
    QDateTime* Value;
};

// One of a list of names, kept as an enumeration whose values are the names' indices.
struct TChoice {
    QStringList Names;
    std::function<int()> Get;
    std::function<void(int)> Set;
};

template <class E> TChoice Choice(E* value, QStringList names) {
    return {std::move(names), [value] { return static_cast<int>(*value); },
            [value](int index) { *value = static_cast<E>(index); }};
}

// The parameter a setting holds; its type says how the store writes it (integers and Booleans
// as the store does, reals with two significant digits, texts as they are, moments as ISO
// text, a choice as its name) and which field the dialog shows (a spin box, a real in seconds,
// a check box, a real, a text, a spin box of hours, a drop-down list).
using TSettingValue =
    std::variant<std::int32_t*, TMilliseconds, bool*, double*, QString*, THoursAhead, TChoice>;

// Whether a value read from the store must lie in the setting's range as well; where it need
// not, the range is the dialog's alone, and the store takes what the file holds.
enum class TLoad : std::uint8_t { Any, InRange };

// One setting: its key in its group's section, spelt as written (the store finds it whatever
// its case), its parameter, whose initial value is the default, and its row in the group's
// dialog, which has none without a caption.
struct TSetting {
    QString Key;
    TSettingValue Value;
    QString Caption = QString(); // none: not in the dialog
    std::uint8_t Width = 0;      // characters
    std::uint8_t Digits = 0;
    double Min = 0.0;
    double Max = 0.0;
    std::int32_t Increment = 0; // of a spin box
    TLoad Load = TLoad::Any;
};

// The settings of one section that one dialog edits; the rows point into the parameters the
// group was made from and are written in their order.
struct TSettingsGroup {
    const char* Section;
    const char* Title; // of the dialog
    std::vector<TSetting> Rows;
};

// The groups, in the order the store is written: main, the alarms of channels 1 and 2 and of
// the vacuum, mail, alarm handling, metrics. A new setting is one row of its group.
TSettingsGroup MainGroup(TGlobalParameters& p);
TSettingsGroup TempAlarmGroup(TGlobalParameters& p, int channel);
TSettingsGroup VacuumAlarmGroup(TGlobalParameters& p);
TSettingsGroup MailGroup(TGlobalParameters& p);
TSettingsGroup AlarmHandlingGroup(TGlobalParameters& p);
TSettingsGroup MetricsGroup(TGlobalParameters& p);

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
