#pragma once
// The choosers a graph window asks the operator with (file names, colours, font, printer,
// a yes/no question). The window reaches them through this one class, which a test replaces
// to answer without a modal dialog.

#include <cstdint>
#include <optional>

#include <QColor>
#include <QFont>
#include <QString>

class QPrinter;
class QWidget;

namespace velk {

struct TChosenFont {
    QString family;
    int pointSize = 8;
    QColor color;
    std::uint8_t style = 0; // TFontStyle bits
};

class TGraphexChoosers {
public:
    virtual ~TGraphexChoosers() = default;

    // A file name to write, or empty when cancelled; `filter` in Qt's "Text (*.txt)" form.
    virtual QString SaveFileName(QWidget* owner, const QString& filter);
    // A file to read (any name), or empty when cancelled.
    virtual QString OpenFileName(QWidget* owner);
    virtual std::optional<QColor> Color(QWidget* owner, const QColor& initial);
    // Starts from its own last choice; the colour is asked right after the font.
    virtual std::optional<TChosenFont> Font(QWidget* owner);
    // Sets the printer up; false when cancelled.
    virtual bool Printer(QWidget* owner, QPrinter& printer);
    // Yes/No question; true for Yes.
    virtual bool Confirm(QWidget* owner, const QString& text);

private:
    TChosenFont lastFont_{QStringLiteral("Arial"), 8, QColor(Qt::black), 0};
};

} // namespace velk
