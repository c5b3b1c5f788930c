#pragma once
// The monitor's main window: a small fixed-size panel that shows the readings of the
// acquisition session, turns the operator's clicks into its commands, and keeps every device
// error and alarm change of the run in its log pane.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "app/AlarmMail.h"
#include "app/AlarmView.h"
#include "app/Alarms.h"
#include "app/Display.h"
#include "app/History.h"

class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QPlainTextEdit;
class QToolBar;
class QToolButton;

namespace velk {

class TAcquisition;
class TGraphexForm;
class TMetricsExport;
struct TDisplay;

inline constexpr const char* kTitleLine = "Velk monitor  V1.00  10/01/01";
// Lines the log pane keeps: every line is in the event log, and a silent instrument adds one
// per tick, so an unbounded pane would grow and slow the window over weeks unattended.
inline constexpr int kLogPaneLines = 10000;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Appends one line at the end of the log pane, which drops its oldest line beyond
    // kLogPaneLines, and to the event log.
    void AddLogLine(const QString& line);

    // Connects to the stored address without the address dialog, as an unattended start
    // does: a box that does not answer yet is tried again on the session's schedule, and a
    // link that cannot be opened is logged once.
    void ConnectUnattended();

    QPlainTextEdit* RichEdit() const { return RichEdit_; }
    // The session, for tests that look at its state; none once the window has closed.
    TAcquisition* Session() const { return Session_.get(); }
    TNMSMTP& NMSMTP() { return Notifier_.NMSMTP(); }
    // The tray icon; none where the desktop has no tray.
    TAlarmTray* Tray() const { return Tray_.get(); }

signals:
    // The window has closed for good (FormClose has run).
    void Closed();

protected:
    // A close that arrives while a handler of this window is running (inside an alarm mail's
    // wait, a dialog, or a stop waiting for a tick) is carried out once it has returned.
    void closeEvent(QCloseEvent* event) override;

private:
    class THandlerScope;
    // Runs `handler` (with the button as Sender when it takes one) at each click, while the
    // session exists, counted as a running handler.
    template <class Handler> void Bind(QAbstractButton* button, Handler handler);

    void BuildToolBar();
    void BuildColdSource();
    void BuildNitrogenOutput();
    void BuildVacuum();
    void BuildNitrogen();
    void ShowLogLine(const QString& line); // the log pane only

    // Lifecycle
    void FormCreate();
    void FormClose();
    void Connect();
    // The connect buttons, and the title and tray; `lost` while the box has not answered yet.
    void ShowConnected(bool connected, bool lost = false);
    void ToolButtonDisconnectClick();

    // Acquisition and display
    void ClearReadings();
    void LogDeviceError(std::int32_t Param);
    void UpdateDisplay(std::int32_t Param);
    // The tick's line of the readings history.
    void RecordReadings();
    // The display half of UpdateDisplay: labels, LN2 bar, graph points and the alarm state;
    // returns the alarm changes to notify.
    std::vector<TAlarmChange> ShowReadings();
    void NotifyAlarmChanges(const std::vector<TAlarmChange>& changes);
    void NotifyAlarmStart(const QString& Msg);
    void NotifyAlarmStop(const QString& Msg);
    void NotifyAlarmReminder(const TAlarmChange& reminder);
    // The desktop notification of a start or end, where there is a tray and it is wanted.
    void NotifyDesktop(bool start, const QString& Msg);
    // The label that shows `quantity`.
    QLabel* ValueLabel(TQuantity quantity) const;
    // The raised alarms in red, the title and the tray icon; after every display update, and
    // after Connect and a change of the mute.
    void ShowAlarmState();
    // Mail resumes once the mute's end has come (checked at its time and at every update).
    void ResumeMailIfDue();
    // Logs the resumption and mails every alarm still raised, as if it had just started.
    void ResumeMail();
    // Sets the mute's timer to its end, or stops it.
    void ArmMuteTimer();

    // Operator commands
    void SpeedButtonSetPointClick(QObject* Sender);
    void SpeedButtonSetAlloClick(QObject* Sender);
    void ToolButtonRefreshPeriodClick(QObject* Sender);
    void SpeedButtonAlarmTemp1Click(QObject* Sender);
    void SpeedButtonAlarmVacuumClick(QObject* Sender);
    void ToolButtonAlarmMessageSettingClick(QObject* Sender);
    void ToolButtonAlarmHandlingClick(QObject* Sender);
    // Opens one more history window over the readings files.
    void ToolButtonHistoryClick(QObject* Sender);
    // The mail settings dialog's "Send a test mail": mails with the addresses as they stand
    // in the dialog and shows the outcome.
    void ButtonTestMailClick(QObject* Sender);
    // Gives the session the heartbeat file, or none, as the settings say.
    void ApplyHeartbeat();
    // Serves the metrics, or stops, as the settings say; and hands them the state of now.
    void ApplyMetrics();
    void PublishMetrics();
    void GetGraphSensor(QObject* Sender);
    void GetGraphSensorVacuum(QObject* Sender);
    void SpeedButtonPumpStatusClick(QObject* Sender);
    void SpeedButtonLN2LevelClick(QObject* Sender);
    void GraphSensorClosed(TGraphexForm* Sender);
    void GraphVacuumClosed(TGraphexForm* Sender);
    void GraphPumpStatusClosed(TGraphexForm* Sender);
    void GraphLN2LevelClosed(TGraphexForm* Sender);
    // Converts the text of `edit` and hands the value to `write` (which writes it to the
    // controller and stores it in its reading), all under ReadingsLock; shows the problem
    // once the lock is released.
    void WriteToController(QLineEdit* edit, TQuantity quantity,
                           const std::function<void(double)>& write);
    // Opens and sets up the graph window of `slot`, or brings the open one to the front.
    void OpenGraph(QPointer<TGraphexForm>& slot, const char* title,
                   void (TMainForm::*closed)(TGraphexForm*));
    void FeedGraphs(const TDisplay& shown);

    QToolBar* ToolBar = nullptr;
    QToolButton* ToolButtonConnect = nullptr;
    QToolButton* ToolButtonDisconnect = nullptr;
    QToolButton* ToolButtonRefreshPeriod = nullptr;
    QToolButton* ToolButtonAlarmMessageSetting = nullptr;
    QToolButton* ToolButtonAlarmHandling = nullptr;
    QToolButton* ToolButtonHistory = nullptr;

    QGroupBox* GroupBoxColdSource = nullptr;
    QPushButton* SpeedButtonColdFingerTemp = nullptr;
    QLabel* LabelColdFingerTemp = nullptr;
    QPushButton* SpeedButtonAlarmTemp1 = nullptr;
    QLabel* LabelPercentOutput = nullptr;
    QLabel* LabelPercentOutputValue = nullptr;
    QLabel* LabelSetPointColdFinger = nullptr;
    QLabel* LabelSetPointColdFingerValue = nullptr;
    QPushButton* SpeedButtonSetPointColdFinger = nullptr;
    QLineEdit* EditColdFingerSetPoint = nullptr;

    QGroupBox* GroupBoxNitrogenOutput = nullptr;
    QPushButton* SpeedButtonNitrogenOutput = nullptr;
    QLabel* LabelNitrogenOutputTemp = nullptr;
    QPushButton* SpeedButtonAlarmTemp2 = nullptr;
    QLabel* LabelSetPointNitrogenOutput = nullptr;
    QLabel* LabelSetPointNitrogenOutputValue = nullptr;
    QPushButton* SpeedButtonSetPointNitrogenOutput = nullptr;
    QLineEdit* EditNitrogenOutputSetPoint = nullptr;
    QLabel* LabelAllo = nullptr;
    QLabel* LabelAlloValue = nullptr;
    QPushButton* SpeedButtonSetAllo = nullptr;
    QLineEdit* EditSetAlloValue = nullptr;

    QGroupBox* GroupBoxVacuum = nullptr;
    QPushButton* SpeedButtonVacuum = nullptr;
    QLabel* LabelVacuumValue = nullptr;
    QPushButton* SpeedButtonAlarmVacuum = nullptr;
    QPushButton* SpeedButtonPumpStatus = nullptr;
    QLabel* LabelVacuumPumpStatusValue = nullptr;
    QLabel* LabelVacuumValveStatus = nullptr;
    QLabel* LabelVacuumValveStatusValue = nullptr;

    QGroupBox* GroupBoxLN2 = nullptr;
    QPushButton* SpeedButtonLN2Level = nullptr;
    QLabel* LabelLN2LevelValue = nullptr;
    QProgressBar* ProgressBarLN2Level = nullptr;

    QPlainTextEdit* RichEdit_ = nullptr;

    // Graph windows fed with the readings; none when closed or forgotten by ClearReadings.
    QPointer<TGraphexForm> GraphTemp[2];
    QPointer<TGraphexForm> GraphVacuum;
    QPointer<TGraphexForm> GraphPumpStatus;
    QPointer<TGraphexForm> GraphLN2Level;

    std::unique_ptr<TAlarmTray> Tray_; // none where the desktop has no tray
    // The last display update's readings and whether the box was lost then.
    TDisplay shown_;
    bool shownLost_ = false;
    QTimer MuteTimer_;
    THistory History_;
    TAlarmNotifier Notifier_;
    TAlarmEvaluator Evaluator_;
    std::unique_ptr<TAcquisition> Session_; // FormCreate to FormClose
    std::unique_ptr<TMetricsExport> Metrics_; // while the settings ask for it
    int handlersRunning_ = 0;
    bool closePending_ = false;
};

} // namespace velk
