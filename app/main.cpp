// velk-monitor: wires the settings, the main-thread call service and the main window.

#include <cstdio>

#include <QCommandLineParser>

#include "app/MainPanel.h"
#include "app/SignalCloser.h"
#include "app/VelkApplication.h"
#include "app/globalParameters.h"
#include "common/ThreadSynchronize.h"

int main(int argc, char** argv) {
    velk::VelkApplication app(argc, argv);
    // The version the title line and the settings store carry, without its "V".
    QCoreApplication::setApplicationVersion(QString::fromLatin1(velk::kVersionIDSoft + 1));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches a cryogenic cold source through its interface box."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect to the stored box address at start, without asking for it; "
                       "a box that does not answer is tried again until it does."));
    parser.addOption(connect);
    parser.process(app); // --help, --version and errors end here

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
            if (parser.isSet(connect) || velk::GlobalParameters().ConnectAtStart)
                form.ConnectUnattended();
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
