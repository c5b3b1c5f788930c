#include "app/VelkApplication.h"

#include <cstdio>

#include <QFont>

#include "dialogs/MessageReport.h"

namespace velk {

VelkApplication::VelkApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Velk Monitor"));
    setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
}

bool VelkApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
    return false;
}

void VelkApplication::ShowError(const QString& message) {
    std::fprintf(stderr, "velk-monitor: %s\n", message.toLocal8Bit().constData());
    ReportMessage(nullptr, message, TMessageKind::Error);
}

} // namespace velk
