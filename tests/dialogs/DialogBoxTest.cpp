// The field-list dialog (layout from the field table, read-back on OK only, the pickers,
// pictures of the monitor's settings dialogs) and the IP address dialog.

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>

#include "common/NumberFormat.h"
#include "dialogs/DlgConnectIP.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/NumberEdit.h"
#include "tests/TestSupport.h"
#include "tests/TestSupportWidgets.h"

// Table records are written with designated initializers naming only the members they use.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace velk {
namespace {

using test::MessageRecorder;

TInfoItemMenu FloatItem(const QString& caption, int width, double min, double max, double value) {
    return {.MaxValue = max,
            .MinValue = min,
            .Caption = caption,
            .HasValue = true,
            .Width = std::uint8_t(width),
            .Digits = 6,
            .Kind = KindFloat,
            .FloatValue = value};
}

TInfoItemMenu CheckItem(const QString& caption, bool value) {
    return {.Caption = caption, .HasValue = true, .Kind = KindCheck, .BoolValue = value};
}

TInfoItemMenu TextItem(const QString& caption, int width, const QString& value) {
    return {.Caption = caption,
            .HasValue = true,
            .Width = std::uint8_t(width),
            .Kind = KindText,
            .StrValue = value};
}

// The monitor's three settings dialogs, filled as its commands fill them.
const TabInfoItemMenu RefreshTable{FloatItem("Refresh rate (s):", 15, 1.0, 3600.0, 10.0)};
const TabInfoItemMenu AlarmTable{
    CheckItem("Alarm enabled:", true),
    FloatItem("Min alarm value :", 10, -2147483647.0, 2147483647.0, -195.5),
    FloatItem("Max alarm value :", 10, -2147483647.0, 2147483647.0, -170)};
const TabInfoItemMenu MailTable{CheckItem("Send an EMail for each alarm:", false),
                                TextItem("EMail address:", 30, "operator@cryo-lab.example.org"),
                                TextItem("SMTP server:", 30, "smtp.example.org")};

template <class T = QWidget> T* Control(const TDlgBoxStdr& dlg, int record) {
    auto* w = qobject_cast<T*>(dlg.FieldControl(record));
    EXPECT_NE(w, nullptr) << "record " << record;
    return w;
}

template <class T = QPushButton> T* Named(const QWidget& dlg, const QString& name) {
    return test::Child<T>(&dlg, name);
}

TEST(DlgBoxStdrLayout, OneFloatFieldGivesTheDesignedGeometry) {
    // "Power (W):" measures 60 pixels in the dialog font (DejaVu Sans 8 pt); the other
    // captions check the same arithmetic with other widths, one below the least client width.
    for (const QString caption : {"Power (W):", "Refresh rate (s):", "N:"}) {
        SCOPED_TRACE(caption.toStdString());
        TabInfoItemMenu table{FloatItem(caption, 15, 1, 3600, 10)};
        TDlgBoxStdr dlg(nullptr, table);
        const int w = CaptionTextWidth(caption);
        ASSERT_TRUE(caption != "Power (W):" || w == 60)
            << "the dialog font is not DejaVu Sans 8 pt";
        EXPECT_EQ(Control(dlg, 1)->geometry(), QRect(w + 30, 15, 120, 21));
        EXPECT_EQ(Control<TNumberEdit>(dlg, 1)->maxLength(), 15);
        EXPECT_EQ(Named<QFrame>(dlg, "Frame")->geometry(), QRect(5, 5, w + 155, 46));
        EXPECT_EQ(Named(dlg, "ButtonOk")->geometry(), QRect(w - 3, 56, 75, 25));
        EXPECT_EQ(dlg.size(), QSize(std::max(190, w + 165), 86));
    }
}

TEST(DlgBoxStdrLayout, ReadsAtMostTwentyFourFieldsAndStopsAtAnEmptyCaption) {
    TabInfoItemMenu full{};
    for (int i = 0; i < InfoItemCount; ++i)
        full[i] = TextItem(QString("Field %1:").arg(i + 1), 5, "");
    TDlgBoxStdr dlg(nullptr, full);
    EXPECT_NE(dlg.FieldControl(24), nullptr);
    EXPECT_EQ(dlg.FieldControl(25), nullptr);
    EXPECT_EQ(dlg.findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size(), 24);
    // 24 rows of 21 + 5 pixels below the first at 15, the frame 5 more.
    EXPECT_EQ(Named<QFrame>(dlg, "Frame")->height(), 15 + 24 * 26 + 5);

    TabInfoItemMenu gap{TextItem("A:", 5, ""), {}, TextItem("C:", 5, "")};
    TDlgBoxStdr short_(nullptr, gap);
    EXPECT_NE(short_.FieldControl(1), nullptr);
    EXPECT_EQ(short_.FieldControl(3), nullptr);
}

TEST(DlgBoxStdrLayout, AWideCheckBoxMovesTheLaterInputsRight) {
    TabInfoItemMenu table{TextItem("Name:", 10, "before"), MailTable[0], MailTable[1],
                          MailTable[2]};
    TDlgBoxStdr dlg(nullptr, table);
    const int captions = std::max({CaptionTextWidth("Name:"), CaptionTextWidth("EMail address:"),
                                   CaptionTextWidth("SMTP server:")});
    const int check = CaptionTextWidth("Send an EMail for each alarm:") + 35;
    ASSERT_GT(check, captions);
    auto* box = Control<QCheckBox>(dlg, 2);
    EXPECT_EQ(Control(dlg, 1)->x(), captions + 30);
    EXPECT_EQ(box->geometry(), QRect(15, 15 + 26 + 3, check, 17));
    EXPECT_EQ(Control(dlg, 3)->x(), check + 30);
    EXPECT_EQ(Control(dlg, 4)->geometry(), QRect(check + 30, 15 + 26 + 22 + 26, 240, 21));
    EXPECT_EQ(dlg.width(), 10 + 240 + check + 15 + 20);
    // Clicking the caption ticks the box, as clicking the box does.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(3, 8));
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 8, 8));
    EXPECT_FALSE(box->isChecked());
}

TEST(DlgBoxStdrValues, TabOrderFollowsTheTableAndUneditedNumbersPassWhateverTheSeparator) {
    // A vacuum alarm in scientific notation and a comma program separator: leaving the fields
    // unedited must neither refuse them nor change them.
    MessageRecorder recorder;
    SetDecimalSeparator(QLatin1Char(','));
    TabInfoItemMenu table = AlarmTable;
    table[1].FloatValue = 1e-5;
    table[2].FloatValue = 2.5;
    TDlgBoxStdr dlg(nullptr, table);
    EXPECT_EQ(Control<TNumberEdit>(dlg, 2)->text(), "1E-5");
    ASSERT_TRUE(test::ShowActive(&dlg));
    QWidget* order[] = {Control(dlg, 1),
                        Control(dlg, 2),
                        Control(dlg, 3),
                        Named(dlg, "ButtonOk"),
                        Named(dlg, "ButtonCancel"),
                        Control(dlg, 1)};
    EXPECT_EQ(QApplication::focusWidget(), order[0]);
    for (int i = 1; i < 6; ++i) {
        test::PressTab();
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << "stop " << i;
    }
    QTest::keyClick(Named(dlg, "ButtonOk"), Qt::Key_Return); // every field has been left once
    EXPECT_EQ(recorder.messages.join('|'), "");
    EXPECT_EQ(dlg.result(), 1);
    EXPECT_EQ(table[1].FloatValue, 1e-5);
    EXPECT_EQ(table[2].FloatValue, 2.5);
    SetDecimalSeparator(QLatin1Char('.'));
}

// A table with one field of every kind, and what each control is turned into before OK.
struct AllKinds {
    QTemporaryDir dir;
    std::shared_ptr<QStringList> memoLines = std::make_shared<QStringList>(QStringList{"one"});
    int clicks = 0;
    TabInfoItemMenu table{
        TInfoItemMenu{.MaxValue = 10.5,
                      .MinValue = -2.5,
                      .Caption = "Count:",
                      .HasValue = true,
                      .Width = 6,
                      .Kind = KindSpinInt,
                      .Increment = 2,
                      .IntValue = 4},
        TextItem("Name:", 20, "cold plate"),
        CheckItem("Enabled:", false),
        FloatItem("Gain:", 10, 0, 100, 2.5),
        {.MaxValue = 7,
         .Caption = "Channel:",
         .HasValue = true,
         .Width = 4,
         .Kind = KindInt,
         .IntValue = 3},
        {.Caption = "Folder:", .HasValue = true, .Kind = KindFolder, .StrValue = dir.path() + "/"},
        {.Caption = "Files:",
         .Kind = KindFiles,
         .Filter = "Text files|*.txt|All files|*",
         .MultiSelect = true},
        {.Caption = "Reset", .Kind = KindButton, .Tag = 7},
        {.Caption = "Notes:", .HasValue = true, .Kind = KindMemo, .ListValue = memoLines},
        {.Caption = "Duration:", .HasValue = true, .Kind = KindTime, .FloatValue = 1.5},
        {.Caption = "Angle:", .HasValue = true, .Kind = KindAngle, .FloatValue = -12.25},
        {.Caption = "Mode:",
         .HasValue = true,
         .Kind = KindChoice,
         .Items = {"slow", "normal", "fast"},
         .IntValue = 2},
    };

    AllKinds() {
        table[7].OnClick = [this](QObject* sender) { clicks += sender->property("Tag") == 7; };
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

TEST(DlgBoxStdrValues, CancelEscapeAndTheCloseBoxLeaveTheTableAsFilled) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        AllKinds f;
        const TabInfoItemMenu before = f.table;
        TDlgBoxStdr dlg(nullptr, f.table);
        f.EditEverything(dlg);
        test::WhenModal([&dlg, way] {
            if (way == 0) Named(dlg, "ButtonCancel")->click();
            if (way == 1) QTest::keyClick(&dlg, Qt::Key_Escape);
            if (way == 2) dlg.close();
        });
        EXPECT_EQ(dlg.ShowModal(), 2);
        EXPECT_TRUE(SameTable(f.table, before));
        EXPECT_EQ(*f.memoLines, QStringList{"one"});
    }
}

TEST(DlgBoxStdrValues, AChoiceTextNotInTheListGivesIndexZero) {
    for (const auto& [typed, index] :
         {std::pair<QString, int>{"normal", 1}, {"zz", 0}, {"Fast", 0}}) {
        AllKinds f;
        TDlgBoxStdr dlg(nullptr, f.table);
        Control<QComboBox>(dlg, 12)->setEditText(typed);
        Named(dlg, "ButtonOk")->click();
        EXPECT_EQ(dlg.result(), 1);
        EXPECT_EQ(f.table[11].IntValue, index) << typed.toStdString();
    }
}

TEST(DlgBoxStdrValues, EnterInAFieldChecksItBeforeAccepting) {
    MessageRecorder recorder;
    TabInfoItemMenu table = RefreshTable;
    TDlgBoxStdr dlg(nullptr, table);
    ASSERT_TRUE(test::ShowActive(&dlg));
    auto* edit = Control<TNumberEdit>(dlg, 1);
    ASSERT_TRUE(edit->hasFocus());
    edit->selectAll();
    QTest::keyClicks(edit, "0.0015"); // the period stays within 1 to 3600 s
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(recorder.messages, QStringList{"Figure too small :1"});
    EXPECT_TRUE(dlg.isVisible() && edit->hasFocus());
    EXPECT_EQ(table[0].FloatValue, 10);
    edit->selectAll();
    QTest::keyClicks(edit, "2*3");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(recorder.messages.size(), 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(table[0].FloatValue, 6);
}

TEST(DlgBoxStdrValues, EveryKindShownThenWrittenBackOnlyWhenEveryFieldReads) {
    MessageRecorder recorder;
    AllKinds f;
    const TabInfoItemMenu before = f.table;
    TDlgBoxStdr dlg(nullptr, f.table);
    auto* spin = Control<QSpinBox>(dlg, 1);
    EXPECT_EQ(QList<int>({spin->value(), spin->minimum(), spin->maximum(), spin->singleStep()}),
              QList<int>({4, -2, 10, 2})); // the bounds rounded to even
    EXPECT_EQ(Control<QLineEdit>(dlg, 2)->text(), "cold plate");
    EXPECT_FALSE(Control<QCheckBox>(dlg, 3)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(dlg, 4)->text(), "2.5");
    EXPECT_EQ(Control<QLineEdit>(dlg, 5)->text(), "3");
    EXPECT_EQ(Named<QLabel>(dlg, "Path6")->text(), ShortenMiddle(f.dir.path() + "/", 20));
    EXPECT_EQ(Control<QPlainTextEdit>(dlg, 9)->toPlainText(), "one");
    EXPECT_EQ(Control<QLineEdit>(dlg, 10)->text(), "01h30m00s");
    EXPECT_EQ(Control<QLineEdit>(dlg, 11)->text(), QString::fromUtf8("-12°15'00''"));
    EXPECT_EQ(Control<QComboBox>(dlg, 12)->currentText(), "fast");
    EXPECT_EQ(Control(dlg, 8)->width(), Control(dlg, 9)->width()); // both span the extent
    QTest::mouseClick(Control<QPushButton>(dlg, 8), Qt::LeftButton);
    EXPECT_EQ(f.clicks, 1);

    f.EditEverything(dlg);
    Control<QLineEdit>(dlg, 5)->setText("abc");
    Named(dlg, "ButtonOk")->click();
    Control<QLineEdit>(dlg, 5)->setText("6");
    Control<QLineEdit>(dlg, 10)->setText("01h99m00s");
    Named(dlg, "ButtonOk")->click();
    EXPECT_EQ(recorder.messages, (QStringList{"'abc' is not a valid integer value",
                                              "'01h99m00s' is not a valid time"}));
    EXPECT_TRUE(SameTable(f.table, before));
    EXPECT_EQ(dlg.result(), 0); // still open

    Control<QLineEdit>(dlg, 10)->setText("02h15m30s");
    Named(dlg, "ButtonOk")->click();
    ASSERT_EQ(dlg.result(), 1);
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

TEST(DlgBoxStdrPickers, AChosenFolderEndsWithASeparatorAndIsShownShortened) {
    AllKinds f;
    QTemporaryDir chosen(QDir::tempPath() + "/a-rather-long-folder-name-XXXXXX");
    ASSERT_TRUE(chosen.isValid());
    const QString expected = chosen.path() + "/";
    TDlgBoxStdr dlg(nullptr, f.table);
    QString initial;
    test::WhenModal([&] {
        QFileDialog* picker = dlg.FolderPicker();
        initial = picker->directory().absolutePath() + "/";
        picker->setDirectory(chosen.path());
        static_cast<QDialog*>(picker)->accept();
    });
    Named(dlg, "Browse6")->click();
    EXPECT_EQ(initial, f.dir.path() + "/");
    EXPECT_EQ(Named<QLabel>(dlg, "Path6")->text(), ShortenMiddle(expected, 20));
    EXPECT_EQ(f.table[5].StrValue, f.dir.path() + "/"); // not before OK

    test::WhenModal([&] { dlg.FolderPicker()->reject(); });
    Named(dlg, "Browse6")->click();
    EXPECT_EQ(Named<QLabel>(dlg, "Path6")->text(), ShortenMiddle(expected, 20));
    Named(dlg, "ButtonOk")->click();
    EXPECT_EQ(f.table[5].StrValue, expected);
}

TEST(DlgBoxStdrPickers, ChosenFilesAreListedByNameAndHandedOverWithTheirPaths) {
    AllKinds f;
    const QString a = f.dir.filePath("a.txt"), b = f.dir.filePath("b.txt");
    for (const QString& name : {a, b})
        ASSERT_TRUE(QFile(name).open(QIODevice::WriteOnly));
    TDlgBoxStdr dlg(nullptr, f.table);
    QString title;
    QStringList filters;
    test::WhenModal([&] {
        QFileDialog* picker = dlg.FilePicker();
        title = picker->windowTitle();
        filters = picker->nameFilters();
        picker->setDirectory(f.dir.path());
        // The picker leaves its name field alone while that field has the focus, which it
        // gets once the picker window is active: take the focus away first.
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
        picker->selectFile("\"b.txt\" \"a.txt\""); // both typed in the name field
        static_cast<QDialog*>(picker)->accept();
        if (picker->isVisible()) {
            ADD_FAILURE() << "the picker refused " << picker->selectedFiles().join(' ').toStdString();
            picker->reject();
        }
    });
    Named(dlg, "Browse7")->click();
    EXPECT_EQ(title, "Files:");
    EXPECT_EQ(filters, (QStringList{"Text files (*.txt)", "All files (*)"}));
    auto* list = Named<QListWidget>(dlg, "List7");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "a.txt");
    Named(dlg, "ButtonOk")->click();
    ASSERT_TRUE(f.table[6].ListValue);
    EXPECT_EQ(*f.table[6].ListValue, (QStringList{b, a}));
}

TEST(DlgBoxStdrPictures, SettingsDialogsShowEveryCaptionWhole) {
    AllKinds f;
    const TabInfoItemMenu folder{
        TInfoItemMenu{.Caption = "Data folder:",
                      .HasValue = true,
                      .Kind = KindFolder,
                      .StrValue = "/home/operator/measurements/WWWWWWWWWWWW/"}};
    const struct {
        const char* shot;
        QString title;
        TabInfoItemMenu table;
    } dialogs[] = {{"refresh-rate", "Refresh rate setting", RefreshTable},
                   {"alarm", "Alarm", AlarmTable},
                   {"mail", "Alarm", MailTable},
                   {"all-kinds", "", f.table},
                   {"data-folder", "", folder}};
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.shot);
        TabInfoItemMenu table = d.table;
        TDlgBoxStdr dlg(nullptr, table);
        dlg.setWindowTitle(d.title);
        test::ExpectReadableAndShoot(&dlg, d.shot);
        if (d.table[0].Kind != KindFolder) continue; // a folder alone: its whole shortened path
        auto* path = Named<QLabel>(dlg, "Path1");
        EXPECT_EQ(path->text(), "/home/oper...WWWWWWWWW/");
        EXPECT_TRUE(Named<QFrame>(dlg, "Frame")->geometry().contains(path->geometry()));
    }
}

TNumberEdit* Field(const TDlgConnectionIP& dlg, int i) {
    return Named<TNumberEdit>(dlg, QStringLiteral("NumberEditIP%1").arg(i));
}

TEST(DlgConnectionIP, HasTheDesignedLayoutWithOkFocusedFirst) {
    TDlgConnectionIP dlg;
    EXPECT_EQ(dlg.windowTitle(), "IP Connection");
    EXPECT_EQ(dlg.size(), QSize(213, 81));
    auto* label = Named<QLabel>(dlg, "LabelIPAddr");
    EXPECT_EQ(label->text(), "IP addr :");
    EXPECT_EQ(label->y(), 16);
    EXPECT_GE(label->x(), 2); // moved left of its designed 8 only as far as it must
    EXPECT_LE(label->x() + label->width() + 4, 53);
    for (int i = 1; i <= 4; ++i) {
        ASSERT_NE(Field(dlg, i), nullptr);
        EXPECT_GE(Field(dlg, i)->width(),
                  Field(dlg, i)->fontMetrics().horizontalAdvance("888") + 6);
    }
    QPushButton *ok = Named(dlg, "ButtonOk"), *cancel = Named(dlg, "ButtonCancel");
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

TEST(DlgConnectionIP, OkByClickSpaceOrEnterOnItOnlyCancelOrTheFrameCancel) {
    TDlgConnectionIP dlg;
    dlg.SetAddress(192, 168, 0, 10);
    // Neither button is a default or cancel button: Enter or Escape in a field does nothing.
    const std::pair<const char*, int> ways[] = {{"click Ok", 1},
                                                {"Space on Ok", 1},
                                                {"Enter on Ok", 1},
                                                {"click Cancel", 2},
                                                {"in a field", 2}};
    for (const auto& [way, result] : ways) {
        SCOPED_TRACE(way);
        bool stayedOpen = true;
        test::WhenModal([&dlg, way = std::string(way), &stayedOpen] {
            QPushButton* ok = Named(dlg, "ButtonOk");
            if (way == "click Ok") ok->click();
            if (way == "Space on Ok") QTest::keyClick(ok, Qt::Key_Space);
            if (way == "Enter on Ok") QTest::keyClick(ok, Qt::Key_Return);
            if (way == "click Cancel") Named(dlg, "ButtonCancel")->click();
            if (way != "in a field") return;
            Field(dlg, 2)->setFocus();
            QTest::keyClick(Field(dlg, 2), Qt::Key_Return);
            QTest::keyClick(Field(dlg, 2), Qt::Key_Escape);
            stayedOpen = dlg.isVisible();
            dlg.close();
        });
        EXPECT_EQ(dlg.ShowModal(), result);
        EXPECT_TRUE(stayedOpen);
        Named(dlg, "ButtonOk")->setFocus();
    }
    int a[4] = {-1, -1, -1, -1};
    dlg.GetAddress(a[0], a[1], a[2], a[3]);
    EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{192, 168, 0, 10}));
}

TEST(DlgConnectionIP, FieldsTakeWholeNumbersUpTo255AndOnlyCancelSkipsTheCheck) {
    MessageRecorder recorder;
    TDlgConnectionIP dlg;
    dlg.SetAddress(10, 0, 0, 1);
    ASSERT_TRUE(test::ShowActive(&dlg));
    TNumberEdit* edit = Field(dlg, 3);
    const struct {
        QString typed, message, textAfter;
    } cases[] = {
        {"256", "Figure too high :255", "256"},
        {"100+55", "", "100"}, // three characters at most: the expression cannot be typed
        {"5*5", "", "25"},
        {"1.5", "1.5 Invalid integer number !", "1.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        recorder.messages.clear();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
        test::PressTab();
        EXPECT_EQ(edit->text(), c.textAfter);
        EXPECT_EQ(recorder.messages.join('|'), c.message);
        EXPECT_EQ(QApplication::focusWidget(), c.message.isEmpty() ? Field(dlg, 4) : edit);
    }
    // The field still holds "1.5": OK by mouse is refused with one message, not one for the
    // press leaving the field and one for the click; Cancel does not look at it.
    recorder.messages.clear();
    QTest::mouseClick(Named(dlg, "ButtonOk"), Qt::LeftButton);
    EXPECT_EQ(recorder.messages, QStringList{"1.5 Invalid integer number !"});
    EXPECT_EQ(dlg.result(), 0); // still open
    recorder.messages.clear();
    QTest::mouseClick(Named(dlg, "ButtonCancel"), Qt::LeftButton);
    EXPECT_TRUE(recorder.messages.isEmpty());
    EXPECT_EQ(dlg.result(), 2);
    // An emptied field makes reading the address raise, after the fields before it.
    Field(dlg, 2)->clear();
    int a[4] = {-1, -1, -1, -1};
    EXPECT_EQ(
        test::MessageOf<TDlgConnectionIPError>([&] { dlg.GetAddress(a[0], a[1], a[2], a[3]); }),
        "'' is not a valid integer value");
    EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{10, -1, -1, -1}));
}

} // namespace
} // namespace velk
