#pragma once
// TNumberEdit: a single-line edit that takes a small arithmetic expression, evaluates it when
// the focus leaves it, checks the result against a range and shows the result instead.

#include <QLineEdit>
#include <QString>

#include "common/Errors.h"

namespace velk {

class ERangeError : public Exception {
public:
    using Exception::Exception;
};

enum class TTypeValue { Int = 0, Float = 1 };

// Outcome of checking one entry: either the text to show instead, or the message to report.
struct TNumberEntryCheck {
    bool Accepted = false;
    QString Text;
    QString Message;
};

// The whole check of an entry, without a widget: evaluation, whole-number test for Int, and
// the range test unless maxValue equals minValue.
TNumberEntryCheck CheckNumberEntry(const QString& text, TTypeValue type, double minValue,
                                   double maxValue);

class TNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    double MaxValue() const { return maxValue_; }
    void SetMaxValue(double value) { maxValue_ = value; }
    double MinValue() const { return minValue_; }
    void SetMinValue(double value) { minValue_ = value; }
    TTypeValue TypeValue() const { return typeValue_; }
    void SetTypeValue(TTypeValue value) { typeValue_ = value; }

    // What leaving the field does: a non-empty text the user has edited is evaluated and
    // replaced by its result;
    // on a fault the message is reported, the text stays as typed, the focus comes back here
    // and false is returned. Dialogs call it for the field that holds the focus when they
    // are confirmed from the keyboard, since that field's focus never left it.
    bool CheckEntry();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowResult(const QString& result);

    double maxValue_ = 0.0;
    double minValue_ = 0.0;
    TTypeValue typeValue_ = TTypeValue::Int;
    int typingLimit_ = -1; // the length the operator may type, once a result has widened it
};

// A control with this property set true (a dialog's Cancel button) may take the focus from a
// TNumberEdit without the entry being checked.
inline constexpr const char* AbandonsEntryProperty = "AbandonsEntry";

// For a dialog's confirmation: if the focus sits in a TNumberEdit of `dialog`, checks it.
bool CheckFocusedNumberEdit(QWidget* dialog);

} // namespace velk
