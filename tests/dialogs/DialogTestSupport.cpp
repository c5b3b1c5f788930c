#include "DialogTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace velk::test {

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageReporter(
        [this](QWidget*, const QString& text, TMessageKind) { messages << text; });
}

MessageRecorder::~MessageRecorder() {
    SetMessageReporter(previous_);
}

bool ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window, 5000);
}

void WhenModal(std::function<void()> action) {
    // Polls so that the action runs inside the modal loop, however late it starts.
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (!QApplication::activeModalWidget()) return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

QString SaveShot(QWidget* window, const QString& name) {
    const QString dir = QStringLiteral(VELK_DIALOG_SHOTS_DIR);
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    return window->grab().save(path) ? path : QString();
}

void PressTab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

} // namespace velk::test
