// The main window as it opens: fixed size, every value "-----", Connect alone enabled, the
// title line, a log pane that keeps its last lines, and every caption readable whole next to
// its neighbours.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/AlarmView.h"
#include "app/MainPanel.h"
#include "app/globalParameters.h"
#include "common/DateTimeText.h"
#include "dialogs/Dlgstandard.h"
#include "tests/TestSupport.h"
#include "tests/TestSupportWidgets.h"

namespace {

using velk::test::Child;

const char* const kValueLabels[] = {
    "LabelColdFingerTemp",     "LabelPercentOutputValue",          "LabelSetPointColdFingerValue",
    "LabelNitrogenOutputTemp", "LabelSetPointNitrogenOutputValue", "LabelAlloValue",
    "LabelVacuumValue",        "LabelVacuumPumpStatusValue",       "LabelVacuumValveStatusValue",
    "LabelLN2LevelValue"};

TEST(MainWindow, OpensDisconnectedWithNoValuesTheTitleLineAFixedSizeAndABoundedLogPane) {
    velk::TMainForm form;
    form.show();
    EXPECT_EQ(form.windowTitle(), "Velk Monitor – not connected");
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // cannot be resized
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    for (const char* name : kValueLabels)
        EXPECT_EQ(Child<QLabel>(&form, name)->text(), "-----") << name;
    EXPECT_EQ(Child<QProgressBar>(&form, "ProgressBarLN2Level")->value(), 0);
    EXPECT_TRUE(Child<QToolButton>(&form, "ToolButtonConnect")->isEnabled());
    EXPECT_FALSE(Child<QToolButton>(&form, "ToolButtonDisconnect")->isEnabled());
    EXPECT_FALSE(Child<QToolButton>(&form, "ToolButtonConnect")->icon().pixmap(27, 27).isNull());
    EXPECT_EQ(form.RichEdit()->toPlainText(), "Velk monitor  V1.00  10/01/01");
    EXPECT_EQ(form.RichEdit()->geometry(), QRect(0, 228, form.width(), 55));
    form.AddLogLine(QStringLiteral("first"));
    form.RichEdit()->moveCursor(QTextCursor::Start); // the operator clicked at the top
    form.AddLogLine(QStringLiteral("second"));
    EXPECT_EQ(form.RichEdit()->toPlainText(), "Velk monitor  V1.00  10/01/01\nfirst\nsecond");
    for (int i = 1; i < velk::kLogPaneLines; ++i)
        form.AddLogLine(QString::number(i));
    EXPECT_EQ(form.RichEdit()->document()->blockCount(), velk::kLogPaneLines);
    EXPECT_TRUE(form.RichEdit()->toPlainText().startsWith("second\n1\n"));
}

TEST(MainWindow, TheTitleCarriesTheAlarmsTheConnectionAndTheMute) {
    const QDateTime until(QDate(2024, 5, 1), QTime(17, 30));
    const struct {
        bool connected, lost;
        QStringList alarms;
        QDateTime mute;
        QString title;
    } rows[] = {
        {true, false, {}, {}, "Velk Monitor"},
        {false, false, {}, {}, "Velk Monitor – not connected"},
        {true, true, {}, {}, "Velk Monitor – connection lost"},
        {true, false, {"vacuum"}, {}, "Velk Monitor – ALARM: vacuum"},
        {false,
         false,
         {"cold plate temperature", "vacuum"},
         until,
         "Velk Monitor – ALARM: cold plate temperature, vacuum – not connected – mail muted "
         "until "}, // and the date-time
    };
    for (const auto& r : rows)
        EXPECT_EQ(velk::WindowTitle(r.connected, r.lost, r.alarms, r.mute),
                  r.title + (r.mute.isValid() ? velk::DateTimeText(r.mute) : QString()));
}

TEST(MainWindow, EveryCaptionIsWholeAndNoControlCoversAnother) {
    velk::TMainForm form;
    form.show();
    const auto boxes = form.findChildren<QGroupBox*>();
    ASSERT_EQ(boxes.size(), 4);
    for (QGroupBox* box : boxes) {
        EXPECT_TRUE(form.rect().contains(box->geometry())) << box->objectName().toStdString();
        velk::test::ExpectReadable(box);
    }
    // The widest values the labels show must fit their column too.
    const auto* value = Child<QLabel>(&form, "LabelVacuumValue");
    EXPECT_GE(value->width(), value->fontMetrics().horizontalAdvance(QStringLiteral("1.01E-10")));
    velk::test::Shoot(&form, "main-disconnected");
}

TEST(MainWindow, TheAlarmHandlingDialogShowsEveryCaptionWholeAndOkKeepsItsValues) {
    velk::GlobalParameters() = velk::TGlobalParameters{};
    velk::TMainForm form;
    auto* button = Child<QToolButton>(&form, "ToolButtonAlarmHandling");
    EXPECT_EQ(button->toolTip(), "Alarm handling");
    EXPECT_FALSE(button->icon().pixmap(27, 27).isNull());
    velk::test::AnswerModal<velk::TDlgBoxStdr>("ButtonOk", [](velk::TDlgBoxStdr& d) {
        EXPECT_EQ(d.windowTitle(), "Alarm handling");
        const int spins[][2] = {{1, 3600}, {3, 20}, {5, 120},  {7, 1440},
                                {8, 100},  {9, 15}, {15, 9900}};
        for (const auto& [field, value] : spins)
            qobject_cast<QSpinBox*>(d.FieldControl(field))->setValue(value);
        qobject_cast<QLineEdit*>(d.FieldControl(2))->setText(QStringLiteral("1.5"));
        qobject_cast<QLineEdit*>(d.FieldControl(6))->setText(QStringLiteral("10"));
        qobject_cast<QAbstractButton*>(d.FieldControl(10))->setChecked(true);
        qobject_cast<QSpinBox*>(d.FieldControl(11))->setValue(2); // mute the mail for 2 h
        qobject_cast<QAbstractButton*>(d.FieldControl(12))->setChecked(false);
        velk::test::ExpectReadableAndShoot(&d, QStringLiteral("alarm-handling"));
    });
    const QDateTime before = QDateTime::currentDateTime();
    button->click();
    const velk::TAlarmHandlingParameters& h = velk::GlobalParameters().AlarmHandling;
    EXPECT_FALSE(h.Notifications);
    const QDateTime until = h.MuteMailUntil;
    EXPECT_TRUE(until >= before.addSecs(7200) &&
                until <= QDateTime::currentDateTime().addSecs(7200));
    EXPECT_EQ(form.RichEdit()->toPlainText().split('\n').last(),
              "Alarm mail muted until " + velk::DateTimeText(until) + " by the operator");
    EXPECT_TRUE(form.windowTitle().endsWith(" – mail muted until " + velk::DateTimeText(until)));
    EXPECT_EQ(std::tuple(h.Temp[1].Delay, h.Temp[2].Delay, h.Vacuum.Delay, h.ReminderEvery,
                         h.ReminderLimit, h.SilentAfter, h.Heartbeat),
              std::tuple(3600, 20, 120, 1440, 100, 15, true));
    EXPECT_EQ(std::tuple(h.Temp[1].Deadband, h.Temp[2].Deadband, h.Vacuum.Deadband),
              std::tuple(1.5, 0.0, 10.0));
    EXPECT_EQ(velk::GlobalParameters().Metrics.Port, 9900); // the metrics rows follow
    velk::GlobalParameters() = velk::TGlobalParameters{};
}

} // namespace
