#pragma once
// Helpers for the dialog tests: reading reported messages without a blocking box, bringing a
// window up with keyboard focus, acting inside a modal loop, and pictures for a person.

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "dialogs/MessageReport.h"

namespace velk::test {

// Records every reported message instead of showing a box, for as long as it lives.
struct MessageRecorder {
    QStringList messages;
    TMessageReporter previous = SetMessageReporter(
        [this](QWidget*, const QString& text, TMessageKind) { messages << text; });
    ~MessageRecorder() { SetMessageReporter(previous); }
};

// Shows the window and waits until it is the active window (so focus events flow).
inline bool ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window, 5000);
}

// Runs `action` once the event loop of a modal dialog (opened after this call) is running;
// it polls, so the action runs inside the modal loop however late that starts.
inline void WhenModal(std::function<void()> action) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (!QApplication::activeModalWidget()) return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(10);
}

inline void PressTab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

// Checks that every caption, check box and button text of the shown window is readable whole
// and that no two controls overlap, then saves a picture as <screenshots>/<name>.png.
inline void ExpectReadableAndShoot(QWidget* window, const QString& name) {
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
