// The field-list dialog: layout from the field table, read-back on OK only, the pickers, and
// pictures of the monitor's settings dialogs.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QTimer>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "common/NumberFormat.h"
#include "dialogs/DialogFont.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/MaskText.h"
#include "dialogs/NumberEdit.h"
#include "tests/TestSupport.h"

namespace velk {
namespace {

using test::MessageRecorder;

int Measured(const QString& text) {
    return CaptionTextWidth(text);
}

TInfoItemMenu FloatItem(const QString& caption, int width, double min, double max, double value) {
    TInfoItemMenu item;
    item.Caption = caption;
    item.Kind = KindFloat;
    item.Width = static_cast<std::uint8_t>(width);
    item.Digits = 6;
    item.MinValue = min;
    item.MaxValue = max;
    item.HasValue = true;
    item.FloatValue = value;
    return item;
}

TInfoItemMenu CheckItem(const QString& caption, bool value) {
    TInfoItemMenu item;
    item.Caption = caption;
    item.Kind = KindCheck;
    item.HasValue = true;
    item.BoolValue = value;
    return item;
}

TInfoItemMenu TextItem(const QString& caption, int width, const QString& value) {
    TInfoItemMenu item;
    item.Caption = caption;
    item.Kind = KindText;
    item.Width = static_cast<std::uint8_t>(width);
    item.HasValue = true;
    item.StrValue = value;
    return item;
}

// The monitor's three settings dialogs, filled as its commands fill them.
TabInfoItemMenu RefreshTable() {
    TabInfoItemMenu t{};
    t[0] = FloatItem("Refresh rate (s):", 15, 1.0, 3600.0, 10.0);
    return t;
}

TabInfoItemMenu AlarmTable() {
    TabInfoItemMenu t{};
    t[0] = CheckItem("Alarm enabled:", true);
    t[1] = FloatItem("Min alarm value :", 10, -2147483647.0, 2147483647.0, -195.5);
    t[2] = FloatItem("Max alarm value :", 10, -2147483647.0, 2147483647.0, -170);
    return t;
}

TabInfoItemMenu MailTable() {
    TabInfoItemMenu t{};
    t[0] = CheckItem("Send an EMail for each alarm:", false);
    t[1] = TextItem("EMail address:", 30, "operator@cryo-lab.example.org");
    t[2] = TextItem("SMTP server:", 30, "smtp.example.org");
    return t;
}

template <class T> T* Control(const TDlgBoxStdr& dlg, int record) {
    auto* w = qobject_cast<T*>(dlg.FieldControl(record));
    EXPECT_NE(w, nullptr) << "record " << record;
    return w;
}

QLabel* CaptionOf(const TDlgBoxStdr& dlg, int record) {
    return dlg.findChild<QLabel*>(QStringLiteral("Caption%1").arg(record));
}

TEST(DlgBoxStdrLayout, OneFloatFieldGivesTheDesignedGeometry) {
    // "Power (W):" measures 60 pixels in the dialog font; the other captions check the same
    // arithmetic with other widths.
    for (const QString caption : {"Power (W):", "Refresh rate (s):", "Rate:"}) {
        SCOPED_TRACE(caption.toStdString());
        TabInfoItemMenu table{};
        table[0] = FloatItem(caption, 15, 1, 3600, 10);
        TDlgBoxStdr dlg(nullptr, table);
        const int w = Measured(caption);
        if (caption == "Power (W):") {
            ASSERT_EQ(w, 60) << "the dialog font is not DejaVu Sans 8 pt";
        }

        EXPECT_EQ(CaptionOf(dlg, 1)->geometry(), QRect(15, 19, w, 13));
        EXPECT_EQ(Control<TNumberEdit>(dlg, 1)->geometry(), QRect(w + 30, 15, 120, 21));
        EXPECT_EQ(dlg.findChild<QFrame*>("Frame")->geometry(), QRect(5, 5, w + 155, 46));
        EXPECT_EQ(dlg.findChild<QPushButton*>("ButtonCancel")->geometry(),
                  QRect(w + 80, 56, 75, 25));
        EXPECT_EQ(dlg.findChild<QPushButton*>("ButtonOk")->geometry(), QRect(w - 3, 56, 75, 25));
        EXPECT_EQ(dlg.size(), QSize(std::max(190, w + 165), 86));
        EXPECT_EQ(Control<TNumberEdit>(dlg, 1)->text(), "10");
        EXPECT_EQ(Control<TNumberEdit>(dlg, 1)->maxLength(), 15);
        EXPECT_EQ(dlg.windowTitle(), "DlgBoxStdr");
    }
}

TEST(DlgBoxStdrLayout, ReadsAtMostTwentyFourFieldsAndStopsAtAnEmptyCaption) {
    TabInfoItemMenu full{};
    for (int i = 0; i < InfoItemCount; ++i)
        full[i] = TextItem(QString("Field %1:").arg(i + 1), 5, "");
    TDlgBoxStdr dlg(nullptr, full);
    EXPECT_NE(dlg.FieldControl(24), nullptr);
    EXPECT_EQ(dlg.FieldControl(25), nullptr);
    // 24 rows of 21 + 5 pixels below the first at 15, the frame 5 more, the buttons under it.
    EXPECT_EQ(dlg.findChild<QFrame*>("Frame")->height(), 15 + 24 * 26 + 5);
    EXPECT_EQ(dlg.findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size(), 24);

    TabInfoItemMenu gap{};
    gap[0] = TextItem("A:", 5, "");
    gap[2] = TextItem("C:", 5, "");
    TDlgBoxStdr short_(nullptr, gap);
    EXPECT_NE(short_.FieldControl(1), nullptr);
    EXPECT_EQ(short_.FieldControl(3), nullptr);
}

TEST(DlgBoxStdrLayout, AWideCheckBoxMovesTheLaterInputsRight) {
    TabInfoItemMenu table = MailTable();
    table[3] = table[2];
    table[2] = table[1];
    table[1] = table[0];
    table[0] = TextItem("Name:", 10, "before");
    TDlgBoxStdr dlg(nullptr, table);
    const int captions =
        std::max({Measured("Name:"), Measured("EMail address:"), Measured("SMTP server:")});
    const int check = Measured("Send an EMail for each alarm:") + 35;
    ASSERT_GT(check, captions);
    EXPECT_EQ(Control<QLineEdit>(dlg, 1)->x(), captions + 30);
    EXPECT_EQ(Control<QCheckBox>(dlg, 2)->geometry(), QRect(15, 15 + 26 + 3, check, 17));
    EXPECT_EQ(Control<QLineEdit>(dlg, 3)->x(), check + 30);
    EXPECT_EQ(Control<QLineEdit>(dlg, 4)->geometry(),
              QRect(check + 30, 15 + 26 + 22 + 26, 240, 21));
    // The whole check box, text and box, is visible.
    EXPECT_GE(Control<QCheckBox>(dlg, 2)->width(), Control<QCheckBox>(dlg, 2)->sizeHint().width());
    EXPECT_EQ(dlg.width(), 10 + 240 + check + 15 + 20);
    // Clicking the caption ticks the box, as clicking the box does.
    auto* box = Control<QCheckBox>(dlg, 2);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(3, 8));
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 8, 8));
    EXPECT_FALSE(box->isChecked());
}

TEST(DlgBoxStdrLayout, TabOrderFollowsTheTableThenOkAndCancel) {
    TabInfoItemMenu table = AlarmTable();
    TDlgBoxStdr dlg(nullptr, table);
    ASSERT_TRUE(test::ShowActive(&dlg));
    QWidget* expected[] = {dlg.FieldControl(1),
                           dlg.FieldControl(2),
                           dlg.FieldControl(3),
                           dlg.findChild<QPushButton*>("ButtonOk"),
                           dlg.findChild<QPushButton*>("ButtonCancel"),
                           dlg.FieldControl(1)};
    EXPECT_EQ(QApplication::focusWidget(), expected[0]);
    for (int i = 1; i < 6; ++i) {
        test::PressTab();
        EXPECT_EQ(QApplication::focusWidget(), expected[i]) << "stop " << i;
    }
}

// A table with one field of every kind, and what each control is turned into before OK.
struct AllKinds {
    QTemporaryDir dir;
    std::shared_ptr<QStringList> memoLines = std::make_shared<QStringList>(QStringList{"one"});
    TabInfoItemMenu table{};
    int clicks = 0;

    AllKinds() {
        auto at = [this](int record) -> TInfoItemMenu& { return table[record - 1]; };
        at(1) = TInfoItemMenu{};
        at(1).Caption = "Count:";
        at(1).Kind = KindSpinInt;
        at(1).Width = 6;
        at(1).MinValue = -2.5; // rounds to -2
        at(1).MaxValue = 10.5; // rounds to 10
        at(1).Increment = 2;
        at(1).HasValue = true;
        at(1).IntValue = 4;
        at(2) = TextItem("Name:", 20, "cold plate");
        at(3) = CheckItem("Enabled:", false);
        at(4) = FloatItem("Gain:", 10, 0, 100, 2.5);
        at(5).Caption = "Channel:";
        at(5).Kind = KindInt;
        at(5).Width = 4;
        at(5).MinValue = 0;
        at(5).MaxValue = 7;
        at(5).HasValue = true;
        at(5).IntValue = 3;
        at(6).Caption = "Folder:";
        at(6).Kind = KindFolder;
        at(6).HasValue = true;
        at(6).StrValue = dir.path() + "/";
        at(7).Caption = "Files:";
        at(7).Kind = KindFiles;
        at(7).MultiSelect = true;
        at(7).Filter = "Text files|*.txt|All files|*";
        at(8).Caption = "Reset";
        at(8).Kind = KindButton;
        at(8).Tag = 7;
        at(8).OnClick = [this](QObject* sender) {
            EXPECT_EQ(sender->property("Tag").toInt(), 7);
            ++clicks;
        };
        at(9).Caption = "Notes:";
        at(9).Kind = KindMemo;
        at(9).HasValue = true;
        at(9).ListValue = memoLines;
        at(10).Caption = "Duration:";
        at(10).Kind = KindTime;
        at(10).HasValue = true;
        at(10).FloatValue = 1.5;
        at(11).Caption = "Angle:";
        at(11).Kind = KindAngle;
        at(11).HasValue = true;
        at(11).FloatValue = -12.25;
        at(12).Caption = "Mode:";
        at(12).Kind = KindChoice;
        at(12).Items = QStringList{"slow", "normal", "fast"};
        at(12).HasValue = true;
        at(12).IntValue = 2;
    }

    void EditEverything(TDlgBoxStdr& dlg) {
        Control<QSpinBox>(dlg, 1)->setValue(8);
        Control<QLineEdit>(dlg, 2)->setText(QString(300, 'n'));
        Control<QCheckBox>(dlg, 3)->setChecked(true);
        Control<QLineEdit>(dlg, 4)->setText("42.25");
        Control<QLineEdit>(dlg, 5)->setText("6");
        Control<QPlainTextEdit>(dlg, 9)->setPlainText("first\nsecond\n");
        Control<QLineEdit>(dlg, 10)->setText("02h15m30s");
        Control<QLineEdit>(dlg, 11)->setText(QString::fromUtf8("-05°30'00''"));
        Control<QComboBox>(dlg, 12)->setCurrentIndex(1);
    }
};

bool SameTable(const TabInfoItemMenu& a, const TabInfoItemMenu& b) {
    for (int i = 0; i < InfoItemCount; ++i) {
        const TInfoItemMenu &x = a[i], &y = b[i];
        if (x.Caption != y.Caption || x.IntValue != y.IntValue || x.BoolValue != y.BoolValue ||
            x.StrValue != y.StrValue || x.ListValue != y.ListValue ||
            x.FloatValue != y.FloatValue || x.HasValue != y.HasValue)
            return false;
    }
    return true;
}

TEST(DlgBoxStdrValues, ShowsTheInitialValuesOfEveryKind) {
    AllKinds f;
    TDlgBoxStdr dlg(nullptr, f.table);
    EXPECT_EQ(Control<QSpinBox>(dlg, 1)->value(), 4);
    EXPECT_EQ(Control<QSpinBox>(dlg, 1)->minimum(), -2);
    EXPECT_EQ(Control<QSpinBox>(dlg, 1)->maximum(), 10);
    EXPECT_EQ(Control<QSpinBox>(dlg, 1)->singleStep(), 2);
    EXPECT_EQ(Control<QLineEdit>(dlg, 2)->text(), "cold plate");
    EXPECT_FALSE(Control<QCheckBox>(dlg, 3)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(dlg, 4)->text(), "2.5");
    EXPECT_EQ(Control<QLineEdit>(dlg, 5)->text(), "3");
    EXPECT_EQ(dlg.findChild<QLabel*>("Path6")->text(), ShortenMiddle(f.dir.path() + "/", 20));
    EXPECT_EQ(Control<QPlainTextEdit>(dlg, 9)->toPlainText(), "one");
    EXPECT_EQ(Control<QLineEdit>(dlg, 10)->text(), "01h30m00s");
    EXPECT_EQ(Control<QLineEdit>(dlg, 11)->text(), QString::fromUtf8("-12°15'00''"));
    EXPECT_EQ(Control<QComboBox>(dlg, 12)->currentText(), "fast");
    // Buttons and memos span the extent.
    EXPECT_EQ(Control<QPushButton>(dlg, 8)->width(), Control<QPlainTextEdit>(dlg, 9)->width());
    QTest::mouseClick(Control<QPushButton>(dlg, 8), Qt::LeftButton);
    EXPECT_EQ(f.clicks, 1);
}

TEST(DlgBoxStdrValues, OkWritesEveryKindBack) {
    AllKinds f;
    TDlgBoxStdr dlg(nullptr, f.table);
    f.EditEverything(dlg);
    test::WhenModal([&dlg] { dlg.findChild<QPushButton*>("ButtonOk")->click(); });
    ASSERT_EQ(dlg.ShowModal(), 1);
    const TabInfoItemMenu& t = f.table;
    EXPECT_EQ(t[0].IntValue, 8);
    EXPECT_EQ(t[1].StrValue, QString(255, 'n'));
    EXPECT_TRUE(t[2].BoolValue);
    EXPECT_EQ(t[3].FloatValue, 42.25);
    EXPECT_EQ(t[4].IntValue, 6);
    EXPECT_EQ(t[5].StrValue, f.dir.path() + "/");
    ASSERT_TRUE(t[6].ListValue);
    EXPECT_TRUE(t[6].ListValue->isEmpty());
    EXPECT_EQ(*f.memoLines, (QStringList{"first", "second"})); // into the caller's own list
    EXPECT_DOUBLE_EQ(t[9].FloatValue, 2 + 15 / 60.0 + 30 / 3600.0);
    EXPECT_DOUBLE_EQ(t[10].FloatValue, -5.5);
    EXPECT_EQ(t[11].IntValue, 1);
}

TEST(DlgBoxStdrValues, CancelEscapeAndTheCloseBoxLeaveTheTableAsFilled) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        AllKinds f;
        const TabInfoItemMenu before = f.table;
        TDlgBoxStdr dlg(nullptr, f.table);
        f.EditEverything(dlg);
        test::WhenModal([&dlg, way] {
            if (way == 0)
                dlg.findChild<QPushButton*>("ButtonCancel")->click();
            else if (way == 1)
                QTest::keyClick(&dlg, Qt::Key_Escape);
            else
                dlg.close();
        });
        EXPECT_EQ(dlg.ShowModal(), 2);
        EXPECT_TRUE(SameTable(f.table, before));
        EXPECT_EQ(*f.memoLines, QStringList{"one"});
    }
}

TEST(DlgBoxStdrValues, AChoiceTextNotInTheListGivesIndexZero) {
    const struct {
        QString typed;
        int index;
    } cases[] = {{"normal", 1}, {"zz", 0}, {"Fast", 0}, {"fast", 2}};
    for (const auto& c : cases) {
        AllKinds f;
        TDlgBoxStdr dlg(nullptr, f.table);
        Control<QComboBox>(dlg, 12)->setEditText(c.typed);
        dlg.findChild<QPushButton*>("ButtonOk")->click();
        EXPECT_EQ(dlg.result(), 1);
        EXPECT_EQ(f.table[11].IntValue, c.index) << c.typed.toStdString();
    }
}

TEST(DlgBoxStdrValues, EnterInAFieldChecksItBeforeAccepting) {
    const struct {
        QString typed;
        QString message;
        double value;
    } cases[] = {
        {"0.0015", "Figure too small :1", 10}, // the period stays within 1 to 3600 s
        {"2*3", "", 6},
        {"2.5", "", 2.5},
        {"1..2", "Invalid input !", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        MessageRecorder recorder;
        TabInfoItemMenu table = RefreshTable();
        TDlgBoxStdr dlg(nullptr, table);
        ASSERT_TRUE(test::ShowActive(&dlg));
        auto* edit = Control<TNumberEdit>(dlg, 1);
        ASSERT_TRUE(edit->hasFocus());
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(recorder.messages.join('|'), c.message);
        EXPECT_EQ(dlg.isVisible(), !c.message.isEmpty());
        EXPECT_EQ(table[0].FloatValue, c.value);
        if (!c.message.isEmpty()) {
            EXPECT_TRUE(edit->hasFocus());
        }
    }
}

TEST(DlgBoxStdrValues, ShownNumbersPassUntouchedWhateverTheProgramSeparator) {
    // A vacuum alarm in scientific notation and a comma locale: leaving the fields unedited
    // must neither refuse them nor change them.
    MessageRecorder recorder;
    SetDecimalSeparator(QLatin1Char(','));
    TabInfoItemMenu table = AlarmTable();
    table[1].FloatValue = 1e-5;
    table[2].FloatValue = 2.5;
    TDlgBoxStdr dlg(nullptr, table);
    EXPECT_EQ(Control<TNumberEdit>(dlg, 2)->text(), "1E-5");
    EXPECT_EQ(Control<TNumberEdit>(dlg, 3)->text(), "2.5");
    ASSERT_TRUE(test::ShowActive(&dlg));
    for (int i = 0; i < 3; ++i)
        test::PressTab();
    ASSERT_EQ(QApplication::focusWidget(), dlg.findChild<QPushButton*>("ButtonOk"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(recorder.messages.isEmpty()) << recorder.messages.join('|').toStdString();
    EXPECT_EQ(dlg.result(), 1);
    EXPECT_EQ(table[1].FloatValue, 1e-5);
    EXPECT_EQ(table[2].FloatValue, 2.5);
}

TEST(DlgBoxStdrValues, ARefusedOkWritesNothing) {
    MessageRecorder recorder;
    AllKinds f;
    const TabInfoItemMenu before = f.table;
    TDlgBoxStdr dlg(nullptr, f.table);
    f.EditEverything(dlg);
    Control<QLineEdit>(dlg, 5)->setText("abc");
    dlg.findChild<QPushButton*>("ButtonOk")->click();
    EXPECT_EQ(recorder.messages, QStringList{"'abc' is not a valid integer value"});
    EXPECT_TRUE(SameTable(f.table, before));
    Control<QLineEdit>(dlg, 5)->setText("5");
    Control<QLineEdit>(dlg, 10)->setText("01h99m00s");
    dlg.findChild<QPushButton*>("ButtonOk")->click();
    EXPECT_EQ(recorder.messages.last(), "'01h99m00s' is not a valid time");
    EXPECT_TRUE(SameTable(f.table, before));
    EXPECT_EQ(dlg.result(), 0); // still open
}

TEST(DlgBoxStdrPickers, AChosenFolderEndsWithASeparatorAndIsShownShortened) {
    AllKinds f;
    QTemporaryDir chosen(QDir::tempPath() + "/a-rather-long-folder-name-XXXXXX");
    ASSERT_TRUE(chosen.isValid());
    TDlgBoxStdr dlg(nullptr, f.table);
    QString initial;
    test::WhenModal([&] {
        QFileDialog* picker = dlg.FolderPicker();
        initial = picker->directory().absolutePath() + "/";
        picker->setDirectory(chosen.path());
        static_cast<QDialog*>(picker)->accept();
    });
    dlg.findChild<QPushButton*>("Browse6")->click();
    EXPECT_EQ(initial, f.dir.path() + "/");
    const QString expected = chosen.path() + "/";
    EXPECT_EQ(dlg.findChild<QLabel*>("Path6")->text(), ShortenMiddle(expected, 20));
    EXPECT_EQ(dlg.findChild<QLabel*>("Path6")->text().size(), 23);
    EXPECT_EQ(f.table[5].StrValue, f.dir.path() + "/"); // not before OK

    test::WhenModal([&] { dlg.FolderPicker()->reject(); });
    dlg.findChild<QPushButton*>("Browse6")->click();
    EXPECT_EQ(dlg.findChild<QLabel*>("Path6")->text(), ShortenMiddle(expected, 20));
    dlg.findChild<QPushButton*>("ButtonOk")->click();
    EXPECT_EQ(f.table[5].StrValue, expected);
}

TEST(DlgBoxStdrPickers, AFolderAloneStillShowsItsWholeShortenedPath) {
    TabInfoItemMenu table{};
    table[0].Caption = "Data folder:";
    table[0].Kind = KindFolder;
    table[0].HasValue = true;
    table[0].StrValue = "/home/operator/measurements/WWWWWWWWWWWW/";
    TDlgBoxStdr dlg(nullptr, table);
    auto* path = dlg.findChild<QLabel*>("Path1");
    EXPECT_EQ(path->text(), "/home/oper...WWWWWWWWW/");
    EXPECT_TRUE(dlg.findChild<QFrame*>("Frame")->geometry().contains(path->geometry()));
}

TEST(DlgBoxStdrPickers, ChosenFilesAreListedByNameAndHandedOverWithTheirPaths) {
    AllKinds f;
    for (const char* name : {"a.txt", "b.txt"}) {
        QFile file(f.dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TDlgBoxStdr dlg(nullptr, f.table);
    QString title;
    QStringList filters;
    test::WhenModal([&] {
        QFileDialog* picker = dlg.FilePicker();
        title = picker->windowTitle();
        filters = picker->nameFilters();
        picker->setDirectory(f.dir.path());
        // The picker lists the folder on a thread of its own: wait (bounded) until both files
        // are listed, then select them in the list as the operator would and accept.
        auto* retry = new QTimer(picker);
        const QString dir = f.dir.path();
        QObject::connect(retry, &QTimer::timeout, picker, [picker, retry, dir, attempts = 0]() mutable {
            if (!picker->isVisible()) return retry->deleteLater();
            if (++attempts > 1000) return picker->reject();
            auto* model = picker->findChild<QFileSystemModel*>();
            auto* view = picker->findChild<QListView*>(QStringLiteral("listView"));
            const QModelIndex a = model->index(dir + "/a.txt"), b = model->index(dir + "/b.txt");
            if (!a.isValid() || !b.isValid()) return;
            view->selectionModel()->select(a, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            view->selectionModel()->select(b, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            static_cast<QDialog*>(picker)->accept();
        });
        retry->start(10);
    });
    dlg.findChild<QPushButton*>("Browse7")->click();
    EXPECT_EQ(title, "Files:");
    EXPECT_EQ(filters, (QStringList{"Text files (*.txt)", "All files (*)"}));
    auto* list = dlg.findChild<QListWidget*>("List7");
    ASSERT_EQ(list->count(), 2);
    QStringList names{list->item(0)->text(), list->item(1)->text()};
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.txt", "b.txt"}));
    dlg.findChild<QPushButton*>("ButtonOk")->click();
    ASSERT_TRUE(f.table[6].ListValue);
    QStringList paths = *f.table[6].ListValue;
    paths.sort();
    EXPECT_EQ(paths, (QStringList{f.dir.filePath("a.txt"), f.dir.filePath("b.txt")}));
}

// Every caption and check box text must be readable whole: the control is at least as wide
// as its text needs and no control overlaps another.
void ExpectReadable(const QWidget& dlg) {
    const auto children = dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
        if (auto* check = qobject_cast<QCheckBox*>(w)) {
            EXPECT_GE(check->width(), check->sizeHint().width()) << check->text().toStdString();
        }
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 8);
        }
        if (w->isVisibleTo(&dlg)) {
            EXPECT_TRUE(dlg.rect().contains(w->geometry())) << w->objectName().toStdString();
        }
        for (QWidget* other : children) {
            if (other != w && other->objectName() != "Frame" && w->objectName() != "Frame" &&
                other->isVisibleTo(&dlg) && w->isVisibleTo(&dlg)) {
                EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                    << w->objectName().toStdString() << " overlaps "
                    << other->objectName().toStdString();
            }
        }
    }
}

TEST(DlgBoxStdrPictures, SettingsDialogsShowEveryCaptionWhole) {
    const struct {
        const char* shot;
        QString title;
        TabInfoItemMenu table;
    } dialogs[] = {
        {"refresh-rate", "Refresh rate setting", RefreshTable()},
        {"alarm", "Alarm", AlarmTable()},
        {"mail", "Alarm", MailTable()},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.shot);
        TabInfoItemMenu table = d.table;
        TDlgBoxStdr dlg(nullptr, table);
        dlg.setWindowTitle(d.title);
        ASSERT_TRUE(test::ShowActive(&dlg));
        ExpectReadable(dlg);
        EXPECT_FALSE(test::SaveShot(&dlg, d.shot).isEmpty());
    }
    AllKinds f;
    TDlgBoxStdr all(nullptr, f.table);
    ASSERT_TRUE(test::ShowActive(&all));
    ExpectReadable(all);
    EXPECT_FALSE(test::SaveShot(&all, "all-kinds").isEmpty());
}

} // namespace
} // namespace velk
