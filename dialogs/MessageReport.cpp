#include "dialogs/MessageReport.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "common/Errors.h"

namespace velk {

namespace {

TMessageReporter& Reporter() {
    static TMessageReporter reporter;
    return reporter;
}

void ShowMessageBox(QWidget* parent, const QString& text, TMessageKind kind) {
    QWidget* owner = parent ? parent->window() : nullptr;
    const bool error = kind == TMessageKind::Error;
    const QMessageBox::Icon icon = error                               ? QMessageBox::Critical
                                   : kind == TMessageKind::Information ? QMessageBox::Information
                                                                       : QMessageBox::NoIcon;
    QMessageBox box(icon, error ? QStringLiteral("Error") : QApplication::applicationName(), text,
                    QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("ReportedMessage"));
    box.exec();
}

} // namespace

void ReportMessage(QWidget* parent, const QString& text, TMessageKind kind) {
    // A copy: the reporter may install another one while it runs.
    const TMessageReporter reporter = Reporter();
    if (reporter)
        reporter(parent, text, kind);
    else
        ShowMessageBox(parent, text, kind);
}

TMessageReporter SetMessageReporter(TMessageReporter reporter) {
    TMessageReporter previous = std::move(Reporter());
    Reporter() = std::move(reporter);
    return previous;
}

QString NotAnIntegerText(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString NotARealText(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

void RunCommand(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        ReportMessage(parent, e.Message(), TMessageKind::Error);
    } catch (const std::exception& e) {
        ReportMessage(parent, QString::fromUtf8(e.what()), TMessageKind::Error);
    }
}

} // namespace velk
