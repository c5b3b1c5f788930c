// The operator's commands of the main window: controller writes and the settings dialogs.

#include <cmath>

#include <QLineEdit>

#include "app/Acquisition.h"
#include "app/MainPanel.h"
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

TInfoItemMenu Field(const char* caption, std::uint8_t kind, std::uint8_t width = 0,
                    std::uint8_t digits = 0, double min = 0.0, double max = 0.0) {
    TInfoItemMenu field;
    field.Caption = QString::fromUtf8(caption);
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
    fields[0] = Field("Alarm enabled:", KindCheck);
    fields[0].BoolValue = alarm.Enabled;
    fields[1] = Field("Min alarm value :", KindFloat, 10, 6, -kLimitRange, kLimitRange);
    fields[1].FloatValue = alarm.Min;
    fields[2] = Field("Max alarm value :", KindFloat, 10, 6, -kLimitRange, kLimitRange);
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
    fields[0] = Field("Refresh rate (s):", KindFloat, 15, 6, 1.0, 3600.0);
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
    fields[0] = Field("Send an EMail for each alarm:", KindCheck);
    fields[0].BoolValue = p.SendAnEmailOnAlarm;
    fields[1] = Field("EMail address:", KindText, 30);
    fields[1].StrValue = p.EMailAddress;
    fields[2] = Field("SMTP server:", KindText, 30);
    fields[2].StrValue = p.SMTPServer;
    if (!ShowFieldDialog("Alarm", fields)) return;
    p.SendAnEmailOnAlarm = fields[0].BoolValue;
    p.EMailAddress = fields[1].StrValue;
    p.SMTPServer = fields[2].StrValue;
}

} // namespace velk
