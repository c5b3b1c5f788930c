// The two number edits driven through real key and focus events on the offscreen platform.

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialogs/Editnbre.h"
#include "dialogs/NumberEdit.h"
#include "tests/TestSupport.h"

namespace velk {
namespace {

using test::MessageRecorder;

// A shown, active window with the focused edit under test followed by a plain edit the focus
// can move to.
struct NumberEditWindow {
    QWidget window;
    TNumberEdit* edit = new TNumberEdit(&window);
    QLineEdit* next = new QLineEdit(&window);

    NumberEditWindow(TTypeValue type, double min, double max) {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        layout->addWidget(next);
        edit->SetTypeValue(type);
        edit->SetMinValue(min);
        edit->SetMaxValue(max);
        EXPECT_TRUE(test::ShowActive(&window));
        edit->setFocus();
    }
};

TEST(NumberEditWidget, LeavingTheFieldEvaluatesOrKeepsTheFocusWithAMessage) {
    const struct {
        TTypeValue type;
        double min, max;
        QString typed;
        QString message; // empty: accepted
        QString textAfter;
    } cases[] = {
        {TTypeValue::Int, 0, 0, "7/2", "7/2 Invalid integer number !", "7/2"},
        {TTypeValue::Int, 0, 0, "6/2", "", "3"},
        {TTypeValue::Int, 0, 100, "300", "Figure too high :100", "300"},
        {TTypeValue::Float, 1, 3600, "0.5", "Figure too small :1", "0.5"},
        {TTypeValue::Float, 1, 3600, "5/2", "", "2.5"},
        {TTypeValue::Float, 7, 7, "-1e9", "Invalid input !", "-1e9"},
        {TTypeValue::Float, 7, 7, "-1000000", "", "-1000000"}, // equal bounds: no range
        {TTypeValue::Int, 0, 100, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        MessageRecorder recorder;
        NumberEditWindow w(c.type, c.min, c.max);
        QTest::keyClicks(w.edit, c.typed);
        test::PressTab();
        EXPECT_EQ(w.edit->text(), c.textAfter);
        EXPECT_EQ(recorder.messages.join('|'), c.message);
        EXPECT_TRUE(c.message.isEmpty() ? w.next->hasFocus() : w.edit->hasFocus());
    }
}

TEST(NumberEditWidget, OnlyTextTheUserEditedIsEvaluated) {
    MessageRecorder recorder;
    NumberEditWindow w(TTypeValue::Float, 0, 1);
    w.edit->setText("1E-5"); // the program's own text: a number, though no expression
    test::PressTab();
    EXPECT_TRUE(recorder.messages.isEmpty());
    EXPECT_EQ(w.edit->text(), "1E-5");
    w.edit->setFocus();
    QTest::keyClick(w.edit, Qt::Key_End);
    QTest::keyClick(w.edit, '0');
    test::PressTab();
    EXPECT_EQ(recorder.messages, QStringList{"Invalid input !"});
    EXPECT_TRUE(w.edit->hasFocus());
}

TEST(NumberEditWidget, TheWindowLosingActivationIsNotLeavingTheField) {
    MessageRecorder recorder;
    NumberEditWindow w(TTypeValue::Int, 0, 100);
    QTest::keyClicks(w.edit, "300");
    QWidget other;
    ASSERT_TRUE(test::ShowActive(&other));
    EXPECT_TRUE(recorder.messages.isEmpty());
    ASSERT_TRUE(test::ShowActive(&w.window));
    EXPECT_TRUE(w.edit->hasFocus());
}

TEST(NumberEditWidget, TheRealMessageBoxIsModalAndGivesTheFocusBack) {
    NumberEditWindow w(TTypeValue::Int, 0, 255);
    QTest::keyClicks(w.edit, "256");
    QString shown;
    test::WhenModal([&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    test::PressTab();
    EXPECT_EQ(shown, "Figure too high :255");
    // The field is again its window's focus; the offscreen platform leaves reactivating the
    // window (a window manager's job) to us.
    EXPECT_EQ(w.window.focusWidget(), w.edit);
    ASSERT_TRUE(test::ShowActive(&w.window));
    EXPECT_TRUE(w.edit->hasFocus());
    w.edit->selectAll();
    QTest::keyClicks(w.edit, "25");
    test::PressTab();
    EXPECT_TRUE(w.next->hasFocus());
}

// A shown, active window holding one focused NbreEdit.
struct NbreEditWindow {
    QWidget window;
    NbreEdit* edit = new NbreEdit(&window);

    NbreEditWindow(std::uint8_t typeData, double min, double max) {
        edit->SetTypeData(typeData);
        edit->SetValMin(min);
        edit->SetValMax(max);
        EXPECT_TRUE(test::ShowActive(&window));
        edit->setFocus();
    }
};

TEST(NbreEditWidget, RefusedKeystrokesPutTheLastAcceptedTextBack) {
    MessageRecorder recorder;
    NbreEditWindow w(2, -10, 10);
    int changes = 0;
    w.edit->SetOnChange([&](QObject* sender) { changes += sender == w.edit; });
    const struct {
        char key; // '\b': Backspace
        QString text, message;
    } steps[] = {
        {'-', "-", ""},    {'1', "-1", ""},   {'.', "-1.", ""}, {'x', "-1.", "Invalid input !"},
        {'5', "-1.5", ""}, {'\b', "-1.", ""}, {'\b', "-1", ""}, {'1', "-1", "Too low number !"},
    };
    for (const auto& s : steps) {
        recorder.messages.clear();
        if (s.key == '\b')
            QTest::keyClick(w.edit, Qt::Key_Backspace);
        else
            QTest::keyClick(w.edit, s.key);
        EXPECT_EQ(w.edit->Text(), s.text) << "after " << s.key;
        EXPECT_EQ(recorder.messages.join('|'), s.message) << "after " << s.key;
    }
    EXPECT_GE(changes, 8);
}

TEST(NbreEditWidget, IntegerFieldRefusesALeadingMinusAndValuesBeyondTheBounds) {
    MessageRecorder recorder;
    NbreEditWindow w(1, -100, 100);
    QTest::keyClick(w.edit, '-');
    EXPECT_EQ(w.edit->Text(), "");
    EXPECT_EQ(recorder.messages, QStringList{"Invalid input !"});
    recorder.messages.clear();
    w.edit->SetText("-5"); // the program's own text is taken as it is
    EXPECT_TRUE(recorder.messages.isEmpty());
    QTest::keyClick(w.edit, Qt::Key_End);
    QTest::keyClicks(w.edit, "00");
    EXPECT_EQ(w.edit->Text(), "-50");
    EXPECT_EQ(recorder.messages, QStringList{"Too low number !"});
}

} // namespace
} // namespace velk
