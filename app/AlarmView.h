#pragma once
// What the monitor shows of its state outside the readings, so that an alarm is seen from
// across the room and a minimised monitor still tells it: the window title (the task bar's
// text) and, where the desktop has one, a tray icon with desktop notifications.

#include <memory>
#include <optional>

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QSystemTrayIcon>

namespace velk {

struct TDisplay;

inline constexpr const char* kWindowTitle = "Velk Monitor";

// "Velk Monitor", then " – ALARM: " and the raised alarms (in channel order), " – not
// connected" or " – connection lost", and " – mail muted until <date-time>", as they apply.
QString WindowTitle(bool connected, bool lost, const QStringList& activeAlarms,
                    const QDateTime& muteUntil);

// The title, then one line per reading that has a graph window: its name, text and unit.
QString TrayToolTip(const QString& title, const TDisplay& shown);

class TAlarmTray : public QObject {
    Q_OBJECT
public:
    enum class TState { Normal, Alarm, NotConnected };

    // None where the desktop has no system tray: nothing is shown then.
    static std::unique_ptr<TAlarmTray> Create(QWidget& window);

    void Show(TState state, const QString& toolTip);
    // A desktop notification of an alarm's start (a warning) or end.
    void Notify(bool start, const QString& title, const QString& message);

private:
    explicit TAlarmTray(QWidget& window);

    QSystemTrayIcon icon_;
    std::optional<TState> state_;
};

} // namespace velk
