#include "app/MainPanel.h"

#include <algorithm>
#include <type_traits>

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>

#include "app/Acquisition.h"
#include "app/Display.h"
#include "app/MailMute.h"
#include "app/MetricsExport.h"
#include "app/StatePaths.h"
#include "app/VelkApplication.h"
#include "app/globalParameters.h"
#include "common/DateTimeText.h"
#include "dialogs/DialogFont.h"
#include "dialogs/DlgConnectIP.h"
#include "dialogs/MessageReport.h"

// The toolbar images live in this static library: its resources are registered by hand.
static void InitToolbarImages() {
    Q_INIT_RESOURCE(MainPanel);
}

namespace velk {

namespace {

// The designed panel was laid out for a narrow bitmap font. With the wider DejaVu Sans the
// columns are moved apart so no caption or value is cut or covered: rows, tops, heights
// and the order of every control stay as designed.
constexpr int kGroupWidth = 246;
constexpr int kRightGroupLeft = kGroupWidth + 3;
constexpr int kClientWidth = kRightGroupLeft + 1 + kGroupWidth; // the LN2 box sits 1 px right
constexpr int kClientHeight = 283;
constexpr int kToolBarHeight = 37;
constexpr int kLogHeight = 55;
constexpr int kValueColumn = 96;   // value labels
constexpr int kButtonColumn = 150; // "Alarm" and "<-"
constexpr int kEditColumn = 194;   // values to write
constexpr int kValueWidth = kButtonColumn - kValueColumn - 2;
constexpr int kSpeedButtonHeight = 17;
constexpr int kLabelHeight = 16;
constexpr int kEditWidth = 46, kEditHeight = 21;

const char* const kGraphHint = "Display a graphic";
const char* const kAlarmHint = "Alarm";
const char* const kApplyHint = "Apply a set point value";

// In the window's font: a control takes it from the style sheet only once it is polished.
int TextWidth(const QString& text) {
    return QFontMetrics(DialogFont()).horizontalAdvance(text);
}

QGroupBox* NewGroupBox(QWidget* parent, const char* name, const char* caption, int left, int top,
                       int height) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(left, top, kGroupWidth, height);
    return box;
}

// A flat push button as wide as its caption needs.
QPushButton* NewSpeedButton(QWidget* parent, const char* name, const char* caption, int left,
                            int top, const char* hint, int tag = 0) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    const int width = TextWidth(button->text()) + 6;
    button->setGeometry(left, top, width, kSpeedButtonHeight);
    button->setToolTip(QString::fromUtf8(hint));
    button->setProperty("Tag", tag);
    return button;
}

// Its text centred on a row of 16 pixels (the closest rows are 16 apart), so that captions,
// values, speed buttons and edit boxes of a row line up.
QLabel* NewLabel(QWidget* parent, const char* name, const char* caption, int left, int top,
                 int width = 0) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(left, top, width > 0 ? width : TextWidth(label->text()) + 2, kLabelHeight);
    return label;
}

QLabel* NewValueLabel(QWidget* parent, const char* name, int left, int top) {
    // Replaced by "-----" before the window is shown.
    return NewLabel(parent, name, "Label", left, top, kValueWidth);
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const char* text, int left, int top) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(left, top, kEditWidth, kEditHeight);
    return edit;
}

QToolButton* NewToolButton(QToolBar* bar, const char* name, const char* image, const char* hint) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QStringLiteral(":/toolbar/") + QLatin1String(image)));
    button->setIconSize(QSize(27, 27));
    button->setFixedSize(34, 33);
    button->setAutoRaise(true);
    if (hint) button->setToolTip(QString::fromLatin1(hint));
    bar->addWidget(button);
    return button;
}

void AddToolSeparator(QToolBar* bar) {
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(8);
    bar->addWidget(gap);
}

TAlarmMailSettings MailSettings() {
    const TGlobalParameters& p = GlobalParameters();
    // Muted until its end is seen to have come, so that what is raised meanwhile is mailed
    // once, when mail resumes.
    const bool muted = p.AlarmHandling.MuteMailUntil.isValid();
    return {p.SendAnEmailOnAlarm && !muted, p.SMTPServer, p.EMailAddress, p.MailSubmission};
}

// A raised alarm's reading in bold red; an old value in alarm keeps the grey of an old value,
// framed in red, so that it is told from both.
const char* const kAlarmValueLook =
    "QLabel { color: #c00000; font-weight: bold; }"
    "QLabel:disabled { color: #909090; border: 1px solid #c00000; }";
// Its "Alarm" button in red: a bold caption would no longer fit the button.
const char* const kAlarmButtonLook = "QPushButton { color: #c00000; }";

void SetLook(QWidget* widget, const char* look) {
    const QString sheet = QString::fromLatin1(look);
    if (widget->styleSheet() != sheet) widget->setStyleSheet(sheet);
}

} // namespace

// Counts the window's handlers on the stack: a close is carried out only when none is.
class TMainForm::THandlerScope {
public:
    explicit THandlerScope(TMainForm& form) : form_(form) { ++form_.handlersRunning_; }
    ~THandlerScope() {
        if (--form_.handlersRunning_ == 0 && form_.closePending_) {
            form_.closePending_ = false;
            // Queued: the handler that ends here is still on the stack.
            QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
        }
    }
    THandlerScope(const THandlerScope&) = delete;
    THandlerScope& operator=(const THandlerScope&) = delete;

private:
    TMainForm& form_;
};

template <class Handler> void TMainForm::Bind(QAbstractButton* button, Handler handler) {
    connect(button, &QAbstractButton::clicked, this, [this, button, handler] {
        THandlerScope scope(*this);
        // A closing window opens nothing more: a dialog would hold the close back.
        if (!Session_ || closePending_) return;
        if constexpr (std::is_invocable_v<Handler, TMainForm*>)
            (this->*handler)();
        else
            (this->*handler)(button);
    });
}

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      History_(
          StateFolder(), [] { return QDateTime::currentDateTime(); },
          [this](const QString& line) { ShowLogLine(line); }),
      Notifier_([this](const QString& line) { AddLogLine(line); }) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setFixedSize(kClientWidth, kClientHeight);
    // Before any control measures its caption. A style sheet's widgets take their font
    // from it, not from their parent, so it names the font as well.
    const QFont font = DialogFont();
    setFont(font);
    // A group's frame runs through the middle of its caption, as the rows' tops assume:
    // drawn below a caption line, it would touch the first row.
    setStyleSheet(
        QStringLiteral("* { font-family: \"%1\"; font-size: %2pt; }"
                       "QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                       " margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }")
            .arg(font.family())
            .arg(font.pointSize()));

    InitToolbarImages();
    BuildToolBar();
    BuildColdSource();
    BuildNitrogenOutput();
    BuildVacuum();
    BuildNitrogen();

    RichEdit_ = new QPlainTextEdit(this);
    RichEdit_->setObjectName(QStringLiteral("RichEdit"));
    RichEdit_->setGeometry(0, kClientHeight - kLogHeight, kClientWidth, kLogHeight);
    RichEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit_->document()->setMaximumBlockCount(kLogPaneLines);

    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    Tray_ = TAlarmTray::Create(*this);
    MuteTimer_.setSingleShot(true);
    MuteTimer_.setTimerType(Qt::PreciseTimer);
    connect(&MuteTimer_, &QTimer::timeout, this, [this] {
        THandlerScope scope(*this);
        if (Session_) ResumeMailIfDue();
    });
    FormCreate();
}

TMainForm::~TMainForm() {
    FormClose();
}

void TMainForm::BuildToolBar() {
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setGeometry(0, 0, kClientWidth, kToolBarHeight);
    ToolBar->setMovable(false);
    ToolBar->setIconSize(QSize(27, 27));
    ToolButtonConnect = NewToolButton(ToolBar, "ToolButtonConnect", "connect.png", "Connect");
    ToolButtonDisconnect =
        NewToolButton(ToolBar, "ToolButtonDisconnect", "disconnect.png", "Disconnect");
    AddToolSeparator(ToolBar);
    ToolButtonRefreshPeriod =
        NewToolButton(ToolBar, "ToolButtonRefreshPeriod", "refresh-period.png", "Refresh period");
    AddToolSeparator(ToolBar);
    ToolButtonAlarmMessageSetting =
        NewToolButton(ToolBar, "ToolButtonAlarmMessageSetting", "mail-settings.png", nullptr);
    ToolButtonAlarmHandling =
        NewToolButton(ToolBar, "ToolButtonAlarmHandling", "alarm-handling.png", "Alarm handling");
    AddToolSeparator(ToolBar);
    ToolButtonHistory = NewToolButton(ToolBar, "ToolButtonHistory", "history.png", "History");
    ToolButtonDisconnect->setEnabled(false);

    Bind(ToolButtonConnect, &TMainForm::Connect);
    Bind(ToolButtonDisconnect, &TMainForm::ToolButtonDisconnectClick);
    Bind(ToolButtonRefreshPeriod, &TMainForm::ToolButtonRefreshPeriodClick);
    Bind(ToolButtonAlarmMessageSetting, &TMainForm::ToolButtonAlarmMessageSettingClick);
    Bind(ToolButtonAlarmHandling, &TMainForm::ToolButtonAlarmHandlingClick);
    Bind(ToolButtonHistory, &TMainForm::ToolButtonHistoryClick);
}

void TMainForm::BuildColdSource() {
    QGroupBox* g = GroupBoxColdSource =
        NewGroupBox(this, "GroupBoxColdSource", "Cold source", 0, 40, 81);
    SpeedButtonColdFingerTemp =
        NewSpeedButton(g, "SpeedButtonColdFingerTemp", "Temp (°C):", 8, 16, kGraphHint, 1);
    LabelColdFingerTemp = NewValueLabel(g, "LabelColdFingerTemp", kValueColumn, 16);
    SpeedButtonAlarmTemp1 =
        NewSpeedButton(g, "SpeedButtonAlarmTemp1", "Alarm", kButtonColumn, 16, kAlarmHint, 1);
    LabelPercentOutput = NewLabel(g, "LabelPercentOutput", "Power (%):", 8, 40);
    LabelPercentOutputValue = NewValueLabel(g, "LabelPercentOutputValue", kValueColumn, 40);
    LabelSetPointColdFinger = NewLabel(g, "LabelSetPointColdFinger", "Set point(°C):", 8, 56);
    LabelSetPointColdFingerValue =
        NewValueLabel(g, "LabelSetPointColdFingerValue", kValueColumn, 56);
    SpeedButtonSetPointColdFinger =
        NewSpeedButton(g, "SpeedButtonSetPointColdFinger", "<-", kButtonColumn, 56, kApplyHint, 1);
    EditColdFingerSetPoint = NewEdit(g, "EditColdFingerSetPoint", "-150", kEditColumn, 54);

    Bind(SpeedButtonColdFingerTemp, &TMainForm::GetGraphSensor);
    Bind(SpeedButtonAlarmTemp1, &TMainForm::SpeedButtonAlarmTemp1Click);
    Bind(SpeedButtonSetPointColdFinger, &TMainForm::SpeedButtonSetPointClick);
}

void TMainForm::BuildNitrogenOutput() {
    QGroupBox* g = GroupBoxNitrogenOutput =
        NewGroupBox(this, "GroupBoxNitrogenOutput", "Nitrogen output", 0, 128, 97);
    SpeedButtonNitrogenOutput =
        NewSpeedButton(g, "SpeedButtonNitrogenOutput", "Temp (°C):", 8, 24, kGraphHint, 2);
    LabelNitrogenOutputTemp = NewValueLabel(g, "LabelNitrogenOutputTemp", kValueColumn, 24);
    SpeedButtonAlarmTemp2 =
        NewSpeedButton(g, "SpeedButtonAlarmTemp2", "Alarm", kButtonColumn, 24, kAlarmHint, 2);
    LabelSetPointNitrogenOutput =
        NewLabel(g, "LabelSetPointNitrogenOutput", "Set point(°C):", 8, 48);
    LabelSetPointNitrogenOutputValue =
        NewValueLabel(g, "LabelSetPointNitrogenOutputValue", kValueColumn, 48);
    SpeedButtonSetPointNitrogenOutput = NewSpeedButton(g, "SpeedButtonSetPointNitrogenOutput", "<-",
                                                       kButtonColumn, 48, kApplyHint, 2);
    EditNitrogenOutputSetPoint = NewEdit(g, "EditNitrogenOutputSetPoint", "30", kEditColumn, 46);
    LabelAllo = NewLabel(g, "LabelAllo", "Alarm low(°C):", 8, 72);
    LabelAlloValue = NewValueLabel(g, "LabelAlloValue", kValueColumn, 72);
    SpeedButtonSetAllo =
        NewSpeedButton(g, "SpeedButtonSetAllo", "<-", kButtonColumn, 72, kApplyHint);
    EditSetAlloValue = NewEdit(g, "EditSetAlloValue", "-30", kEditColumn, 70);

    Bind(SpeedButtonNitrogenOutput, &TMainForm::GetGraphSensor);
    Bind(SpeedButtonAlarmTemp2, &TMainForm::SpeedButtonAlarmTemp1Click);
    Bind(SpeedButtonSetPointNitrogenOutput, &TMainForm::SpeedButtonSetPointClick);
    Bind(SpeedButtonSetAllo, &TMainForm::SpeedButtonSetAlloClick);
}

void TMainForm::BuildVacuum() {
    QGroupBox* g = GroupBoxVacuum =
        NewGroupBox(this, "GroupBoxVacuum", "Vacuum", kRightGroupLeft, 40, 81);
    SpeedButtonVacuum = NewSpeedButton(g, "SpeedButtonVacuum", "Vacuum (mb):", 4, 16, kGraphHint);
    LabelVacuumValue = NewValueLabel(g, "LabelVacuumValue", kValueColumn, 16);
    SpeedButtonAlarmVacuum =
        NewSpeedButton(g, "SpeedButtonAlarmVacuum", "Alarm", kButtonColumn, 16, kAlarmHint);
    SpeedButtonPumpStatus =
        NewSpeedButton(g, "SpeedButtonPumpStatus", "Pump status:", 4, 40, kGraphHint);
    LabelVacuumPumpStatusValue = NewValueLabel(g, "LabelVacuumPumpStatusValue", kValueColumn, 40);
    LabelVacuumValveStatus = NewLabel(g, "LabelVacuumValveStatus", "Valve status:", 8, 64);
    LabelVacuumValveStatusValue = NewValueLabel(g, "LabelVacuumValveStatusValue", kValueColumn, 64);

    Bind(SpeedButtonVacuum, &TMainForm::GetGraphSensorVacuum);
    Bind(SpeedButtonAlarmVacuum, &TMainForm::SpeedButtonAlarmVacuumClick);
    Bind(SpeedButtonPumpStatus, &TMainForm::SpeedButtonPumpStatusClick);
}

void TMainForm::BuildNitrogen() {
    QGroupBox* g = GroupBoxLN2 =
        NewGroupBox(this, "GroupBoxLN2", "Nitrogen", kRightGroupLeft + 1, 128, 97);
    SpeedButtonLN2Level =
        NewSpeedButton(g, "SpeedButtonLN2Level", "LN2 Level (%):", 4, 24, kGraphHint);
    LabelLN2LevelValue = NewValueLabel(g, "LabelLN2LevelValue", kValueColumn, 24);
    ProgressBarLN2Level = new QProgressBar(g);
    ProgressBarLN2Level->setObjectName(QStringLiteral("ProgressBarLN2Level"));
    ProgressBarLN2Level->setGeometry(8, 48, kGroupWidth - 16, 16);
    ProgressBarLN2Level->setRange(0, 100);
    ProgressBarLN2Level->setTextVisible(false);

    Bind(SpeedButtonLN2Level, &TMainForm::SpeedButtonLN2LevelClick);
}

void TMainForm::AddLogLine(const QString& line) {
    ShowLogLine(line);
    History_.AppendEvent(line);
}

void TMainForm::ShowLogLine(const QString& line) {
    QTextCursor cursor(RichEdit_->document());
    cursor.movePosition(QTextCursor::End);
    if (!RichEdit_->document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(line);
    RichEdit_->setTextCursor(cursor);
    RichEdit_->ensureCursorVisible();
}

// ---- Lifecycle ----

void TMainForm::FormCreate() {
    Session_ = std::make_unique<TAcquisition>(
        GlobalParameters().RefreshRate, [this](std::int32_t p) { LogDeviceError(p); },
        [this](std::int32_t p) {
            RecordReadings();
            UpdateDisplay(p);
        });
    Session_->SetOnConnectionLine([this](const QString& line) { AddLogLine(line); });
    ClearReadings();
    UpdateDisplay(0);
    AddLogLine(QString::fromLatin1(kTitleLine));
    ApplyHeartbeat();
    const QDateTime& mute = GlobalParameters().AlarmHandling.MuteMailUntil;
    if (mute.isValid() && mute > QDateTime::currentDateTime())
        AddLogLine(MailMutedLine(mute, false));
    ResumeMailIfDue();
    ApplyMetrics();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (handlersRunning_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    const bool open = Session_ != nullptr;
    {
        THandlerScope scope(*this);
        FormClose();
    }
    event->accept();
    if (open) emit Closed();
}

void TMainForm::FormClose() {
    Metrics_.reset();
    // Stops and frees the timer (waiting for a tick in progress while serving its calls),
    // then frees the link, the drivers and the lock.
    Session_.reset();
}

void TMainForm::Connect() {
    TGlobalParameters& p = GlobalParameters();
    TDlgConnectionIP dialog;
    dialog.SetAddress(p.IP1, p.IP2, p.IP3, p.IP4);
    if (dialog.ShowModal() != 1) return;
    try {
        dialog.GetAddress(p.IP1, p.IP2, p.IP3, p.IP4);
        Session_->Connect(p.IP1, p.IP2, p.IP3, p.IP4);
        ShowConnected(true);
        PublishMetrics();
    } catch (const EEtherLinkError& e) {
        ReportMessage(this, e.Message(), TMessageKind::Plain);
    } catch (const ECN7600connection& e) {
        ReportMessage(this, e.Message(), TMessageKind::Plain);
    } catch (const EADAM4017Connection& e) {
        ReportMessage(this, e.Message(), TMessageKind::Plain);
    } catch (const std::exception& e) {
        VelkApplication::ShowError(QString::fromUtf8(e.what()));
    }
}

void TMainForm::ConnectUnattended() {
    THandlerScope scope(*this);
    if (!Session_) return;
    const TGlobalParameters& p = GlobalParameters();
    try {
        Session_->ConnectUnattended(p.IP1, p.IP2, p.IP3, p.IP4);
        ShowConnected(true, true); // until the box answers the handshake
    } catch (const Exception& e) {
        // Nobody may be there to press Ok; a port held by another program stays held.
        AddLogLine(DeviceErrorLine(e.Message(), QDateTime::currentDateTime()));
    }
}

void TMainForm::ShowConnected(bool connected, bool lost) {
    ToolButtonDisconnect->setEnabled(connected);
    ToolButtonConnect->setEnabled(!connected);
    shownLost_ = lost;
    ShowAlarmState();
}

void TMainForm::ToolButtonDisconnectClick() {
    // Waits for a tick in progress, serving its calls, before ReadingsLock is taken.
    Session_->Timer->SetEnabled(false);
    std::lock_guard lock(Session_->ReadingsLock);
    ShowConnected(false);
    Session_->CloseLink();
    ClearReadings();
    UpdateDisplay(0);
}

// ---- Acquisition and display ----

void TMainForm::ClearReadings() {
    Session_->Readings.Clear();
    // Windows open now keep their history but get no further points.
    for (QPointer<TGraphexForm>& slot : GraphTemp)
        slot.clear();
    GraphVacuum.clear();
    GraphPumpStatus.clear();
    GraphLN2Level.clear();
}

void TMainForm::LogDeviceError(std::int32_t) {
    if (Session_)
        AddLogLine(DeviceErrorLine(Session_->Readings.ErrorMessage, QDateTime::currentDateTime()));
}

void TMainForm::UpdateDisplay(std::int32_t) {
    THandlerScope scope(*this);
    if (!Session_) return;
    // A tick may come before the mute's timer: mail resumes before its alarms are judged. The
    // updates of the window's creation and of Disconnect leave it to the timer, so that the
    // log's first line stays the title line.
    if (Session_->Link) ResumeMailIfDue();
    NotifyAlarmChanges(ShowReadings());
    PublishMetrics();
}

void TMainForm::RecordReadings() {
    if (Session_) History_.AppendReadings(DisplayReadings(Session_->Readings, QLatin1Char('.')));
}

QLabel* TMainForm::ValueLabel(TQuantity quantity) const {
    const std::pair<TQuantity, QLabel*> labels[] = {
        {qTemp1, LabelColdFingerTemp},
        {qPower, LabelPercentOutputValue},
        {qSetPoint1, LabelSetPointColdFingerValue},
        {qTemp2, LabelNitrogenOutputTemp},
        {qSetPoint2, LabelSetPointNitrogenOutputValue},
        {qAlarmLow, LabelAlloValue},
        {qVacuum, LabelVacuumValue},
        {qPumpStatus, LabelVacuumPumpStatusValue},
        {qValveStatus, LabelVacuumValveStatusValue},
        {qLN2Level, LabelLN2LevelValue},
    };
    for (const auto& [q, label] : labels)
        if (q == quantity) return label;
    return nullptr;
}

std::vector<TAlarmChange> TMainForm::ShowReadings() {
    const TDisplay shown = DisplayReadings(Session_->Readings);
    // Kept for the title and the tray, which other handlers update while a tick may run.
    shown_ = shown;
    shownLost_ = Session_->Readings.Lost;
    for (const TQuantityInfo& q : Quantities()) {
        const TShownReading& reading = shown.Readings[q.Quantity];
        QLabel* label = ValueLabel(q.Quantity);
        label->setText(reading.Text);
        label->setEnabled(!reading.Stale); // an old value is drawn greyed
        label->setToolTip(reading.Hint);
    }
    ProgressBarLN2Level->setValue(shown.LN2Bar);
    FeedGraphs(shown);
    TGlobalParameters& p = GlobalParameters();
    std::vector<TAlarmChange> changes = Evaluator_.Evaluate(
        Session_->Readings, p.AlarmTemp, p.AlarmVacuum, p.AlarmHandling, TAlarmInstant::Now());
    ShowAlarmState();
    return changes;
}

void TMainForm::ShowAlarmState() {
    const TGlobalParameters& p = GlobalParameters();
    const std::vector<TActiveAlarm> active = Evaluator_.ActiveAlarms(p.AlarmTemp, p.AlarmVacuum);
    const std::pair<TQuantity, QPushButton*> buttons[] = {{qTemp1, SpeedButtonAlarmTemp1},
                                                          {qTemp2, SpeedButtonAlarmTemp2},
                                                          {qVacuum, SpeedButtonAlarmVacuum}};
    QStringList names;
    for (const auto& [quantity, button] : buttons) {
        const auto alarm =
            std::find_if(active.begin(), active.end(),
                         [q = quantity](const TActiveAlarm& a) { return a.Quantity == q; });
        const bool raised = alarm != active.end();
        SetLook(ValueLabel(quantity), raised ? kAlarmValueLook : "");
        SetLook(button, raised ? kAlarmButtonLook : "");
        button->setToolTip(raised ? QStringLiteral("Alarm since ") + DateTimeText(alarm->Since)
                                  : QString::fromLatin1(kAlarmHint));
        if (raised) names << alarm->Name;
    }
    const bool connected = Session_ && Session_->Link;
    const QString title = WindowTitle(connected, shownLost_, names, p.AlarmHandling.MuteMailUntil);
    setWindowTitle(title);
    if (Tray_ && Session_) {
        const auto state = !names.isEmpty()           ? TAlarmTray::TState::Alarm
                           : connected && !shownLost_ ? TAlarmTray::TState::Normal
                                                      : TAlarmTray::TState::NotConnected;
        Tray_->Show(state, TrayToolTip(title, shown_));
    }
}

void TMainForm::ResumeMailIfDue() {
    if (MailMuteEnded(GlobalParameters().AlarmHandling.MuteMailUntil, QDateTime::currentDateTime()))
        ResumeMail();
    else if (!MuteTimer_.isActive())
        ArmMuteTimer();
}

void TMainForm::ResumeMail() {
    AddLogLine(QString::fromLatin1(kMailResumedLine));
    ArmMuteTimer();
    ShowAlarmState();
    TGlobalParameters& p = GlobalParameters();
    NotifyAlarmChanges(Evaluator_.Restart(p.AlarmTemp, p.AlarmVacuum, TAlarmInstant::Now()));
}

void TMainForm::ArmMuteTimer() {
    const QDateTime& until = GlobalParameters().AlarmHandling.MuteMailUntil;
    if (!until.isValid()) {
        MuteTimer_.stop();
        return;
    }
    // At most the 72 h a mute lasts, well within a timer's range; a timer that fires early
    // finds the end not yet come and is set again.
    MuteTimer_.start(
        static_cast<int>(std::max<qint64>(0, QDateTime::currentDateTime().msecsTo(until) + 1)));
}

void TMainForm::NotifyAlarmChanges(const std::vector<TAlarmChange>& changes) {
    for (const TAlarmChange& change : changes) {
        switch (change.Kind) {
        case TAlarmChange::Start:
            NotifyAlarmStart(change.Message);
            break;
        case TAlarmChange::Stop:
            NotifyAlarmStop(change.Message);
            break;
        case TAlarmChange::Reminder:
            NotifyAlarmReminder(change);
            break;
        }
    }
}

void TMainForm::NotifyAlarmStart(const QString& Msg) {
    NotifyDesktop(true, Msg);
    Notifier_.Notify(true, Msg, MailSettings());
}

void TMainForm::NotifyAlarmStop(const QString& Msg) {
    NotifyDesktop(false, Msg);
    Notifier_.Notify(false, Msg, MailSettings());
}

void TMainForm::NotifyDesktop(bool start, const QString& Msg) {
    if (Tray_ && GlobalParameters().AlarmHandling.Notifications)
        Tray_->Notify(start, AlarmHeaderLine(start, QDateTime::currentDateTime()), Msg);
}

void TMainForm::NotifyAlarmReminder(const TAlarmChange& reminder) {
    Notifier_.Notify(ReminderHeaderLine(QDateTime::currentDateTime(), reminder.Since),
                     reminder.Message, MailSettings());
}

} // namespace velk
