#include "app/globalParameters.h"

#include <cmath>

#include "app/IniStore.h"
#include "app/MailMute.h"
#include "common/DateTimeText.h"
#include "common/NumberFormat.h"

namespace velk {

namespace {

// The alarm dialog's bounds: what its number field can take.
constexpr double kLimitRange = 2147483647.0;

// A TCP port, edited in a spin box; the store's value must be one too.
TSetting PortSetting(const char* key, std::int32_t* port, const char* caption) {
    return {key, port, caption, 10, 0, 1, 65535, 1, TLoad::InRange};
}

// Reals are kept with two significant digits in the locale's notation, not the program-wide
// one: a number field switches that to '.', and the next start would refuse what was saved.
QString RealText(double value) {
    return FormatGeneral(value, 2, LocaleDecimalSeparator());
}

QString IsoText(const QDateTime& when) {
    return when.isValid() ? IsoDateTimeText(when) : QString();
}

// A hand-edited value outside the range the dialog allows keeps the current one, as a malformed
// one does: a negative delay or a deadband below its neutral value would upset the alarms.
bool Accepts(const TSetting& s, double value) {
    return s.Load == TLoad::InRange ? value >= s.Min && value <= s.Max
                                    : value >= -HUGE_VAL && value <= HUGE_VAL;
}

void Read(const TIniStore& store, const QString& section, const TSetting& s, std::int32_t* value) {
    const int read = store.ReadInteger(section, s.Key, *value);
    if (Accepts(s, read)) *value = read;
}

void Read(const TIniStore& store, const QString& section, const TSetting& s, TMilliseconds ms) {
    Read(store, section, s, ms.Value);
}

void Read(const TIniStore& store, const QString& section, const TSetting& s, bool* value) {
    *value = store.ReadBool(section, s.Key, *value);
}

// Either separator is read, so that stores written with '.' in a comma locale still load. A
// text that reads with neither leaves the value as it was.
void Read(const TIniStore& store, const QString& section, const TSetting& s, double* value) {
    const QString text = store.ReadString(section, s.Key, RealText(*value));
    for (const QChar separator : {LocaleDecimalSeparator(), QChar('.'), QChar(',')}) {
        if (const auto parsed = ParseReal(text, separator)) {
            if (Accepts(s, *parsed)) *value = *parsed;
            return;
        }
    }
}

void Read(const TIniStore& store, const QString& section, const TSetting& s, QString* value) {
    *value = store.ReadString(section, s.Key, *value);
}

// An empty text is none; a moment further ahead than the range allows is not one the
// operator chose, and keeps the value as a malformed text does.
void Read(const TIniStore& store, const QString& section, const TSetting& s, THoursAhead at) {
    const QString text = store.ReadString(section, s.Key, IsoText(*at.Value));
    const QDateTime read = QDateTime::fromString(text, Qt::ISODate);
    if (text.isEmpty())
        *at.Value = QDateTime();
    else if (read.isValid() && Accepts(s, HoursLeft(read, QDateTime::currentDateTime())))
        *at.Value = read.toLocalTime();
}

// An unknown name keeps the current choice; names are read without regard to case.
void Read(const TIniStore& store, const QString& section, const TSetting& s,
          const TChoice& choice) {
    const QString name = store.ReadString(section, s.Key, QString()).trimmed();
    for (int i = 0; i < choice.Names.size(); ++i)
        if (choice.Names[i].compare(name, Qt::CaseInsensitive) == 0) choice.Set(i);
}

void Write(TIniStore& store, const QString& section, const TSetting& s, std::int32_t* value) {
    store.WriteInteger(section, s.Key, *value);
}

void Write(TIniStore& store, const QString& section, const TSetting& s, TMilliseconds ms) {
    store.WriteInteger(section, s.Key, *ms.Value);
}

void Write(TIniStore& store, const QString& section, const TSetting& s, bool* value) {
    store.WriteBool(section, s.Key, *value);
}

void Write(TIniStore& store, const QString& section, const TSetting& s, double* value) {
    store.WriteString(section, s.Key, RealText(*value));
}

void Write(TIniStore& store, const QString& section, const TSetting& s, QString* value) {
    store.WriteString(section, s.Key, *value);
}

void Write(TIniStore& store, const QString& section, const TSetting& s, THoursAhead at) {
    store.WriteString(section, s.Key, IsoText(*at.Value));
}

void Write(TIniStore& store, const QString& section, const TSetting& s, const TChoice& choice) {
    store.WriteString(section, s.Key, choice.Names.at(choice.Get()));
}

// The three alarms share one dialog; their keys are "alarm", the alarm's name, the limit and
// the channel: "alarmtempmin1", "alarmvacuummin".
TSettingsGroup AlarmGroup(TAlarmLimits& a, const QString& name, const QString& channel) {
    const auto key = [&](const char* limit) { return "alarm" + name + limit + channel; };
    // Active is run-time state and never stored.
    return {kSectionAlarm,
            "Alarm",
            {
                {key(""), &a.Enabled, "Alarm enabled:"},
                {key("min"), &a.Min, "Min alarm value :", 10, 6, -kLimitRange, kLimitRange},
                {key("max"), &a.Max, "Max alarm value :", 10, 6, -kLimitRange, kLimitRange},
            }};
}

std::vector<TSettingsGroup> AllGroups(TGlobalParameters& p) {
    return {MainGroup(p), TempAlarmGroup(p, 1),  TempAlarmGroup(p, 2), VacuumAlarmGroup(p),
            MailGroup(p), AlarmHandlingGroup(p), MetricsGroup(p)};
}

} // namespace

TSettingsGroup MainGroup(TGlobalParameters& p) {
    return {
        kSectionMain,
        "Refresh rate setting",
        {
            {"RefreshRate", TMilliseconds{&p.RefreshRate}, "Refresh rate (s):", 15, 6, 1.0, 3600.0},
            {"IP1", &p.IP1},
            {"IP2", &p.IP2},
            {"IP3", &p.IP3},
            {"IP4", &p.IP4},
            {"connectatstart", &p.ConnectAtStart, "Connect at start-up:"},
        }};
}

TSettingsGroup TempAlarmGroup(TGlobalParameters& p, int channel) {
    return AlarmGroup(p.AlarmTemp[channel], QStringLiteral("temp"), QString::number(channel));
}

TSettingsGroup VacuumAlarmGroup(TGlobalParameters& p) {
    return AlarmGroup(p.AlarmVacuum, QStringLiteral("vacuum"), QString());
}

TSettingsGroup MailGroup(TGlobalParameters& p) {
    TMailSubmission& m = p.MailSubmission;
    return {kSectionAlarm,
            "Alarm",
            {
                {"SendAnEmailOnAlarm", &p.SendAnEmailOnAlarm, "Send an EMail for each alarm:"},
                {"EMailAddress", &p.EMailAddress, "EMail address:", 30},
                {"SMTPServer", &p.SMTPServer, "SMTP server:", 30},
                // Secure submission, beside the server it concerns; its password is kept apart.
                PortSetting("SMTPPort", &m.Port, "SMTP port:"),
                {"SMTPSecurity", Choice(&m.Security, MailSecurityNames()), "Security:"},
                {"SMTPUser", &m.UserName, "User name (empty: no login):", 30},
                {"SMTPCAFile", &m.CAFile, "CA certificate file (empty: the system's):", 30},
            }};
}

TSettingsGroup AlarmHandlingGroup(TGlobalParameters& p) {
    TAlarmHandlingParameters& h = p.AlarmHandling;
    // The store's values must respect the ranges too.
    constexpr TLoad in = TLoad::InRange;
    // The vacuum's deadband is a factor: 1 is no band.
    return {
        kSectionAlarmHandling,
        "Alarm handling",
        {
            {"delaytemp1", &h.Temp[1].Delay, "Cold plate – Delay (s):", 10, 0, 0, kMaxAlarmDelay,
             10, in},
            {"deadbandtemp1", &h.Temp[1].Deadband, "Cold plate – Deadband:", 10, 6, 0, kMaxDeadband,
             0, in},
            {"delaytemp2", &h.Temp[2].Delay, "Nitrogen output – Delay (s):", 10, 0, 0,
             kMaxAlarmDelay, 10, in},
            {"deadbandtemp2", &h.Temp[2].Deadband, "Nitrogen output – Deadband:", 10, 6, 0,
             kMaxDeadband, 0, in},
            {"delayvacuum", &h.Vacuum.Delay, "Vacuum – Delay (s):", 10, 0, 0, kMaxAlarmDelay, 10,
             in},
            {"deadbandvacuum", &h.Vacuum.Deadband, "Vacuum – Deadband:", 10, 6, 1, kMaxDeadband, 0,
             in},
            {"reminderevery", &h.ReminderEvery, "Reminder every (min):", 10, 0, 0, kMaxMinutes, 5,
             in},
            {"reminderlimit", &h.ReminderLimit, "At most, per alarm:", 10, 0, 1, kMaxReminders, 1,
             in},
            {"silentafter", &h.SilentAfter,
             "Mail when an instrument stops answering after (min):", 10, 0, 0, kMaxMinutes, 5, in},
            {"heartbeat", &h.Heartbeat, "Heartbeat file (velk-monitor.alive):"},
            // Kept as its end, so that a restart keeps it.
            {"mutemailuntil", THoursAhead{&h.MuteMailUntil}, "Mute alarm mail for (h):", 10, 0, 0,
             kMaxMuteHours, 1, in},
            {"notifications", &h.Notifications, "Desktop notifications:"},
        }};
}

TSettingsGroup MetricsGroup(TGlobalParameters& p) {
    TMetricsParameters& m = p.Metrics;
    // Shown after the alarm handling's rows, in its dialog.
    return {kSectionMetrics,
            "Alarm handling",
            {
                {"enabled", &m.Enabled, "Prometheus metrics (/metrics):"},
                {"address", &m.Address, "Metrics address:", 15},
                PortSetting("port", &m.Port, "Metrics port:"),
            }};
}

TGlobalParameters& GlobalParameters() {
    static TGlobalParameters parameters;
    return parameters;
}

void LoadSettings(const QString& path) {
    const TIniStore store(path);
    for (const TSettingsGroup& group : AllGroups(GlobalParameters())) {
        const QString section = QString::fromLatin1(group.Section);
        for (const TSetting& s : group.Rows)
            std::visit([&](const auto& value) { Read(store, section, s, value); }, s.Value);
    }
}

void SaveSettings(const QString& path) {
    TIniStore store(path);
    // The program's version: written only, first.
    store.WriteString(QString::fromLatin1(kSectionMain), QStringLiteral("VersionIDSoft"),
                      QString::fromLatin1(kVersionIDSoft));
    for (const TSettingsGroup& group : AllGroups(GlobalParameters())) {
        const QString section = QString::fromLatin1(group.Section);
        for (const TSetting& s : group.Rows)
            std::visit([&](const auto& value) { Write(store, section, s, value); }, s.Value);
    }
    store.Save();
}

void LoadSettings() {
    LoadSettings(DefaultSettingsPath());
}
void SaveSettings() {
    SaveSettings(DefaultSettingsPath());
}

} // namespace velk
