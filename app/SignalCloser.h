#pragma once
// Closes a window when the process receives SIGTERM, SIGINT or SIGHUP, exactly as if the
// operator had closed it, so that a logout or a kill still saves the settings.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace velk {

class SignalCloser : public QObject {
    Q_OBJECT
public:
    // One per process; installs the handlers and restores the previous ones when destroyed.
    explicit SignalCloser(QWidget* window);
    ~SignalCloser() override;

private:
    void OnSignal();

    QPointer<QWidget> window_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace velk
