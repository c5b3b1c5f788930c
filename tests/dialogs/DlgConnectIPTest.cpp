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

QPushButton* Button(const TDlgConnectionIP& dlg, const char* name) {
    return dlg.findChild<QPushButton*>(name);
}

TEST(DlgConnectionIP, HasTheDesignedLayoutWithOkFocusedFirst) {
    TDlgConnectionIP dlg;
    EXPECT_EQ(dlg.windowTitle(), "IP Connection");
    EXPECT_EQ(dlg.size(), QSize(213, 81));
    auto* label = dlg.findChild<QLabel*>("LabelIPAddr");
    EXPECT_EQ(label->text(), "IP addr :");
    EXPECT_EQ(label->y(), 16);
    EXPECT_GE(label->x(), 2); // moved left of its designed 8 only as far as it must
    EXPECT_LE(label->x() + label->width() + 4, 53);
    for (int i = 1; i <= 4; ++i) {
        TNumberEdit* edit = Field(dlg, i);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->geometry(), QRect(13 + 40 * i, 13, 33, 21));
        EXPECT_EQ(edit->maxLength(), 3);
        EXPECT_EQ(edit->TypeValue(), TTypeValue::Int);
        EXPECT_EQ(std::pair(edit->MinValue(), edit->MaxValue()), std::pair(0.0, 255.0));
        EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance("888") + 6);
    }
    QPushButton *ok = Button(dlg, "ButtonOk"), *cancel = Button(dlg, "ButtonCancel");
    EXPECT_EQ(ok->geometry(), QRect(40, 48, 75, 25));
    EXPECT_EQ(cancel->geometry(), QRect(128, 48, 75, 25));
    EXPECT_FALSE(ok->isDefault() || cancel->isDefault());

    dlg.SetAddress(192, 168, 100, 255);
    test::ExpectReadableAndShoot(&dlg, "ip-connection");
    QWidget* order[] = {ok, cancel, Field(dlg, 1), Field(dlg, 2), Field(dlg, 3), Field(dlg, 4), ok};
    EXPECT_EQ(QApplication::focusWidget(), order[0]);
    for (int i = 1; i < 7; ++i) {
        test::PressTab();
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << "stop " << i;
    }
}

TEST(DlgConnectionIP, OkHandsBackTheAddressAndCancelOrCloseSaySo) {
    TDlgConnectionIP dlg;
    dlg.SetAddress(192, 168, 0, 10);
    test::WhenModal([&dlg] { Button(dlg, "ButtonOk")->click(); });
    ASSERT_EQ(dlg.ShowModal(), 1);
    int a[4] = {-1, -1, -1, -1};
    dlg.GetAddress(a[0], a[1], a[2], a[3]);
    EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{192, 168, 0, 10}));

    test::WhenModal([&dlg] { Button(dlg, "ButtonCancel")->click(); });
    EXPECT_EQ(dlg.ShowModal(), 2);
    test::WhenModal([&dlg] { dlg.close(); });
    EXPECT_EQ(dlg.ShowModal(), 2);
}

TEST(DlgConnectionIP, FieldsTakeOnlyWholeNumbersUpTo255) {
    const struct {
        QString typed, message, textAfter;
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
        TNumberEdit* edit = Field(dlg, 3);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
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
    Field(dlg, 4)->setFocus();
    Field(dlg, 4)->selectAll();
    QTest::keyClicks(Field(dlg, 4), "999");
    QTest::mouseClick(Button(dlg, "ButtonOk"), Qt::LeftButton);
    EXPECT_EQ(recorder.messages.value(0), "Figure too high :255");
    EXPECT_EQ(dlg.result(), 0); // still open
    recorder.messages.clear();
    QTest::mouseClick(Button(dlg, "ButtonCancel"), Qt::LeftButton);
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
