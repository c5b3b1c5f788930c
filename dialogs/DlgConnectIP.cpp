#include "dialogs/DlgConnectIP.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "common/NumberFormat.h"
#include "dialogs/DialogFont.h"
#include "dialogs/MessageReport.h"
#include "dialogs/NumberEdit.h"

namespace velk {

namespace {
constexpr int FieldLefts[4] = {53, 93, 133, 173};
constexpr int LabelGap = 4;
} // namespace

TDlgConnectionIP::TDlgConnectionIP(QWidget* owner) : QDialog(owner) {
    setFont(DialogFont());
    setWindowTitle(QStringLiteral("IP Connection"));

    LabelIPAddr = new QLabel(QStringLiteral("IP addr :"), this);
    LabelIPAddr->setObjectName(QStringLiteral("LabelIPAddr"));
    LabelIPAddr->adjustSize();
    // Designed at left 8; in DejaVu Sans the caption is wider than the designed font's and
    // would run under the first field, so it moves left just enough to stay whole.
    LabelIPAddr->move(std::max(2, std::min(8, FieldLefts[0] - LabelGap - LabelIPAddr->width())),
                      16);

    ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setGeometry(40, 48, 75, 25);
    connect(ButtonOk, &QPushButton::clicked, this, &TDlgConnectionIP::ButtonOkClick);
    // A mouse press does not take the focus from the field: the click's own check reports a
    // refused entry once, instead of leaving the field reporting it first.
    ButtonOk->setFocusPolicy(Qt::TabFocus);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setGeometry(128, 48, 75, 25);
    ButtonCancel->setProperty(AbandonsEntryProperty, true);
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(2); });
    // Neither button is the default: Qt would make whichever last had the focus answer Enter,
    // and Enter in a field would then cancel once the focus had passed Cancel.
    for (QPushButton* button : {ButtonOk, ButtonCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    QWidget* previous = ButtonCancel;
    setTabOrder(ButtonOk, ButtonCancel);
    for (int i = 0; i < 4; ++i) {
        auto* edit = new TNumberEdit(this);
        edit->setObjectName(QStringLiteral("NumberEditIP%1").arg(i + 1));
        edit->SetTypeValue(TTypeValue::Int);
        edit->SetMinValue(0);
        edit->SetMaxValue(255);
        edit->setMaxLength(3);
        edit->setGeometry(FieldLefts[i], 13, 33, 21);
        setTabOrder(previous, edit);
        previous = edit;
        NumberEditIP[i] = edit;
    }

    setFixedSize(213, 81);
    move(281, 446);
    ButtonOk->setFocus();
}

void TDlgConnectionIP::SetAddress(int a1, int a2, int a3, int a4) {
    const int values[4] = {a1, a2, a3, a4};
    for (int i = 0; i < 4; ++i)
        NumberEditIP[i]->setText(QString::number(values[i]));
}

void TDlgConnectionIP::GetAddress(int& a1, int& a2, int& a3, int& a4) const {
    int* targets[4] = {&a1, &a2, &a3, &a4};
    for (int i = 0; i < 4; ++i) {
        const QString text = NumberEditIP[i]->text();
        const auto value = ParseInteger(text);
        if (!value) throw TDlgConnectionIPError(NotAnIntegerText(text));
        *targets[i] = *value;
    }
}

void TDlgConnectionIP::reject() {
    done(2);
}

void TDlgConnectionIP::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused button only; in a field it does nothing, and Escape does not
    // cancel (no button is the cancel button). Space on a button is the button's own.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
        break;
    case Qt::Key_Escape:
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TDlgConnectionIP::ButtonOkClick() {
    // Ok reached from the keyboard without leaving the field: check it as leaving would.
    if (!CheckFocusedNumberEdit(this)) return;
    done(1);
}

} // namespace velk
