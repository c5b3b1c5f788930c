// The IP address dialog: its designed layout, the address round trip and the field checks.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialogs/DlgConnectIP.h"
#include "dialogs/NumberEdit.h"
#include "tests/TestSupport.h"

namespace velk {
namespace {

using test::MessageRecorder;

TNumberEdit* Field(const TDlgConnectionIP& dlg, int i) {
    return dlg.findChild<TNumberEdit*>(QStringLiteral("NumberEditIP%1").arg(i));
}

// Replaces the text of field i by typing `typed` into it (the dialog is shown and active).
TNumberEdit* TypeInto(const TDlgConnectionIP& dlg, int i, const QString& typed) {
    TNumberEdit* edit = Field(dlg, i);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    return edit;
}

TEST(DlgConnectionIP, HasTheDesignedLayoutWithOkFocusedFirst) {
    TDlgConnectionIP dlg;
    EXPECT_EQ(dlg.windowTitle(), "IP Connection");
    EXPECT_EQ(dlg.size(), QSize(213, 81));
    EXPECT_EQ(dlg.findChild<QLabel*>("LabelIPAddr")->y(), 16);
    EXPECT_EQ(dlg.findChild<QLabel*>("LabelIPAddr")->text(), "IP addr :");
    const int lefts[] = {53, 93, 133, 173};
    for (int i = 1; i <= 4; ++i) {
        TNumberEdit* edit = Field(dlg, i);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->geometry(), QRect(lefts[i - 1], 13, 33, 21));
        EXPECT_EQ(edit->maxLength(), 3);
        EXPECT_EQ(edit->TypeValue(), TTypeValue::Int);
        EXPECT_EQ(edit->MinValue(), 0);
        EXPECT_EQ(edit->MaxValue(), 255);
    }
    auto* ok = dlg.findChild<QPushButton*>("ButtonOk");
    auto* cancel = dlg.findChild<QPushButton*>("ButtonCancel");
    EXPECT_EQ(ok->geometry(), QRect(40, 48, 75, 25));
    EXPECT_EQ(cancel->geometry(), QRect(128, 48, 75, 25));
    EXPECT_FALSE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());

    ASSERT_TRUE(test::ShowActive(&dlg));
    QWidget* order[] = {ok, cancel, Field(dlg, 1), Field(dlg, 2), Field(dlg, 3), Field(dlg, 4), ok};
    EXPECT_EQ(QApplication::focusWidget(), order[0]);
    for (int i = 1; i < 7; ++i) {
        test::PressTab();
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << "stop " << i;
    }
    // The label's caption is whole and clear of the first field.
    auto* label = dlg.findChild<QLabel*>("LabelIPAddr");
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_LE(label->x() + label->width() + 4, Field(dlg, 1)->x());
    EXPECT_GE(label->x(), 2);
    dlg.SetAddress(192, 168, 100, 255);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_GE(Field(dlg, i)->width(),
                  Field(dlg, i)->fontMetrics().horizontalAdvance("888") + 6);
    }
    EXPECT_FALSE(test::SaveShot(&dlg, "ip-connection").isEmpty());
}

TEST(DlgConnectionIP, OkHandsBackTheAddressAndCancelSaysSo) {
    TDlgConnectionIP dlg;
    dlg.SetAddress(192, 168, 0, 10);
    test::WhenModal([&dlg] { dlg.findChild<QPushButton*>("ButtonOk")->click(); });
    ASSERT_EQ(dlg.ShowModal(), 1);
    int a[4] = {-1, -1, -1, -1};
    dlg.GetAddress(a[0], a[1], a[2], a[3]);
    EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{192, 168, 0, 10}));

    TDlgConnectionIP other;
    test::WhenModal([&other] { other.findChild<QPushButton*>("ButtonCancel")->click(); });
    EXPECT_EQ(other.ShowModal(), 2);
    test::WhenModal([&other] { other.close(); });
    EXPECT_EQ(other.ShowModal(), 2);
}

TEST(DlgConnectionIP, FieldsTakeOnlyWholeNumbersUpTo255) {
    const struct {
        QString typed;
        QString message;
        QString textAfter;
    } cases[] = {
        {"256", "Figure too high :255", "256"},
        {"100+55", "", "100"}, // three characters at most: the expression cannot be typed
        {"5*5", "", "25"},
        {"-1", "Figure too small :0", "-1"},
        {"1.5", "1.5 Invalid integer number !", "1.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        MessageRecorder recorder;
        TDlgConnectionIP dlg;
        dlg.SetAddress(10, 0, 0, 1);
        ASSERT_TRUE(test::ShowActive(&dlg));
        TNumberEdit* edit = TypeInto(dlg, 3, c.typed);
        test::PressTab();
        EXPECT_EQ(edit->text(), c.textAfter);
        EXPECT_EQ(recorder.messages.join('|'), c.message);
        EXPECT_EQ(QApplication::focusWidget(), c.message.isEmpty() ? Field(dlg, 4) : edit);
    }
}

TEST(DlgConnectionIP, CancelByMouseNeedsNoValidEntryButOkDoes) {
    MessageRecorder recorder;
    TDlgConnectionIP dlg;
    dlg.SetAddress(10, 0, 0, 1);
    ASSERT_TRUE(test::ShowActive(&dlg));
    TypeInto(dlg, 4, "999");
    QTest::mouseClick(dlg.findChild<QPushButton*>("ButtonOk"), Qt::LeftButton);
    EXPECT_EQ(recorder.messages.value(0), "Figure too high :255");
    EXPECT_EQ(dlg.result(), 0); // still open
    recorder.messages.clear();
    QTest::mouseClick(dlg.findChild<QPushButton*>("ButtonCancel"), Qt::LeftButton);
    EXPECT_TRUE(recorder.messages.isEmpty());
    EXPECT_EQ(dlg.result(), 2);
}

TEST(DlgConnectionIP, AnEmptiedFieldMakesGetAddressRaise) {
    TDlgConnectionIP dlg;
    dlg.SetAddress(192, 168, 0, 10);
    Field(dlg, 2)->clear();
    int a[4] = {-1, -1, -1, -1};
    try {
        dlg.GetAddress(a[0], a[1], a[2], a[3]);
        ADD_FAILURE() << "no error raised";
    } catch (const TDlgConnectionIPError& e) {
        EXPECT_EQ(e.Message(), "'' is not a valid integer value");
    }
    EXPECT_EQ(a[0], 192); // read before the failing field
    EXPECT_EQ(a[2], -1);
}

} // namespace
} // namespace velk
