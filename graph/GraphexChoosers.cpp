#include "graph/GraphexChoosers.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "graph/Graphex.h"

namespace velk {

QString TGraphexChoosers::SaveFileName(QWidget* owner, const QString& filter) {
    // The name is checked by the command itself (extension added, file replaced).
    return QFileDialog::getSaveFileName(owner, QString(), QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString TGraphexChoosers::OpenFileName(QWidget* owner) {
    return QFileDialog::getOpenFileName(owner);
}

std::optional<QColor> TGraphexChoosers::Color(QWidget* owner, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, owner);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

std::optional<TChosenFont> TGraphexChoosers::Font(QWidget* owner) {
    QFont start(lastFont_.family, lastFont_.pointSize);
    start.setBold(lastFont_.style & fsBold);
    start.setItalic(lastFont_.style & fsItalic);
    start.setUnderline(lastFont_.style & fsUnderline);
    start.setStrikeOut(lastFont_.style & fsStrikeOut);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, start, owner);
    if (!ok) return std::nullopt;
    TChosenFont chosen;
    chosen.family = font.family();
    chosen.pointSize = font.pointSize() > 0 ? font.pointSize() : lastFont_.pointSize;
    chosen.style = static_cast<std::uint8_t>(
        (font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) |
        (font.underline() ? fsUnderline : 0) | (font.strikeOut() ? fsStrikeOut : 0));
    // Qt's font chooser has no colour; a cancelled colour keeps the last one.
    const QColor color =
        QColorDialog::getColor(lastFont_.color, owner, QStringLiteral("Font color"));
    chosen.color = color.isValid() ? color : lastFont_.color;
    lastFont_ = chosen;
    return chosen;
}

bool TGraphexChoosers::Printer(QWidget* owner, QPrinter& printer) {
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

bool TGraphexChoosers::Confirm(QWidget* owner, const QString& text) {
    return QMessageBox::question(owner, QString(), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace velk
