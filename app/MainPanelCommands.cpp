// The operator's commands of the main window: controller writes and the settings dialogs.

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <utility>
#include <variant>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

#include "app/Acquisition.h"
#include "app/AliveFile.h"
#include "app/MailMute.h"
#include "app/MainPanel.h"
#include "app/MetricsExport.h"
#include "app/globalParameters.h"
#include "common/NumberFormat.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/MessageReport.h"
#include "mail/PasswordFile.h"

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

// A field of a settings dialog that is no setting.
struct TExtraField {
    QString Before; // the key of the setting it comes before; empty: after them all
    TInfoItemMenu Field;
};

// The setting each record of the dialog shows, in order: the groups' rows one group after the
// other; none where an extra field goes. The extras are listed in the order they show.
std::vector<const TSetting*> Records(const std::vector<TSettingsGroup>& groups,
                                     const std::vector<TExtraField>& extras) {
    std::vector<const TSetting*> records;
    for (const TSettingsGroup& group : groups)
        std::ranges::copy(Shown(group), std::back_inserter(records));
    for (const TExtraField& e : extras)
        records.insert(std::ranges::find_if(
                           records, [&e](const TSetting* s) { return s && s->Key == e.Before; }),
                       nullptr);
    return records;
}

void FillFields(const std::vector<const TSetting*>& records, const std::vector<TExtraField>& extras,
                TabInfoItemMenu& fields) {
    auto extra = extras.begin();
    for (std::size_t n = 0; n < records.size(); ++n) {
        TInfoItemMenu& f = fields.at(n);
        if (!records[n]) {
            f = (extra++)->Field;
            continue;
        }
        const TSetting& s = *records[n];
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
                               },
                               [&](const TChoice& c) {
                                   f.Kind = KindChoice;
                                   f.Items = c.Names;
                                   f.IntValue = c.Get();
                               }},
                   s.Value);
    }
}

// Into the parameters and the extras' fields; `shown` holds the fields as FillFields filled them.
void TakeFields(const std::vector<const TSetting*>& records, const TabInfoItemMenu& fields,
                const TabInfoItemMenu& shown, std::vector<TExtraField>& extras) {
    auto extra = extras.begin();
    for (std::size_t n = 0; n < records.size(); ++n) {
        const TInfoItemMenu& f = fields.at(n);
        if (!records[n]) {
            (extra++)->Field = f;
            continue;
        }
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
                            if (f.IntValue != shown.at(n).IntValue)
                                *at.Value = HoursAfter(QDateTime::currentDateTime(), f.IntValue);
                        },
                        [&](const TChoice& c) { c.Set(f.IntValue); }},
            records[n]->Value);
    }
}

// The record (1-based) of the field that shows the setting `key`; with an empty key, of the
// first extra field.
int RecordOf(const std::vector<const TSetting*>& records, const QString& key) {
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i] ? records[i]->Key == key : key.isEmpty()) return static_cast<int>(i) + 1;
    return 0;
}

// Shows the dialog of the first group modally, owned by the application, with the rows of the
// groups in their order and the `extras` among them; `prepare` sees the dialog before it shows.
// True after OK, with the edited values in the parameters and in the extras' fields.
bool EditSettings(const std::vector<TSettingsGroup>& groups, std::vector<TExtraField>& extras,
                  const std::function<void(TDlgBoxStdr&)>& prepare = {}) {
    const std::vector<const TSetting*> records = Records(groups, extras);
    TabInfoItemMenu fields{};
    FillFields(records, extras, fields);
    const TabInfoItemMenu shown = fields;
    TDlgBoxStdr dialog(nullptr, fields);
    dialog.setWindowTitle(QString::fromUtf8(groups.front().Title));
    if (prepare) prepare(dialog);
    if (dialog.ShowModal() != TDlgBoxStdr::ModalOk) return false;
    TakeFields(records, fields, shown, extras);
    return true;
}

bool EditSettings(const std::vector<TSettingsGroup>& groups) {
    std::vector<TExtraField> none;
    return EditSettings(groups, none);
}

// The mail dialog's fields that are no settings: the password, which is never shown back and
// goes to its own file, before the CA file; the test mail's button last.
std::vector<TExtraField> MailExtras(std::function<void(QObject*)> onTestMail) {
    TInfoItemMenu password;
    password.Caption = QStringLiteral("Password (empty: unchanged):");
    password.HasValue = true;
    password.Kind = KindText;
    password.Width = 30;
    TInfoItemMenu testMail;
    testMail.Caption = QStringLiteral("Send a test mail");
    testMail.HasValue = true;
    testMail.Kind = KindButton;
    testMail.OnClick = std::move(onTestMail);
    return {{QStringLiteral("SMTPCAFile"), password}, {QString(), testMail}};
}

// The mail settings as the dialog's controls show them, before OK.
TAlarmMailSettings ShownMailSettings(const TDlgBoxStdr& dialog) {
    const std::vector<TSettingsGroup> groups{MailGroup(GlobalParameters())};
    const std::vector<const TSetting*> records = Records(groups, MailExtras({}));
    const auto control = [&](const QString& key) {
        return dialog.FieldControl(RecordOf(records, key));
    };
    const auto text = [&](const QString& key) {
        return qobject_cast<QLineEdit*>(control(key))->text().left(MaxStrValueLength);
    };
    return {true,
            text(QStringLiteral("SMTPServer")),
            text(QStringLiteral("EMailAddress")),
            {qobject_cast<QSpinBox*>(control(QStringLiteral("SMTPPort")))->value(),
             static_cast<TMailSecurity>(
                 qobject_cast<QComboBox*>(control(QStringLiteral("SMTPSecurity")))->currentIndex()),
             text(QStringLiteral("SMTPUser")), text(QStringLiteral("SMTPCAFile"))},
            text(QString())};
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
    std::vector<TExtraField> extras =
        MailExtras([this](QObject* sender) { ButtonTestMailClick(sender); });
    // The password never shows: its field starts empty and stays so unless a new one is typed;
    // it is the first extra field.
    const std::vector<TSettingsGroup> groups{MailGroup(GlobalParameters())};
    const auto mask = [&](TDlgBoxStdr& dialog) {
        qobject_cast<QLineEdit*>(dialog.FieldControl(RecordOf(Records(groups, extras), QString())))
            ->setEchoMode(QLineEdit::Password);
    };
    if (!EditSettings(groups, extras, mask)) return;
    if (const QString password = extras.front().Field.StrValue; !password.isEmpty()) {
        try {
            WritePasswordFile(MailPasswordPath(), password);
        } catch (const Exception& e) {
            ReportMessage(this, e.Message(), TMessageKind::Plain);
        }
    }
}

void TMainForm::ButtonTestMailClick(QObject* Sender) {
    const QPointer<QPushButton> button = qobject_cast<QPushButton*>(Sender);
    auto* dialog = button ? qobject_cast<TDlgBoxStdr*>(button->parent()) : nullptr;
    if (!dialog) return;
    // As OK would take them, before they are saved.
    const TAlarmMailSettings settings = ShownMailSettings(*dialog);
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
    const QDateTime& mute = p.AlarmHandling.MuteMailUntil;
    const QDateTime before = mute;
    if (!EditSettings({AlarmHandlingGroup(p), MetricsGroup(p)})) return;
    ApplyHeartbeat();
    ApplyMetrics();
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
