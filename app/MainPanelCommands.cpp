// The operator's commands of the main window: controller writes and the settings dialogs.

#include <cmath>
#include <variant>
#include <vector>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "app/Acquisition.h"
#include "app/AliveFile.h"
#include "app/MailMute.h"
#include "app/MainPanel.h"
#include "app/globalParameters.h"
#include "common/NumberFormat.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/MessageReport.h"

namespace velk {

namespace {

int Tag(QObject* Sender) {
    return Sender->property("Tag").toInt();
}

template <class... F> struct TOverloaded : F... { using F::operator()...; };

// The refresh period is edited in seconds and kept in milliseconds.
constexpr double kMillisecondsPerSecond = 1000.0;

// The rows the dialog shows, one field each in this order: those with a caption.
std::vector<const TSetting*> Shown(const TSettingsGroup& group) {
    std::vector<const TSetting*> shown;
    for (const TSetting& s : group.Rows)
        if (!s.Caption.isEmpty()) shown.push_back(&s);
    return shown;
}

// Returns how many fields it filled.
std::size_t FillFields(const TSettingsGroup& group, TabInfoItemMenu& fields) {
    std::size_t n = 0;
    for (const TSetting* row : Shown(group)) {
        const TSetting& s = *row;
        TInfoItemMenu& f = fields.at(n++);
        f.Caption = s.Caption;
        f.HasValue = true;
        f.Width = s.Width;
        f.Digits = s.Digits;
        f.MinValue = s.Min;
        f.MaxValue = s.Max;
        f.Increment = s.Increment;
        std::visit(TOverloaded{[&](std::int32_t* v) {
                                   f.Kind = KindSpinInt;
                                   f.IntValue = *v;
                               },
                               [&](TMilliseconds ms) {
                                   f.Kind = KindFloat;
                                   f.FloatValue = *ms.Value / kMillisecondsPerSecond;
                               },
                               [&](bool* v) {
                                   f.Kind = KindCheck;
                                   f.BoolValue = *v;
                               },
                               [&](double* v) {
                                   f.Kind = KindFloat;
                                   f.FloatValue = *v;
                               },
                               [&](QString* v) {
                                   f.Kind = KindText;
                                   f.StrValue = *v;
                               },
                               [&](THoursAhead at) {
                                   f.Kind = KindSpinInt;
                                   f.IntValue = HoursLeft(*at.Value, QDateTime::currentDateTime());
                               }},
                   s.Value);
    }
    return n;
}

// `shown` holds the fields as FillFields filled them.
void TakeFields(const TSettingsGroup& group, const TabInfoItemMenu& fields,
                const TabInfoItemMenu& shown) {
    std::size_t n = 0;
    for (const TSetting* s : Shown(group)) {
        const TInfoItemMenu& was = shown.at(n);
        const TInfoItemMenu& f = fields.at(n++);
        // Halves to even, as every rounding of the program.
        std::visit(
            TOverloaded{[&](std::int32_t* v) { *v = f.IntValue; },
                        [&](TMilliseconds ms) {
                            *ms.Value = static_cast<std::int32_t>(
                                std::nearbyint(f.FloatValue * kMillisecondsPerSecond));
                        },
                        [&](bool* v) { *v = f.BoolValue; }, [&](double* v) { *v = f.FloatValue; },
                        [&](QString* v) { *v = f.StrValue; },
                        // Hours left as shown keep the moment where it is: taken
                        // again from now, they would move it on.
                        [&](THoursAhead at) {
                            if (f.IntValue != was.IntValue)
                                *at.Value = HoursAfter(QDateTime::currentDateTime(), f.IntValue);
                        }},
            s->Value);
    }
}

// The record (1-based) of the field that shows `value`.
int RecordOf(const TSettingsGroup& group, const QString* value) {
    const std::vector<const TSetting*> shown = Shown(group);
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (const auto* text = std::get_if<QString*>(&shown[i]->Value); text && *text == value)
            return static_cast<int>(i) + 1;
    return 0;
}

// Shows the group's dialog modally, owned by the application, with the `extra` fields after
// the settings' own; true after OK, with the edited values in the parameters.
bool EditSettings(const TSettingsGroup& group, std::initializer_list<TInfoItemMenu> extra = {}) {
    TabInfoItemMenu fields{};
    std::size_t n = FillFields(group, fields);
    const TabInfoItemMenu shown = fields;
    for (const TInfoItemMenu& field : extra)
        fields.at(n++) = field;
    TDlgBoxStdr dialog(nullptr, fields);
    dialog.setWindowTitle(QString::fromUtf8(group.Title));
    if (dialog.ShowModal() != TDlgBoxStdr::ModalOk) return false;
    TakeFields(group, fields, shown);
    return true;
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
    const std::int32_t period = p.RefreshRate;
    if (!EditSettings(MainGroup(p)) || p.RefreshRate == period) return;
    // The restart does not take ReadingsLock: its stop may wait for a tick.
    if (Session_ && Session_->Timer) Session_->SetRefreshRate(p.RefreshRate);
}

// Active stays: the next display update reacts to the new limits.
void TMainForm::SpeedButtonAlarmTemp1Click(QObject* Sender) {
    EditSettings(TempAlarmGroup(GlobalParameters(), Tag(Sender)));
}

void TMainForm::SpeedButtonAlarmVacuumClick(QObject*) {
    EditSettings(VacuumAlarmGroup(GlobalParameters()));
}

void TMainForm::ToolButtonAlarmMessageSettingClick(QObject*) {
    TInfoItemMenu testMail;
    testMail.Caption = QStringLiteral("Send a test mail");
    testMail.HasValue = true;
    testMail.Kind = KindButton;
    testMail.OnClick = [this](QObject* sender) { ButtonTestMailClick(sender); };
    EditSettings(MailGroup(GlobalParameters()), {testMail});
}

void TMainForm::ButtonTestMailClick(QObject* Sender) {
    const QPointer<QPushButton> button = qobject_cast<QPushButton*>(Sender);
    auto* dialog = button ? qobject_cast<TDlgBoxStdr*>(button->parent()) : nullptr;
    if (!dialog) return;
    // As OK would take them, before they are saved.
    TGlobalParameters& p = GlobalParameters();
    auto fieldText = [dialog, group = MailGroup(p)](const QString& value) {
        return qobject_cast<QLineEdit*>(dialog->FieldControl(RecordOf(group, &value)))
            ->text()
            .left(MaxStrValueLength);
    };
    const TAlarmMailSettings settings{true, fieldText(p.SMTPServer), fieldText(p.EMailAddress)};
    // The client processes window events while it waits: one test mail at a time.
    button->setEnabled(false);
    const std::optional<QString> failure = SendTestMail(settings);
    if (button) button->setEnabled(true);
    // A close that came while the mail waited (a signal at logout dismissed the dialog) would
    // wait behind the outcome's box, which nobody is left to answer.
    if (closePending_) return;
    ReportMessage(dialog,
                  failure ? UnableToSendText(*failure)
                          : QStringLiteral("Test mail sent to ") + settings.Address,
                  TMessageKind::Plain);
}

void TMainForm::ToolButtonAlarmHandlingClick(QObject*) {
    const QDateTime& mute = GlobalParameters().AlarmHandling.MuteMailUntil;
    const QDateTime before = mute;
    if (!EditSettings(AlarmHandlingGroup(GlobalParameters()))) return;
    ApplyHeartbeat();
    if (mute == before) return;
    if (!mute.isValid()) {
        ResumeMail();
        return;
    }
    AddLogLine(MailMutedLine(mute, true));
    ArmMuteTimer();
    ShowAlarmState();
}

void TMainForm::ApplyHeartbeat() {
    if (Session_)
        Session_->SetAliveFile(GlobalParameters().AlarmHandling.Heartbeat ? AliveFilePath()
                                                                          : QString());
}

} // namespace velk
