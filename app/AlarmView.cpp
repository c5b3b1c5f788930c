#include "app/AlarmView.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include "app/Display.h"
#include "common/DateTimeText.h"
#include "devices/Quantities.h"

namespace velk {

QString WindowTitle(bool connected, bool lost, const QStringList& activeAlarms,
                    const QDateTime& muteUntil) {
    QStringList parts{QString::fromLatin1(kWindowTitle)};
    if (!activeAlarms.isEmpty()) parts << QStringLiteral("ALARM: ") + activeAlarms.join(", ");
    if (lost)
        parts << QStringLiteral("connection lost");
    else if (!connected)
        parts << QStringLiteral("not connected");
    if (muteUntil.isValid()) parts << QStringLiteral("mail muted until ") + DateTimeText(muteUntil);
    return parts.join(QStringLiteral(" – "));
}

QString TrayToolTip(const QString& title, const TDisplay& shown) {
    QStringList lines{title};
    for (const TQuantityInfo& q : Quantities()) {
        if (!q.GraphTitle) continue;
        const QString unit = QString::fromUtf8(q.Unit);
        lines << QString::fromLatin1(q.Name) + QStringLiteral(": ") +
                     shown.Readings[q.Quantity].Text +
                     (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {

// A disc in the state's colour: green, red, or grey while not connected.
QIcon StateIcon(TAlarmTray::TState state) {
    const QColor colour = state == TAlarmTray::TState::Alarm    ? QColor(208, 0, 0)
                          : state == TAlarmTray::TState::Normal ? QColor(40, 150, 60)
                                                                : QColor(140, 140, 140);
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(3, 3, 26, 26));
    return QIcon(picture);
}

} // namespace

std::unique_ptr<TAlarmTray> TAlarmTray::Create(QWidget& window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return nullptr;
    return std::unique_ptr<TAlarmTray>(new TAlarmTray(window));
}

TAlarmTray::TAlarmTray(QWidget& window) : icon_(this) {
    connect(&icon_, &QSystemTrayIcon::activated, &window,
            [&window](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
                    return;
                window.showNormal();
                window.raise();
                window.activateWindow();
            });
}

void TAlarmTray::Show(TState state, const QString& toolTip) {
    if (state != state_) icon_.setIcon(StateIcon(state));
    state_ = state;
    icon_.setToolTip(toolTip);
    icon_.show();
}

void TAlarmTray::Notify(bool start, const QString& title, const QString& message) {
    icon_.showMessage(title, message,
                      start ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

} // namespace velk
