#include "app/MainPanel.h"

#include <QScreen>
#include <QTextCursor>
#include <QTextEdit>

namespace velk {

namespace {
constexpr int kClientWidth = 384;
constexpr int kClientHeight = 283;
constexpr int kLogHeight = 55;
} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Velk Monitor"));
    setFixedSize(kClientWidth, kClientHeight);

    RichEdit_ = new QTextEdit(this);
    RichEdit_->setObjectName(QStringLiteral("RichEdit"));
    RichEdit_->setGeometry(0, kClientHeight - kLogHeight, kClientWidth, kLogHeight);
    RichEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit_->setLineWrapMode(QTextEdit::NoWrap);

    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    FormCreate();
}

void TMainForm::FormCreate() { AddLogLine(QString::fromLatin1(kTitleLine)); }

void TMainForm::AddLogLine(const QString& line) {
    QTextCursor cursor(RichEdit_->document());
    cursor.movePosition(QTextCursor::End);
    if (!RichEdit_->document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(line);
    RichEdit_->setTextCursor(cursor);
    RichEdit_->ensureCursorVisible();
}

} // namespace velk
