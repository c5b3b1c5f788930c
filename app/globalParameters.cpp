#include "app/globalParameters.h"

#include "app/IniStore.h"
#include "common/NumberFormat.h"

namespace velk {

namespace {

const QString kMain = QString::fromLatin1(kSectionMain);
const QString kAlarm = QString::fromLatin1(kSectionAlarm);

// Reals are kept with two significant digits in the locale's notation, not the program-wide
// one: a number field switches that to '.', and the next start would refuse what was saved.
QString RealText(double value) {
    return FormatGeneral(value, 2, LocaleDecimalSeparator());
}

// Either separator is read, so that stores written with '.' in a comma locale still load. A
// text that reads with neither leaves the value as it was.
void ReadReal(const TIniStore& store, const QString& key, double& value) {
    const QString text = store.ReadString(kAlarm, key, RealText(value));
    for (const QChar separator : {LocaleDecimalSeparator(), QChar('.'), QChar(',')}) {
        if (const auto parsed = ParseReal(text, separator)) {
            value = *parsed;
            return;
        }
    }
}

void ReadAlarm(const TIniStore& store, const QString& enabledKey, const QString& minKey,
               const QString& maxKey, TAlarmLimits& alarm) {
    alarm.Enabled = store.ReadBool(kAlarm, enabledKey, alarm.Enabled);
    ReadReal(store, minKey, alarm.Min);
    ReadReal(store, maxKey, alarm.Max);
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
    store.Save();
}

void LoadSettings() { LoadSettings(DefaultSettingsPath()); }
void SaveSettings() { SaveSettings(DefaultSettingsPath()); }

} // namespace velk
