// velk-monitor: wires the settings, the main-thread call service and the main window.

#include <cstdio>

#include "app/MainPanel.h"
#include "app/SignalCloser.h"
#include "app/VelkApplication.h"
#include "app/globalParameters.h"
#include "common/ThreadSynchronize.h"

int main(int argc, char** argv) {
    velk::VelkApplication app(argc, argv);
    velk::CreateThreadCallWindow();
    int rc = 0;
    try {
        velk::LoadSettings();
        try {
            velk::TMainForm form;
            velk::SignalCloser closer(&form);
            // The window may close while a graph window is still open.
            QObject::connect(&form, &velk::TMainForm::Closed, &app, &QCoreApplication::quit);
            form.show();
            rc = app.exec();
        } catch (const std::exception& e) {
            velk::VelkApplication::ShowError(QString::fromUtf8(e.what()));
            rc = 1;
        }
        // Saved however the window ended, so an operator never loses a setting.
        velk::SaveSettings();
    } catch (const std::exception& e) {
        velk::VelkApplication::ShowError(QString::fromUtf8(e.what()));
        rc = 1;
    }
    velk::DestroyThreadCallWindow();
    return rc;
}
