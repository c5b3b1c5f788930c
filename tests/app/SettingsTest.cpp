#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/IniStore.h"
#include "app/globalParameters.h"
#include "common/DateTimeText.h"
#include "common/NumberFormat.h"
#include "tests/TestSupport.h"

namespace {

using velk::GlobalParameters;

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        GlobalParameters() = velk::TGlobalParameters{};
        separator_ = velk::DecimalSeparator();
        velk::SetDecimalSeparator(QChar('.'));
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override {
        GlobalParameters() = velk::TGlobalParameters{};
        velk::SetDecimalSeparator(separator_);
        QLocale::setDefault(locale_);
    }
    QString Path() const { return dir_.filePath(QStringLiteral("ZURazirod.ini")); }
    void WriteFile(const QByteArray& text) const {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray ReadFile() const {
        QFile f(Path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    QChar separator_;
    QLocale locale_;
};

TEST_F(Settings, AMissingStoreGivesTheDefaultsAndSavesEveryKeyInOrderWithRealsToTwoDigits) {
    velk::LoadSettings(Path());
    EXPECT_FALSE(QFile::exists(Path())); // reading alone writes nothing
    auto& p = GlobalParameters();
    p.AlarmTemp[1].Min = -184;
    p.AlarmTemp[1].Enabled = true;
    p.AlarmVacuum.Max = 0.00002;
    p.RefreshRate = 5000;
    p.ConnectAtStart = true;
    p.EMailAddress = QStringLiteral("Lab <lab@example.org>");
    p.AlarmHandling.Vacuum.Deadband = 1.5;
    p.AlarmHandling.ReminderEvery = 1440;
    // A mute is kept as its end, to the second.
    const QDateTime mute = QDateTime::currentDateTime().addSecs(3600);
    p.AlarmHandling.MuteMailUntil = mute;
    p.MailSubmission = {587, velk::TMailSecurity::StartTls, QStringLiteral("night"),
                        QStringLiteral("/etc/lab-ca.pem")};
    p.Metrics.Address = QStringLiteral("0.0.0.0");
    velk::SaveSettings(Path());
    EXPECT_EQ(ReadFile(),
              QByteArray("[VelkM_main]\n"
                         "VersionIDSoft=V1.00\n"
                         "RefreshRate=5000\n"
                         "IP1=127\nIP2=0\nIP3=0\nIP4=2\nconnectatstart=1\n"
                         "\n[VelkM_alarm]\n"
                         "alarmtemp1=1\nalarmtempmin1=-1.8E2\nalarmtempmax1=1E5\n"
                         "alarmtemp2=0\nalarmtempmin2=-1E5\nalarmtempmax2=1E5\n"
                         "alarmvacuum=0\nalarmvacuummin=-1E5\nalarmvacuummax=2E-5\n"
                         "SendAnEmailOnAlarm=0\n"
                         "EMailAddress=Lab <lab@example.org>\n"
                         "SMTPServer=localhost\n"
                         "SMTPPort=587\nSMTPSecurity=STARTTLS\nSMTPUser=night\n"
                         "SMTPCAFile=/etc/lab-ca.pem\n"
                         "\n[VelkM_alarmhandling]\n"
                         "delaytemp1=0\ndeadbandtemp1=0\ndelaytemp2=0\ndeadbandtemp2=0\n"
                         "delayvacuum=0\ndeadbandvacuum=1.5\n"
                         "reminderevery=1440\nreminderlimit=3\nsilentafter=0\n"
                         "heartbeat=0\nmutemailuntil=" +
                         velk::IsoDateTimeText(mute).toLatin1() +
                         "\nnotifications=1\n"
                         "\n[VelkM_metrics]\n"
                         "enabled=0\naddress=0.0.0.0\nport=9847\n"));
    // Every key loads back: saved again, the file is the same.
    const QByteArray saved = ReadFile();
    GlobalParameters() = velk::TGlobalParameters{};
    velk::LoadSettings(Path());
    EXPECT_EQ(p.AlarmTemp[1].Min, -180.0); // the store keeps two significant digits
    EXPECT_EQ(p.AlarmHandling.MuteMailUntil, mute.addMSecs(-mute.time().msec()));
    velk::SaveSettings(Path());
    EXPECT_EQ(ReadFile(), saved);
}

TEST_F(Settings, MalformedTextsKeepTheDefaultsAndNamesMatchWithoutCase) {
    WriteFile("[velkm_MAIN]\nrefreshrate=abc\nIP4=-x\n"
              "[VELKM_ALARM]\nalarmtemp1=2\nALARMTEMPMIN1=-1.8E2\nalarmtempmax1=\n"
              "alarmvacuummax=abc\nalarmvacuum=yes\nsmtpserver=mail.lab\n"
              "smtpport=70000\nsmtpsecurity=SSL\n"
              // Outside what the dialog allows: the default stays, except the last two.
              "[VelkM_AlarmHandling]\ndelaytemp1=-5\ndelaytemp2=3601\ndeadbandtemp1=-1\n"
              "deadbandvacuum=0.5\nreminderlimit=0\nreminderevery=x\nsilentafter=30\n"
              "deadbandtemp2=2,5\nmutemailuntil=2999-01-01T00:00:00Z\nnotifications=0\n"
              "[VelkM_metrics]\nport=65536\n");
    velk::LoadSettings(Path());
    const auto& p = GlobalParameters();
    EXPECT_EQ(p.RefreshRate, 10000);
    EXPECT_EQ(p.IP4, 2);
    EXPECT_TRUE(p.AlarmTemp[1].Enabled); // any non-zero integer is true
    EXPECT_EQ(p.AlarmTemp[1].Min, -180.0);
    EXPECT_EQ(p.AlarmTemp[1].Max, 100000.0);
    EXPECT_EQ(p.AlarmVacuum.Max, 100000.0);
    EXPECT_FALSE(p.AlarmVacuum.Enabled);
    EXPECT_EQ(p.SMTPServer, "mail.lab");
    EXPECT_EQ(p.MailSubmission.Port, 25);
    EXPECT_EQ(p.MailSubmission.Security, velk::TMailSecurity::None);
    const velk::TAlarmHandlingParameters& h = p.AlarmHandling;
    EXPECT_EQ(std::tuple(h.Temp[1].Delay, h.Temp[2].Delay, h.Temp[1].Deadband, h.Vacuum.Deadband),
              std::tuple(0, 0, 0.0, 1.0));
    EXPECT_EQ(std::tuple(h.ReminderLimit, h.ReminderEvery, h.SilentAfter), std::tuple(3, 0, 30));
    EXPECT_EQ(h.Temp[2].Deadband, 2.5);
    EXPECT_FALSE(h.MuteMailUntil.isValid()); // further ahead than a mute can be
    EXPECT_FALSE(h.Notifications);
    EXPECT_EQ(p.Metrics.Port, 9847);
}

TEST_F(Settings, RealsUseTheLocalesSeparatorWhateverTheProgramSwitchedToAndReadEither) {
    QLocale::setDefault(QLocale(QLocale::German)); // a number field has switched the program to '.'
    GlobalParameters().AlarmVacuum.Max = 0.002;
    velk::SaveSettings(Path());
    EXPECT_TRUE(ReadFile().contains("alarmvacuummax=0,002\n"));
    // Stores written with the program's '.' in a comma locale load as well.
    for (const auto& [text, value] : {std::pair<const char*, double>{"0,002", 0.002},
                                      {"0.002", 0.002},
                                      {"-1,8E2", -180},
                                      {"-1.8E2", -180}}) {
        WriteFile(QByteArray("[VelkM_alarm]\nalarmvacuummax=") + text);
        GlobalParameters() = velk::TGlobalParameters{};
        velk::LoadSettings(Path());
        EXPECT_EQ(GlobalParameters().AlarmVacuum.Max, value) << text;
    }
}

TEST_F(Settings, SavingKeepsForeignKeysNeverLeavesAPartialFileAndRaisesWhenItCannot) {
    // Another program's lines in Latin-1 (0xFC, 0xE4) are kept byte for byte; a line that is
    // not UTF-8 reads as Latin-1, and what the monitor writes is UTF-8.
    WriteFile("[Other]\nkeep=me\nOperator=M\xfcller\n[VelkM_main]\nRefreshRate=1\nlegacy=x\n"
              "[VelkM_alarm]\nSMTPServer=m\xe4il.lab\n");
    velk::LoadSettings(Path());
    EXPECT_EQ(GlobalParameters().SMTPServer, "m\u00e4il.lab");
    velk::SaveSettings(Path());
    const QByteArray text = ReadFile();
    EXPECT_TRUE(text.startsWith("[Other]\nkeep=me\nOperator=M\xfcller\n"));
    EXPECT_TRUE(text.contains("[VelkM_main]\nlegacy=x\nVersionIDSoft=V1.00\nRefreshRate=1\n"));
    EXPECT_TRUE(text.contains("SMTPServer=m\xc3\xa4il.lab\n"));
    GlobalParameters() = velk::TGlobalParameters{};
    velk::LoadSettings(Path());
    EXPECT_EQ(GlobalParameters().SMTPServer, "m\u00e4il.lab");
    // Only the store itself is left in the folder: the temporary file was renamed over it.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"ZURazirod.ini"});

    // A value with a line break cannot split into a second key.
    GlobalParameters().SMTPServer = QStringLiteral("host\nalarmtemp1=1");
    velk::SaveSettings(Path());
    GlobalParameters() = velk::TGlobalParameters{};
    velk::LoadSettings(Path());
    EXPECT_EQ(GlobalParameters().SMTPServer, "host alarmtemp1=1");
    EXPECT_FALSE(GlobalParameters().AlarmTemp[1].Enabled);

    // A store that cannot be written (a folder in its place) raises.
    const QString blocked = dir_.filePath(QStringLiteral("blocked/ZURazirod.ini"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    EXPECT_THROW(velk::SaveSettings(blocked), velk::EIniStoreError);

    // A disk that fills half-way through the save raises and keeps the old store whole.
    const QByteArray before = ReadFile();
    GlobalParameters().SMTPServer = QString(4096, QChar('x'));
    {
        const velk::test::TFullDisk full(before.size() + 100);
        EXPECT_THROW(velk::SaveSettings(Path()), velk::EIniStoreError);
    }
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"ZURazirod.ini"});
}

} // namespace
