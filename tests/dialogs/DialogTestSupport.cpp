#include "DialogTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace velk::test {

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageReporter(
        [this](QWidget*, const QString& text, TMessageKind) { messages << text; });
}

MessageRecorder::~MessageRecorder() { SetMessageReporter(previous_); }

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

void PressTab() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }

void ExpectReadableAndShoot(QWidget* window, const QString& name) {
    ASSERT_TRUE(ShowActive(window));
    const auto children = window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        const std::string id = w->objectName().toStdString();
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(w)) needed = label->sizeHint().width();
        if (auto* check = qobject_cast<QCheckBox*>(w)) needed = check->sizeHint().width();
        if (auto* button = qobject_cast<QPushButton*>(w))
            needed = button->fontMetrics().horizontalAdvance(button->text()) + 8;
        EXPECT_GE(w->width(), needed) << id;
        if (!w->isVisibleTo(window)) continue;
        EXPECT_TRUE(window->rect().contains(w->geometry())) << id;
        for (QWidget* other : children) {
            const bool framed = w->objectName() == "Frame" || other->objectName() == "Frame";
            EXPECT_FALSE(other != w && !framed && other->isVisibleTo(window) &&
                         w->geometry().intersects(other->geometry()))
                << id << " overlaps " << other->objectName().toStdString();
        }
    }
    const QString dir = QStringLiteral(VELK_DIALOG_SHOTS_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(dir + '/' + name + ".png")) << name.toStdString();
}

} // namespace velk::test
