// The operator's commands of the main window: controller writes and the settings dialogs.

#include <cmath>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "app/Acquisition.h"
#include "app/AliveFile.h"
#include "app/MainPanel.h"
#include "app/MetricsExport.h"
#include "app/globalParameters.h"
#include "common/NumberFormat.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/MessageReport.h"

namespace velk {

namespace {

constexpr double kLimitRange = 2147483647.0;

int Tag(QObject* Sender) {
    return Sender->property("Tag").toInt();
}

TInfoItemMenu Field(const QString& caption, std::uint8_t kind, std::uint8_t width = 0,
                    std::uint8_t digits = 0, double min = 0.0, double max = 0.0) {
    TInfoItemMenu field;
    field.Caption = caption;
    field.HasValue = true;
    field.Kind = kind;
    field.Width = width;
    field.Digits = digits;
    field.MinValue = min;
    field.MaxValue = max;
    return field;
}

// Shows the field-list dialog modally, owned by the application; true after OK, with the
// edited values in `fields`.
bool ShowFieldDialog(const char* title, TabInfoItemMenu& fields) {
    TDlgBoxStdr dialog(nullptr, fields);
    dialog.setWindowTitle(QString::fromLatin1(title));
    return dialog.ShowModal() == TDlgBoxStdr::ModalOk;
}

void EditAlarm(TAlarmLimits& alarm) {
    TabInfoItemMenu fields{};
    fields[0] = Field(QStringLiteral("Alarm enabled:"), KindCheck);
    fields[0].BoolValue = alarm.Enabled;
    fields[1] =
        Field(QStringLiteral("Min alarm value :"), KindFloat, 10, 6, -kLimitRange, kLimitRange);
    fields[1].FloatValue = alarm.Min;
    fields[2] =
        Field(QStringLiteral("Max alarm value :"), KindFloat, 10, 6, -kLimitRange, kLimitRange);
    fields[2].FloatValue = alarm.Max;
    if (!ShowFieldDialog("Alarm", fields)) return;
    // Active stays: the next display update reacts to the new limits.
    alarm.Enabled = fields[0].BoolValue;
    alarm.Min = fields[1].FloatValue;
    alarm.Max = fields[2].FloatValue;
}

} // namespace

void TMainForm::WriteToController(QLineEdit* edit, TQuantity quantity,
                                  const std::function<void(double)>& write) {
    QString failure;
    std::vector<TAlarmChange> changes;
    {
        // A tick in progress finishes its reads first.
        std::lock_guard lock(Session_->ReadingsLock);
        const std::optional<double> value = ParseReal(edit->text());
        if (!value) {
            failure = QStringLiteral("Incorrect value !");
        } else {
            try {
                write(*value);
                Session_->Readings.Refreshed(quantity, QDateTime::currentDateTime());
                changes = ShowReadings();
            } catch (const ECN7600connection& e) {
                failure = e.Message();
            }
        }
    }
    if (!failure.isEmpty()) ReportMessage(this, failure, TMessageKind::Plain);
    // An alarm mail waits for the server while processing events: never under the lock,
    // which a tick and a stop waiting for it would otherwise both wait for.
    NotifyAlarmChanges(changes);
}

void TMainForm::SpeedButtonSetPointClick(QObject* Sender) {
    const int tag = Tag(Sender);
    QLineEdit* edit = tag == 1   ? EditColdFingerSetPoint
                      : tag == 2 ? EditNitrogenOutputSetPoint
                                 : nullptr;
    if (!edit) return;
    WriteToController(edit, tag == 1 ? qSetPoint1 : qSetPoint2, [this, tag](double value) {
        Session_->CN7600.WriteSP1(static_cast<std::uint8_t>(tag), static_cast<float>(value));
        Session_->Readings.SetPoint[tag] = value; // as entered; the next tick reads it back
    });
}

void TMainForm::SpeedButtonSetAlloClick(QObject*) {
    WriteToController(EditSetAlloValue, qAlarmLow, [this](double value) {
        Session_->CN7600.WriteAlLo(2, static_cast<float>(value));
        Session_->Readings.AlarmLow = value;
    });
}

void TMainForm::ToolButtonRefreshPeriodClick(QObject*) {
    TGlobalParameters& p = GlobalParameters();
    TabInfoItemMenu fields{};
    fields[0] = Field(QStringLiteral("Refresh rate (s):"), KindFloat, 15, 6, 1.0, 3600.0);
    fields[0].FloatValue = p.RefreshRate / 1000.0;
    if (!ShowFieldDialog("Refresh rate setting", fields)) return;
    // Halves to even, as every rounding of the program.
    const int period = static_cast<int>(std::nearbyint(fields[0].FloatValue * 1000.0));
    if (period == p.RefreshRate) return;
    p.RefreshRate = period;
    // The restart does not take ReadingsLock: its stop may wait for a tick.
    if (Session_ && Session_->Timer) Session_->SetRefreshRate(period);
}

void TMainForm::SpeedButtonAlarmTemp1Click(QObject* Sender) {
    EditAlarm(GlobalParameters().AlarmTemp[Tag(Sender)]);
}

void TMainForm::SpeedButtonAlarmVacuumClick(QObject*) {
    EditAlarm(GlobalParameters().AlarmVacuum);
}

void TMainForm::ToolButtonAlarmMessageSettingClick(QObject*) {
    TGlobalParameters& p = GlobalParameters();
    TabInfoItemMenu fields{};
    fields[0] = Field(QStringLiteral("Send an EMail for each alarm:"), KindCheck);
    fields[0].BoolValue = p.SendAnEmailOnAlarm;
    fields[1] = Field(QStringLiteral("EMail address:"), KindText, 30);
    fields[1].StrValue = p.EMailAddress;
    fields[2] = Field(QStringLiteral("SMTP server:"), KindText, 30);
    fields[2].StrValue = p.SMTPServer;
    fields[3] = Field(QStringLiteral("Send a test mail"), KindButton);
    fields[3].OnClick = [this](QObject* sender) { ButtonTestMailClick(sender); };
    if (!ShowFieldDialog("Alarm", fields)) return;
    p.SendAnEmailOnAlarm = fields[0].BoolValue;
    p.EMailAddress = fields[1].StrValue;
    p.SMTPServer = fields[2].StrValue;
}

void TMainForm::ButtonTestMailClick(QObject* Sender) {
    const QPointer<QPushButton> button = qobject_cast<QPushButton*>(Sender);
    auto* dialog = button ? qobject_cast<TDlgBoxStdr*>(button->parent()) : nullptr;
    if (!dialog) return;
    // As OK would take them, before they are saved.
    auto fieldText = [dialog](int record) {
        return qobject_cast<QLineEdit*>(dialog->FieldControl(record))
            ->text()
            .left(MaxStrValueLength);
    };
    const TAlarmMailSettings settings{true, fieldText(3), fieldText(2)};
    // The client processes window events while it waits: one test mail at a time.
    button->setEnabled(false);
    const std::optional<QString> failure = SendTestMail(settings);
    if (button) button->setEnabled(true);
    ReportMessage(dialog,
                  failure ? UnableToSendText(*failure)
                          : QStringLiteral("Test mail sent to ") + settings.Address,
                  TMessageKind::Plain);
}

void TMainForm::ToolButtonAlarmHandlingClick(QObject*) {
    TAlarmHandlingParameters& h = GlobalParameters().AlarmHandling;
    const std::pair<const char*, TAlarmTuning*> alarms[] = {
        {"Cold plate", &h.Temp[1]}, {"Nitrogen output", &h.Temp[2]}, {"Vacuum", &h.Vacuum}};
    TabInfoItemMenu fields{};
    std::size_t n = 0;
    for (const auto& [name, tuning] : alarms) {
        const QString prefix = QString::fromLatin1(name) + QStringLiteral(" – ");
        fields[n] =
            Field(prefix + QStringLiteral("Delay (s):"), KindSpinInt, 10, 0, 0, kMaxAlarmDelay);
        fields[n].Increment = 10;
        fields[n++].IntValue = tuning->Delay;
        // The vacuum's is a factor: 1 is no band.
        const double least = tuning == &h.Vacuum ? 1.0 : 0.0;
        fields[n] =
            Field(prefix + QStringLiteral("Deadband:"), KindFloat, 10, 6, least, kMaxDeadband);
        fields[n++].FloatValue = tuning->Deadband;
    }
    const std::tuple<const char*, std::int32_t*, int, int, int> counts[] = {
        {"Reminder every (min):", &h.ReminderEvery, 0, kMaxMinutes, 5},
        {"At most, per alarm:", &h.ReminderLimit, 1, kMaxReminders, 1},
        {"Mail when an instrument stops answering after (min):", &h.SilentAfter, 0, kMaxMinutes, 5},
    };
    for (const auto& [caption, value, min, max, step] : counts) {
        fields[n] = Field(QString::fromLatin1(caption), KindSpinInt, 10, 0, min, max);
        fields[n].Increment = step;
        fields[n++].IntValue = *value;
    }
    fields[n] = Field(QStringLiteral("Heartbeat file (velk-monitor.alive):"), KindCheck);
    fields[n].BoolValue = h.Heartbeat;
    // The Prometheus endpoint.
    TMetricsParameters& m = GlobalParameters().Metrics;
    const std::size_t metricsField = n + 1;
    fields[metricsField] = Field(QStringLiteral("Prometheus metrics (/metrics):"), KindCheck);
    fields[metricsField].BoolValue = m.Enabled;
    fields[metricsField + 1] = Field(QStringLiteral("Metrics address:"), KindText, 15);
    fields[metricsField + 1].StrValue = m.Address;
    fields[metricsField + 2] = Field(QStringLiteral("Metrics port:"), KindInt, 6, 0, 1, 65535);
    fields[metricsField + 2].IntValue = m.Port;
    if (!ShowFieldDialog("Alarm handling", fields)) return;
    m.Enabled = fields[metricsField].BoolValue;
    m.Address = fields[metricsField + 1].StrValue;
    m.Port = fields[metricsField + 2].IntValue;
    ApplyMetrics();
    n = 0;
    for (const auto& [name, tuning] : alarms) {
        tuning->Delay = fields[n++].IntValue;
        tuning->Deadband = fields[n++].FloatValue;
    }
    for (const auto& [caption, value, min, max, step] : counts)
        *value = fields[n++].IntValue;
    h.Heartbeat = fields[n].BoolValue;
    ApplyHeartbeat();
}

void TMainForm::ApplyHeartbeat() {
    if (Session_)
        Session_->SetAliveFile(GlobalParameters().AlarmHandling.Heartbeat ? AliveFilePath()
                                                                          : QString());
}

void TMainForm::ApplyMetrics() {
    const TMetricsParameters& m = GlobalParameters().Metrics;
    Metrics_.reset(); // a new address or port takes effect at once
    if (!m.Enabled) return;
    const QHostAddress address(m.Address);
    std::optional<QString> failure;
    if (address.isNull() || m.Port < 1 || m.Port > 65535) {
        failure = QStringLiteral("not an address and port");
    } else {
        Metrics_ = std::make_unique<TMetricsExport>();
        failure = Metrics_->Listen(address, static_cast<quint16>(m.Port));
    }
    const QString endpoint = QStringLiteral("%1:%2").arg(m.Address).arg(m.Port);
    if (failure) {
        Metrics_.reset();
        AddLogLine(QStringLiteral("Unable to serve the metrics on ") + endpoint + ": " + *failure);
        return;
    }
    AddLogLine(QStringLiteral("Metrics served on http://") + endpoint + "/metrics");
    PublishMetrics();
}

void TMainForm::PublishMetrics() {
    if (!Metrics_ || !Session_) return;
    const TGlobalParameters& p = GlobalParameters();
    Metrics_->Publish({Session_->Readings, p.AlarmTemp, p.AlarmVacuum, Session_->Link != nullptr,
                       Session_->Retransmissions(), Notifier_.MailsSent(),
                       Notifier_.MailsFailed()});
}

} // namespace velk
