#pragma once
// The application object: the dialog font, and the standard error report for errors a
// command does not catch (a message box with the text, the program goes on).

#include <QApplication>

namespace velk {

class VelkApplication : public QApplication {
public:
    VelkApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows `message` in a message box through the dialogs' reporter, which tests replace
    // (and on standard error, for a session without eyes on it).
    static void ShowError(const QString& message);
};

} // namespace velk
