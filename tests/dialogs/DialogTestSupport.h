#pragma once
// Helpers for the dialog tests: reading reported messages without a blocking box, bringing a
// window up with keyboard focus, acting inside a modal loop, and pictures for a person.

#include <functional>

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

// Presses Tab in the widget that has the focus.
void PressTab();

// Checks that every caption, check box and button text of the window is readable whole and
// that no two controls overlap, then saves a picture as <screenshots>/<name>.png.
void ExpectReadableAndShoot(QWidget* window, const QString& name);

} // namespace velk::test
