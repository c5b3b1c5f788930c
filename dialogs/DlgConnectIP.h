#pragma once
// TDlgConnectionIP: the small modal dialog in which the operator confirms or edits the four
// numbers of the instruments' IPv4 address before connecting.

#include <QDialog>

#include "common/Errors.h"

class QKeyEvent;
class QLabel;
class QPushButton;

namespace velk {

class TNumberEdit;

class TDlgConnectionIPError : public Exception {
public:
    using Exception::Exception;
};

class TDlgConnectionIP : public QDialog {
    Q_OBJECT
public:
    explicit TDlgConnectionIP(QWidget* owner = nullptr);

    // 1 after "Ok", 2 after "Cancel" or the close box.
    int ShowModal() { return exec(); }

    void SetAddress(int a1, int a2, int a3, int a4);
    // Raises TDlgConnectionIPError when a field does not hold a decimal integer; the numbers
    // read before the failing field are already set.
    void GetAddress(int& a1, int& a2, int& a3, int& a4) const;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ButtonOkClick();

    QLabel* LabelIPAddr = nullptr;
    TNumberEdit* NumberEditIP[4] = {};
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;
};

} // namespace velk
