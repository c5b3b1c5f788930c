#pragma once
// Helpers for the dialog tests: reading reported messages without a blocking box, bringing a
// window up with keyboard focus, and acting inside a modal loop.

#include <functional>

#include <QString>
#include <QStringList>

#include "dialogs/MessageReport.h"

class QWidget;

namespace velk::test {

// Records every reported message instead of showing a box, for as long as it lives.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList messages;

private:
    TMessageReporter previous_;
};

// Shows the window and waits until it is the active window (so focus events flow).
bool ShowActive(QWidget* window);

// Runs `action` once the event loop of a modal dialog (opened after this call) is running.
void WhenModal(std::function<void()> action);

// Saves a picture of the window as <screenshots>/<name>.png; gives the file path.
QString SaveShot(QWidget* window, const QString& name);

// Presses Tab in the widget that has the focus.
void PressTab();

} // namespace velk::test
