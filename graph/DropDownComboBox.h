#pragma once
// A combo box that tells its owner when its list is about to open and when the focus leaves
// it, so the list can be filled from the graph at that moment.

#include <functional>

#include <QComboBox>

namespace velk {

class TDropDownComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    std::function<void()> OnDropDown;
    std::function<void()> OnExit;

    void showPopup() override {
        if (OnDropDown) OnDropDown();
        QComboBox::showPopup();
    }

protected:
    void focusOutEvent(QFocusEvent* event) override {
        QComboBox::focusOutEvent(event);
        if (OnExit) OnExit();
    }
};

} // namespace velk
