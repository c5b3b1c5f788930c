#pragma once
// Helpers for the tests of windows and dialogs: reading reported messages without a blocking
// box, finding a control, bringing a window up with keyboard focus, answering a modal dialog,
// the readability check of a window and pictures for a person.

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "dialogs/MessageReport.h"
#include "tests/TestSupport.h"

namespace velk::test {

// Records every reported message instead of showing a box, for as long as it lives.
struct MessageRecorder {
    QStringList messages;
    TMessageReporter previous = SetMessageReporter(
        [this](QWidget*, const QString& text, TMessageKind) { messages << text; });
    ~MessageRecorder() { SetMessageReporter(previous); }
};

// The control called `name` inside `parent`, a T.
template <class T = QWidget> T* Child(const QWidget* parent, const QString& name) {
    T* w = parent->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

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

// Once the next modal dialog (a D) runs, lets `edit` act on it, then presses its `button`
// if it is still open.
template <class D> void AnswerModal(const QString& button, std::function<void(D&)> edit) {
    WhenModal([edit, button] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        edit(*d);
        if (d->isVisible()) Child<QPushButton>(d, button)->click();
    });
}

inline void PressTab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

// Checks that every caption, button and list item of `page` is readable whole and that no
// two of its own controls overlap or leave it (a "Frame" holds the others).
inline void ExpectReadable(QWidget* page) {
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page)) continue;
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(w)) needed = label->sizeHint().width();
        // A flat button draws no frame around its text.
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            const auto* push = qobject_cast<QPushButton*>(w);
            needed = push ? button->fontMetrics().horizontalAdvance(button->text()) +
                                (push->isFlat() ? 6 : 8)
                          : button->sizeHint().width();
        }
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) // the text plus the arrow
                needed = std::max(needed,
                                  combo->fontMetrics().horizontalAdvance(combo->itemText(i)) + 26);
        EXPECT_GE(w->width(), needed) << w->objectName().toStdString();
    }
    const auto children = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        if (!w->isVisibleTo(page)) continue;
        const std::string id = w->objectName().toStdString();
        EXPECT_TRUE(page->rect().contains(w->geometry())) << id;
        for (QWidget* other : children) {
            const bool framed = w->objectName() == "Frame" || other->objectName() == "Frame";
            EXPECT_FALSE(other != w && !framed && other->isVisibleTo(page) &&
                         w->geometry().intersects(other->geometry()))
                << id << " overlaps " << other->objectName().toStdString();
        }
    }
}

// Saves a picture of the shown window as <screenshots>/<name>.png, for a person to look at.
inline void Shoot(QWidget* window, const QString& name) {
    const QString dir = QStringLiteral(VELK_SHOTS_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(dir + '/' + name + ".png")) << name.toStdString();
}

// Shows the window, checks that `page` (the window itself by default) is readable and
// takes its picture.
inline void ExpectReadableAndShoot(QWidget* window, const QString& name, QWidget* page = nullptr) {
    ASSERT_TRUE(ShowActive(window));
    ExpectReadable(page ? page : window);
    Shoot(window, name);
}

} // namespace velk::test
