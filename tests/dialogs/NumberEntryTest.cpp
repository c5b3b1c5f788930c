// The expression evaluator, NbreEdit's text check, the mask texts and the path shortening, then
// the two number edits driven through real key and focus events (offscreen platform).

#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "common/NumberFormat.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/Editnbre.h"
#include "dialogs/Expression.h"
#include "dialogs/MaskText.h"
#include "dialogs/NumberEdit.h"
#include "tests/TestSupport.h"
#include "tests/TestSupportWidgets.h"

namespace velk {
namespace {

using test::MessageRecorder;

QString Repeat(const QString& head, const QString& tail, int times) {
    QString s = head;
    for (int i = 0; i < times; ++i)
        s += tail;
    return s;
}

// Operations are carried out left to right, brackets first; anything else is refused with one
// message, and the program's separator becomes the point. 99 tokens still fit, 101 do not.
TEST(EvaluateExpression, LeftToRightWithBracketsFirstOrInvalidInput) {
    const std::optional<double> no;
    const QString big = Repeat("1", "0", 200), tokens99 = Repeat("1", "+1", 49),
                  tokens101 = Repeat("1", "+1", 50), tokens10001 = Repeat("1", "+1", 5000);
    const std::pair<QString, std::optional<double>> cases[] = {
        {"2+3*4", 20},       {"10-2-3", 5},    {"8/2/2", 2}, {"2*(3+4)", 14}, {"-5", -5},
        {"(-5)", -5},        {".5+1", 1.5},    {"5.", 5},    {"3*(-5)", -15}, {"2*(1+2+3)", 12},
        {"(1+2)*(3+4)", 21}, {tokens99, 50},   {"-5+3", no}, {"3*-2", no},    {"(5)", no},
        {"1 + 2", no},       {"1,5", no},      {"1e3", no},  {"1/0", no},     {"0/0", no},
        {"1..2", no},        {".", no},        {"", no},     {"()", no},      {"*", no},
        {"2*", no},          {"abc", no},      {"(1+)", no}, {big + big, no}, {big + "*" + big, no},
        {tokens101, no},     {tokens10001, no}};
    SetDecimalSeparator(QLatin1Char(','));
    for (const auto& [text, value] : cases) {
        std::optional<double> result;
        const QString failure =
            test::MessageOf<EFormuleError>([&] { result = EvaluateExpression(text); });
        EXPECT_EQ(failure, result ? "" : "Invalid input !");
        EXPECT_EQ(result, value) << text.left(40).toStdString();
    }
    EXPECT_EQ(DecimalSeparator(), QLatin1Char('.'));
}

TEST(NbreCheck, RefusesWhatTheTypeOrTheBoundsForbid) {
    const std::optional<QString> ok;
    const QString invalid = "Invalid input !", high = "Overflow number !", low = "Too low number !";
    const struct {
        QString text;
        std::uint8_t type;
        double min, max;
        std::optional<QString> message;
    } cases[] = {
        {"", 2, -10, 10, ok},        {"99.", 2, -10, 10, ok},      {"-1.5", 2, -10, 10, ok},
        {"11", 2, -10, 10, high},    {"1,5", 2, -10, 10, invalid}, {"1e1", 2, -10, 10, ok},
        {"1", 2, 0, 0, high},        {"0", 2, 0, 0, ok},           {"", 1, 0, 100, ok},
        {"-5", 1, -10, 10, ok},      {"$10", 1, 0, 100, ok},       {"0x65", 1, 0, 100, high},
        {"1.5", 1, 0, 100, invalid}, {"-1", 1, 0, 100, low},       {"abc", 0, 0, 0, ok},
        {"abc", 7, 0, 0, ok},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckNbreText(c.text, c.type, c.min, c.max), c.message)
            << c.text.toStdString() << " type " << int(c.type);
    const std::optional<int> no;
    const std::pair<QString, std::optional<int>> integers[] = {
        {"  -7", -7},       {"+3", 3},          {"x1f", 31},
        {"-$10", -16},      {"$FFFFFFFF", -1},  {"2147483647", 2147483647},
        {"2147483648", no}, {"-", no},          {"1 ", no},
        {"$G", no},         {"$123456789", no}, {"--1", no},
        {"1-", no},
    };
    for (const auto& [text, value] : integers)
        EXPECT_EQ(ParseIntegerOrHex(text), value) << text.toStdString();
}

TEST(MaskText, ShowsToTheSecondClampedToTheMaskAndReadsBackOrRefuses) {
    const std::tuple<double, const char*, const char*> cases[] = {
        {1.5, "01h30m00s", "001°30'00''"},
        {12 + 34 / 60.0 + 56 / 3600.0, "12h34m56s", "012°34'56''"},
        {45.5, "45h30m00s", "045°30'00''"},
        {250, "99h59m59s", "250°00'00''"},
        {-3, "00h00m00s", "-03°00'00''"},
        {-12.25, "00h00m00s", "-12°15'00''"},
        {-0.5, "00h00m00s", "-00°30'00''"},
        {-500, "00h00m00s", "-99°59'59''"},
        {-0.00001, "00h00m00s", "000°00'00''"},
    };
    for (const auto& [v, time, angle] : cases) {
        EXPECT_EQ(TimeToMaskText(v), time) << v;
        EXPECT_EQ(AngleToMaskText(v), QString::fromUtf8(angle)) << v;
    }
    for (double v : {0.0, 12.582222222222223, 99.99972222222222})
        EXPECT_NEAR(MaskTextToTime(TimeToMaskText(v)).value_or(-1), v, 0.5 / 3600);
    for (double v : {0.0, -0.5, 359.99, 999.5})
        EXPECT_NEAR(MaskTextToAngle(AngleToMaskText(v)).value_or(-1), v, 0.5 / 3600);
    QLineEdit time; // unfilled positions of the real mask count as 0
    time.setInputMask(QString::fromUtf8(TimeInputMask));
    EXPECT_EQ(MaskTextToTime(time.displayText()), 0.0);
    for (const char* bad : {"01h75m00s", "01h00m60s", "01h00m00", "0100m00s", ""})
        EXPECT_FALSE(MaskTextToTime(QString::fromUtf8(bad))) << bad;
    for (const char* bad : {"045°60'00''", "045°00'00'", "0-5°00'00''", "045x00'00''"})
        EXPECT_FALSE(MaskTextToAngle(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(ShortenMiddle("/home/operator/data/run/2024/x", 20), "/home/oper...run/2024/x");
    EXPECT_EQ(ShortenMiddle("01234567890123456789", 20), "01234567890123456789");
}

// A shown, active window with the focused edit under test followed by a plain edit the focus
// can move to.
struct NumberEditWindow {
    QWidget window;
    TNumberEdit* edit = new TNumberEdit(&window);
    QLineEdit* next = new QLineEdit(&window);

    NumberEditWindow(TTypeValue type, double min, double max, int maxLength = 32767) {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        layout->addWidget(next);
        edit->setMaxLength(maxLength);
        edit->SetTypeValue(type);
        edit->SetMinValue(min);
        edit->SetMaxValue(max);
        EXPECT_TRUE(test::ShowActive(&window));
        edit->setFocus();
    }
};

TEST(NumberEditWidget, LeavingTheFieldEvaluatesOrKeepsTheFocusWithAMessage) {
    const TTypeValue Int = TTypeValue::Int, Float = TTypeValue::Float;
    const struct {
        TTypeValue type;
        double min, max; // equal bounds: no range check
        QString typed;
        bool accepted;
        QString result;        // the new text, or the message
        int maxLength = 32767; // limits the typing, never the result
    } cases[] = {
        {Int, 0, 0, "7/2", false, "7/2 Invalid integer number !"},
        {Int, 0, 0, "6/2", true, "3"},
        {Int, 0, 100, "300", false, "Figure too high :100"},
        {Int, 0, 100, "100", true, "100"},
        {Int, 0, 255, "100+55", true, "155"},
        {Int, 0, 100, "-1", false, "Figure too small :0"},
        {Int, 0.5, 2.5, "3", false, "Figure too high :2"}, // the bound rounded to even
        {Int, 0, 0, "3000000000", false, "3000000000 Invalid integer number !"},
        {Int, 0, 0, "1e3", false, "Invalid input !"},
        {Int, 0, 100, "", true, ""},
        {Float, 1, 3600, "0.5", false, "Figure too small :1"},
        {Float, 1, 3600, "3600.5", false, "Figure too high :3600"},
        {Float, 1, 3600, "5/2", true, "2.5"},
        {Float, 1, 3600, "1", true, "1"}, // the bounds themselves are allowed
        {Float, 0.25, 0.5, "1", false, "Figure too high :0.5"},
        {Float, 0, 0, "1/3", true, "0.333333333333333"},
        {Float, 0, 0, "100000*100000", true, "10000000000"},
        {Float, 7, 7, "-1e9", false, "Invalid input !"},
        {Float, 7, 7, "-1000000", true, "-1000000"},
        {Float, 0, 0, "1/300000", true, "3.33333333333333E-6", 10},
        {Int, 0, 0, "12345", true, "123", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        MessageRecorder recorder;
        NumberEditWindow w(c.type, c.min, c.max, c.maxLength);
        QTest::keyClicks(w.edit, c.typed);
        test::PressTab();
        EXPECT_EQ(w.edit->text(), c.accepted ? c.result : c.typed);
        EXPECT_EQ(recorder.messages.join('|'), c.accepted ? "" : c.result);
        EXPECT_TRUE(c.accepted ? w.next->hasFocus() : w.edit->hasFocus());
    }
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
