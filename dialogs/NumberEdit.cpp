#include "dialogs/NumberEdit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QApplication>
#include <QFocusEvent>

#include "common/NumberFormat.h"
#include "dialogs/Expression.h"
#include "dialogs/MessageReport.h"

namespace velk {

namespace {

// Digits enough for any double to read back as itself.
constexpr int ShortestRealDigits = 15;

QString IntegerBound(double bound) {
    return QString::number(std::nearbyint(bound), 'f', 0);
}

} // namespace

TNumberEntryCheck CheckNumberEntry(const QString& text, TTypeValue type, double minValue,
                                   double maxValue) {
    TNumberEntryCheck result;
    try {
        const double v = EvaluateExpression(text);
        if (type == TTypeValue::Int) {
            // nearbyint rounds halves to even under the default rounding mode.
            const double rounded = std::nearbyint(v);
            if (rounded != v || rounded < std::numeric_limits<int>::min() ||
                rounded > std::numeric_limits<int>::max()) {
                result.Message = text + QStringLiteral(" Invalid integer number !");
                return result;
            }
            const int n = static_cast<int>(rounded);
            if (maxValue != minValue) {
                if (n > maxValue)
                    throw ERangeError(QStringLiteral("Figure too high :") + IntegerBound(maxValue));
                if (n < minValue)
                    throw ERangeError(QStringLiteral("Figure too small :") +
                                      IntegerBound(minValue));
            }
            result.Text = QString::number(n);
        } else {
            if (maxValue != minValue) {
                if (v > maxValue)
                    throw ERangeError(QStringLiteral("Figure too high :") +
                                      FormatGeneral(maxValue, ShortestRealDigits));
                if (v < minValue)
                    throw ERangeError(QStringLiteral("Figure too small :") +
                                      FormatGeneral(minValue, ShortestRealDigits));
            }
            result.Text = FormatGeneral(v, ShortestRealDigits);
        }
        result.Accepted = true;
    } catch (const Exception& e) {
        result.Message = e.Message();
    }
    return result;
}

TNumberEdit::TNumberEdit(QWidget* parent) : QLineEdit(parent) {}

bool TNumberEdit::CheckEntry() {
    // A text the user has not edited since the program or the last evaluation put it there is
    // a plain number already; evaluating it again would refuse what the field itself shows,
    // such as "1E-5", which is no expression.
    if (text().isEmpty() || !isModified()) return true;
    const TNumberEntryCheck check = CheckNumberEntry(text(), typeValue_, minValue_, maxValue_);
    if (check.Accepted) {
        ShowResult(check.Text);
        return true;
    }
    ReportMessage(this, check.Message, TMessageKind::Plain);
    setFocus(Qt::OtherFocusReason);
    return false;
}

void TNumberEdit::ShowResult(const QString& result) {
    // The length limits what the operator types, never the result: cut to a 10-character
    // field, 1/300000 would read 3.33333333 instead of 3.33333333333333E-6. The limit widens
    // while a result needs it and is back for the next entry.
    if (typingLimit_ < 0) typingLimit_ = maxLength();
    setMaxLength(std::max(typingLimit_, static_cast<int>(result.size())));
    setText(result);
}

void TNumberEdit::focusOutEvent(QFocusEvent* event) {
    // Only a move of the focus to another control counts as leaving the field; the window
    // losing activation (a message box, another program) does not.
    // Nor does a move to a control that abandons the entry anyway (a dialog's Cancel):
    // checking there would keep the user from cancelling with the mouse.
    const Qt::FocusReason reason = event->reason();
    const QWidget* target = QApplication::focusWidget();
    const bool abandons = target && target->property(AbandonsEntryProperty).toBool();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        reason != Qt::MenuBarFocusReason && !abandons)
        CheckEntry();
    QLineEdit::focusOutEvent(event);
}

bool CheckFocusedNumberEdit(QWidget* dialog) {
    auto* edit = qobject_cast<TNumberEdit*>(dialog->focusWidget());
    if (!edit || edit->window() != dialog->window()) return true;
    return edit->CheckEntry();
}

} // namespace velk
