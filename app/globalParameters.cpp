#include "app/globalParameters.h"

#include <cmath>

#include "app/IniStore.h"
#include "common/NumberFormat.h"

namespace velk {

namespace {

const QString kMain = QString::fromLatin1(kSectionMain);
const QString kAlarm = QString::fromLatin1(kSectionAlarm);
const QString kHandling = QString::fromLatin1(kSectionAlarmHandling);
const QString kMetrics = QString::fromLatin1(kSectionMetrics);

// Reals are kept with two significant digits in the locale's notation, not the program-wide
// one: a number field switches that to '.', and the next start would refuse what was saved.
QString RealText(double value) {
    return FormatGeneral(value, 2, LocaleDecimalSeparator());
}

// Either separator is read, so that stores written with '.' in a comma locale still load. A
// text that reads with neither leaves the value as it was.
// A value outside [min, max] is refused as well, when the range is given.
void ReadReal(const TIniStore& store, const QString& section, const QString& key, double& value,
              double min = -HUGE_VAL, double max = HUGE_VAL) {
    const QString text = store.ReadString(section, key, RealText(value));
    for (const QChar separator : {LocaleDecimalSeparator(), QChar('.'), QChar(',')}) {
        if (const auto parsed = ParseReal(text, separator)) {
            if (*parsed >= min && *parsed <= max) value = *parsed;
            return;
        }
    }
}

// A hand-edited value outside the range the dialog allows keeps the default, as a malformed
// one does: a negative delay or a deadband below its neutral value would upset the alarms.
void ReadBounded(const TIniStore& store, const QString& key, std::int32_t& value, int min,
                 int max) {
    const int read = store.ReadInteger(kHandling, key, value);
    if (read >= min && read <= max) value = read;
}

// The keys of the alarm handling section, in the order they are written.
struct TTuningKeys {
    const char* Delay;
    const char* Deadband;
};
constexpr TTuningKeys kTempTuningKeys[2] = {{"delaytemp1", "deadbandtemp1"},
                                            {"delaytemp2", "deadbandtemp2"}};
constexpr TTuningKeys kVacuumTuningKeys = {"delayvacuum", "deadbandvacuum"};

void ReadTuning(const TIniStore& store, const TTuningKeys& keys, double deadbandMin,
                TAlarmTuning& tuning) {
    ReadBounded(store, QString::fromLatin1(keys.Delay), tuning.Delay, 0, kMaxAlarmDelay);
    ReadReal(store, kHandling, QString::fromLatin1(keys.Deadband), tuning.Deadband, deadbandMin,
             kMaxDeadband);
}

void WriteTuning(TIniStore& store, const TTuningKeys& keys, const TAlarmTuning& tuning) {
    store.WriteInteger(kHandling, QString::fromLatin1(keys.Delay), tuning.Delay);
    store.WriteString(kHandling, QString::fromLatin1(keys.Deadband), RealText(tuning.Deadband));
}

void ReadAlarm(const TIniStore& store, const QString& enabledKey, const QString& minKey,
               const QString& maxKey, TAlarmLimits& alarm) {
    alarm.Enabled = store.ReadBool(kAlarm, enabledKey, alarm.Enabled);
    ReadReal(store, kAlarm, minKey, alarm.Min);
    ReadReal(store, kAlarm, maxKey, alarm.Max);
}

void WriteAlarm(TIniStore& store, const QString& enabledKey, const QString& minKey,
                const QString& maxKey, const TAlarmLimits& alarm) {
    store.WriteBool(kAlarm, enabledKey, alarm.Enabled);
    store.WriteString(kAlarm, minKey, RealText(alarm.Min));
    store.WriteString(kAlarm, maxKey, RealText(alarm.Max));
}

} // namespace

TGlobalParameters& GlobalParameters() {
    static TGlobalParameters parameters;
    return parameters;
}

void LoadSettings(const QString& path) {
    TGlobalParameters& p = GlobalParameters();
    const TIniStore store(path);
    p.RefreshRate = store.ReadInteger(kMain, QStringLiteral("RefreshRate"), p.RefreshRate);
    p.IP1 = store.ReadInteger(kMain, QStringLiteral("IP1"), p.IP1);
    p.IP2 = store.ReadInteger(kMain, QStringLiteral("IP2"), p.IP2);
    p.IP3 = store.ReadInteger(kMain, QStringLiteral("IP3"), p.IP3);
    p.IP4 = store.ReadInteger(kMain, QStringLiteral("IP4"), p.IP4);
    for (int i = 1; i <= 2; ++i) {
        const QString n = QString::number(i);
        ReadAlarm(store, QStringLiteral("alarmtemp") + n, QStringLiteral("alarmTempmin") + n,
                  QStringLiteral("alarmTempmax") + n, p.AlarmTemp[i]);
    }
    ReadAlarm(store, QStringLiteral("alarmvacuum"), QStringLiteral("alarmvacuummin"),
              QStringLiteral("alarmvacuummax"), p.AlarmVacuum);
    p.SendAnEmailOnAlarm = store.ReadBool(kAlarm, QStringLiteral("SendAnEmailOnAlarm"), p.SendAnEmailOnAlarm);
    p.EMailAddress = store.ReadString(kAlarm, QStringLiteral("EMailAddress"), p.EMailAddress);
    p.SMTPServer = store.ReadString(kAlarm, QStringLiteral("SMTPServer"), p.SMTPServer);

    TAlarmHandlingParameters& h = p.AlarmHandling;
    for (int i = 1; i <= 2; ++i)
        ReadTuning(store, kTempTuningKeys[i - 1], 0.0, h.Temp[i]);
    ReadTuning(store, kVacuumTuningKeys, 1.0, h.Vacuum);
    ReadBounded(store, QStringLiteral("reminderevery"), h.ReminderEvery, 0, kMaxMinutes);
    ReadBounded(store, QStringLiteral("reminderlimit"), h.ReminderLimit, 1, kMaxReminders);
    ReadBounded(store, QStringLiteral("silentafter"), h.SilentAfter, 0, kMaxMinutes);
    h.Heartbeat = store.ReadBool(kHandling, QStringLiteral("heartbeat"), h.Heartbeat);

    TMetricsParameters& m = p.Metrics;
    m.Enabled = store.ReadBool(kMetrics, QStringLiteral("enabled"), m.Enabled);
    m.Address = store.ReadString(kMetrics, QStringLiteral("address"), m.Address);
    m.Port = store.ReadInteger(kMetrics, QStringLiteral("port"), m.Port);
}

void SaveSettings(const QString& path) {
    const TGlobalParameters& p = GlobalParameters();
    TIniStore store(path);
    store.WriteString(kMain, QStringLiteral("VersionIDSoft"), QString::fromLatin1(kVersionIDSoft));
    store.WriteInteger(kMain, QStringLiteral("RefreshRate"), p.RefreshRate);
    store.WriteInteger(kMain, QStringLiteral("IP1"), p.IP1);
    store.WriteInteger(kMain, QStringLiteral("IP2"), p.IP2);
    store.WriteInteger(kMain, QStringLiteral("IP3"), p.IP3);
    store.WriteInteger(kMain, QStringLiteral("IP4"), p.IP4);
    for (int i = 1; i <= 2; ++i) {
        const QString n = QString::number(i);
        WriteAlarm(store, QStringLiteral("alarmtemp") + n, QStringLiteral("alarmtempmin") + n,
                   QStringLiteral("alarmtempmax") + n, p.AlarmTemp[i]);
    }
    WriteAlarm(store, QStringLiteral("alarmvacuum"), QStringLiteral("alarmvacuummin"),
               QStringLiteral("alarmvacuummax"), p.AlarmVacuum);
    store.WriteBool(kAlarm, QStringLiteral("SendAnEmailOnAlarm"), p.SendAnEmailOnAlarm);
    store.WriteString(kAlarm, QStringLiteral("EMailAddress"), p.EMailAddress);
    store.WriteString(kAlarm, QStringLiteral("SMTPServer"), p.SMTPServer);

    const TAlarmHandlingParameters& h = p.AlarmHandling;
    for (int i = 1; i <= 2; ++i)
        WriteTuning(store, kTempTuningKeys[i - 1], h.Temp[i]);
    WriteTuning(store, kVacuumTuningKeys, h.Vacuum);
    store.WriteInteger(kHandling, QStringLiteral("reminderevery"), h.ReminderEvery);
    store.WriteInteger(kHandling, QStringLiteral("reminderlimit"), h.ReminderLimit);
    store.WriteInteger(kHandling, QStringLiteral("silentafter"), h.SilentAfter);
    store.WriteBool(kHandling, QStringLiteral("heartbeat"), h.Heartbeat);

    const TMetricsParameters& m = p.Metrics;
    store.WriteBool(kMetrics, QStringLiteral("enabled"), m.Enabled);
    store.WriteString(kMetrics, QStringLiteral("address"), m.Address);
    store.WriteInteger(kMetrics, QStringLiteral("port"), m.Port);
    store.Save();
}

void LoadSettings() { LoadSettings(DefaultSettingsPath()); }
void SaveSettings() { SaveSettings(DefaultSettingsPath()); }

} // namespace velk
