#pragma once
// How the dialog toolkit tells the user about a refused entry: a modal message box with an OK
// button, or whatever a test installs in its place to read the message without blocking.

#include <functional>

#include <QString>

class QWidget;

namespace velk {

enum class TMessageKind { Plain, Information, Error };

using TMessageReporter =
    std::function<void(QWidget* parent, const QString& text, TMessageKind kind)>;

// Shows `text` in a modal message box over `parent`'s window (or hands it to the installed
// reporter) and returns once the user has closed it.
void ReportMessage(QWidget* parent, const QString& text, TMessageKind kind);

// Runs an operator command; an error it raises is reported as an error message over `parent`,
// and the window stays usable.
void RunCommand(QWidget* parent, const std::function<void()>& action);

// Installs `reporter` (an empty one brings the message box back); returns the previous one.
TMessageReporter SetMessageReporter(TMessageReporter reporter);

// Texts of a failed conversion of a field's text, as the conversion routines word them.
QString NotAnIntegerText(const QString& text);
QString NotARealText(const QString& text);

} // namespace velk
