// The operator's commands of the main window: controller writes and the settings dialogs.

#include <cmath>
#include <variant>
#include <vector>

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

// From field `n` on; returns the field after its last.
std::size_t FillFields(const TSettingsGroup& group, TabInfoItemMenu& fields, std::size_t n) {
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
                               }},
                   s.Value);
    }
    return n;
}

// From field `n` on; returns the field after its last.
std::size_t TakeFields(const TSettingsGroup& group, const TabInfoItemMenu& fields, std::size_t n) {
    for (const TSetting* s : Shown(group)) {
        const TInfoItemMenu& f = fields.at(n++);
        // Halves to even, as every rounding of the program.
        std::visit(TOverloaded{[&](std::int32_t* v) { *v = f.IntValue; },
                               [&](TMilliseconds ms) {
                                   *ms.Value = static_cast<std::int32_t>(
                                       std::nearbyint(f.FloatValue * kMillisecondsPerSecond));
                               },
                               [&](bool* v) { *v = f.BoolValue; },
                               [&](double* v) { *v = f.FloatValue; },
                               [&](QString* v) { *v = f.StrValue; }},
                   s->Value);
    }
    return n;
}

// The record (1-based) of the field that shows `value`.
int RecordOf(const TSettingsGroup& group, const QString* value) {
    const std::vector<const TSetting*> shown = Shown(group);
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (const auto* text = std::get_if<QString*>(&shown[i]->Value); text && *text == value)
            return static_cast<int>(i) + 1;
    return 0;
}

// Shows the dialog of the first group modally, owned by the application, with the rows of
// the groups in their order and the `extra` fields after them; true after OK, with the edited
// values in the parameters.
bool EditSettings(std::initializer_list<TSettingsGroup> groups,
                  std::initializer_list<TInfoItemMenu> extra = {}) {
    TabInfoItemMenu fields{};
    std::size_t n = 0;
    for (const TSettingsGroup& group : groups)
        n = FillFields(group, fields, n);
    for (const TInfoItemMenu& field : extra)
        fields.at(n++) = field;
    TDlgBoxStdr dialog(nullptr, fields);
    dialog.setWindowTitle(QString::fromUtf8(groups.begin()->Title));
    if (dialog.ShowModal() != TDlgBoxStdr::ModalOk) return false;
    n = 0;
    for (const TSettingsGroup& group : groups)
        n = TakeFields(group, fields, n);
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
    if (!EditSettings({MainGroup(p)}) || p.RefreshRate == period) return;
    // The restart does not take ReadingsLock: its stop may wait for a tick.
    if (Session_ && Session_->Timer) Session_->SetRefreshRate(p.RefreshRate);
}

// Active stays: the next display update reacts to the new limits.
void TMainForm::SpeedButtonAlarmTemp1Click(QObject* Sender) {
    EditSettings({TempAlarmGroup(GlobalParameters(), Tag(Sender))});
}

void TMainForm::SpeedButtonAlarmVacuumClick(QObject*) {
    EditSettings({VacuumAlarmGroup(GlobalParameters())});
}

void TMainForm::ToolButtonAlarmMessageSettingClick(QObject*) {
    TInfoItemMenu testMail;
    testMail.Caption = QStringLiteral("Send a test mail");
    testMail.HasValue = true;
    testMail.Kind = KindButton;
    testMail.OnClick = [this](QObject* sender) { ButtonTestMailClick(sender); };
    EditSettings({MailGroup(GlobalParameters())}, {testMail});
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
    TGlobalParameters& p = GlobalParameters();
    if (!EditSettings({AlarmHandlingGroup(p), MetricsGroup(p)})) return;
    ApplyHeartbeat();
    ApplyMetrics();
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
    // The port is in range: the store's value must be, and the dialog's is.
    if (address.isNull()) {
        failure = QStringLiteral("not an address");
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
    // Free at a display update; after Connect or the dialog, a tick may be running.
    std::lock_guard lock(Session_->ReadingsLock);
    // A lost box keeps its link open while the session tries to reach it again.
    const bool connected = Session_->Link != nullptr && !Session_->Readings.Lost;
    Metrics_->Publish({Session_->Readings, p.AlarmTemp, p.AlarmVacuum, connected,
                       Session_->Retransmissions(), Notifier_.MailsSent(),
                       Notifier_.MailsFailed()});
}

} // namespace velk
