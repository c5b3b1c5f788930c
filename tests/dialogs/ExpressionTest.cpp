// Widget-free checks: the expression evaluator, the entry checks of both number edits, the
// time and angle mask texts and the path shortening.

#include <QLineEdit>
#include <gtest/gtest.h>

#include "common/NumberFormat.h"
#include "dialogs/Dlgstandard.h"
#include "dialogs/Editnbre.h"
#include "dialogs/Expression.h"
#include "dialogs/MaskText.h"
#include "dialogs/NumberEdit.h"
#include "tests/TestSupport.h"

namespace velk {
namespace {

QString Repeat(const QString& head, const QString& tail, int times) {
    QString s = head;
    for (int i = 0; i < times; ++i)
        s += tail;
    return s;
}

TEST(EvaluateExpression, CarriesOutOperationsLeftToRightWithBracketsFirst) {
    const struct {
        QString text;
        double value;
    } cases[] = {
        {"2+3*4", 20},       {"10-2-3", 5},
        {"8/2/2", 2},        {"2*(3+4)", 14},
        {"(1+2)*(3+4)", 21}, {"-5", -5},
        {"+5", 5},           {"(-5)", -5},
        {"2+(3*4)", 14},     {".5+1", 1.5},
        {"5.", 5},           {"1.25*4", 5},
        {"2*(1+2+3)", 12},   {"(1+2+3)*2", 12},
        {"3*(-5)", -15},     {Repeat("1", "+1", 49), 50}, // 99 tokens fit
    };
    for (const auto& c : cases) {
        try {
            EXPECT_DOUBLE_EQ(EvaluateExpression(c.text), c.value) << c.text.toStdString();
        } catch (const Exception& e) {
            ADD_FAILURE() << c.text.toStdString() << " raised " << e.what();
        }
    }
}

TEST(EvaluateExpression, RefusesEveryFaultWithOneMessage) {
    const QString big = Repeat("1", "0", 200);
    const QString cases[] = {
        "-5+3",
        "3*-2",
        "(5)",
        "1 + 2",
        "1,5",
        "1e3",
        "1/0",
        "0/0",
        "1..2",
        ".",
        "",
        "()",
        "*",
        "2*",
        "+",
        "abc",
        "(1+)",
        Repeat("1", "0", 400),
        big + "*" + big,
        Repeat("1", "+1", 50), // 101 tokens
        Repeat("1", "+1", 5000),
    };
    for (const QString& text : cases) {
        try {
            const double v = EvaluateExpression(text);
            ADD_FAILURE() << text.left(40).toStdString() << " gave " << v;
        } catch (const EFormuleError& e) {
            EXPECT_STREQ(e.what(), "Invalid input !") << text.left(40).toStdString();
        }
    }
}

TEST(EvaluateExpression, SwitchesTheProgramToThePoint) {
    SetDecimalSeparator(QLatin1Char(','));
    EXPECT_THROW(EvaluateExpression("x"), EFormuleError);
    EXPECT_EQ(DecimalSeparator(), QLatin1Char('.'));
}

TEST(NumberEntryCheck, ReplacesTheTextOrNamesTheFault) {
    const struct {
        QString text;
        TTypeValue type;
        double min, max;
        bool accepted;
        QString result; // the new text, or the message
    } cases[] = {
        {"7/2", TTypeValue::Int, 0, 0, false, "7/2 Invalid integer number !"},
        {"6/2", TTypeValue::Int, 0, 0, true, "3"},
        {"300", TTypeValue::Int, 0, 100, false, "Figure too high :100"},
        {"100", TTypeValue::Int, 0, 100, true, "100"},
        {"100+55", TTypeValue::Int, 0, 255, true, "155"},
        {"256", TTypeValue::Int, 0, 255, false, "Figure too high :255"},
        {"-1", TTypeValue::Int, 0, 100, false, "Figure too small :0"},
        {"3", TTypeValue::Int, 0.5, 2.5, false, "Figure too high :2"}, // bound rounded to even
        {"3000000000", TTypeValue::Int, 0, 0, false, "3000000000 Invalid integer number !"},
        {"1e3", TTypeValue::Int, 0, 0, false, "Invalid input !"},
        {"0.5", TTypeValue::Float, 1, 3600, false, "Figure too small :1"},
        {"3600.5", TTypeValue::Float, 1, 3600, false, "Figure too high :3600"},
        {"2.5", TTypeValue::Float, 1, 3600, true, "2.5"},
        {"1/3", TTypeValue::Float, 0, 0, true, "0.333333333333333"},
        {"100000*100000", TTypeValue::Float, 0, 0, true, "10000000000"},
        {"1", TTypeValue::Float, 0.25, 0.5, false, "Figure too high :0.5"},
        {"5-", TTypeValue::Float, 0, 0, false, "Invalid input !"},
    };
    for (const auto& c : cases) {
        const TNumberEntryCheck check = CheckNumberEntry(c.text, c.type, c.min, c.max);
        EXPECT_EQ(check.Accepted, c.accepted) << c.text.toStdString();
        EXPECT_EQ(c.accepted ? check.Text : check.Message, c.result) << c.text.toStdString();
    }
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
        {"", 2, -10, 10, ok},     {"-", 2, -10, 10, ok},      {"-1.", 2, -10, 10, ok},
        {"99.", 2, -10, 10, ok},  {"-1.5", 2, -10, 10, ok},   {"-1x", 2, -10, 10, invalid},
        {"-11", 2, -10, 10, low}, {"11", 2, -10, 10, high},   {"1,5", 2, -10, 10, invalid},
        {"1e1", 2, -10, 10, ok},  {"1", 2, 0, 0, high},       {"0", 2, 0, 0, ok},
        {"", 1, 0, 100, ok},      {"-", 1, -10, 10, invalid}, {"-5", 1, -10, 10, ok},
        {"$10", 1, 0, 100, ok},   {"0x65", 1, 0, 100, high},  {"1.5", 1, 0, 100, invalid},
        {"101", 1, 0, 100, high}, {"-1", 1, 0, 100, low},     {"abc", 0, 0, 0, ok},
        {"abc", 7, 0, 0, ok},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckNbreText(c.text, c.type, c.min, c.max), c.message)
            << c.text.toStdString() << " type " << int(c.type);
}

TEST(NbreCheck, ReadsDecimalAndHexadecimalIntegers) {
    const struct {
        QString text;
        std::optional<int> value;
    } cases[] = {
        {"12", 12},
        {"  -7", -7},
        {"+3", 3},
        {"$1F", 31},
        {"x1f", 31},
        {"0x10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"1 ", std::nullopt},
        {"$", std::nullopt},
        {"$G", std::nullopt},
        {"$123456789", std::nullopt},
        {"--1", std::nullopt},
        {"1-", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIntegerOrHex(c.text), c.value) << c.text.toStdString();
}

TEST(MaskText, ShowsTimesAndAnglesToTheSecondAndReadsThemBack) {
    EXPECT_EQ(TimeToMaskText(1.5), "01h30m00s");
    EXPECT_EQ(TimeToMaskText(0), "00h00m00s");
    EXPECT_EQ(TimeToMaskText(12 + 34 / 60.0 + 56 / 3600.0), "12h34m56s");
    EXPECT_EQ(TimeToMaskText(250), "99h59m59s");
    EXPECT_EQ(TimeToMaskText(-3), "00h00m00s");
    EXPECT_EQ(AngleToMaskText(45.5), QString::fromUtf8("045°30'00''"));
    EXPECT_EQ(AngleToMaskText(-0.5), QString::fromUtf8("-00°30'00''"));
    EXPECT_EQ(AngleToMaskText(-12.25), QString::fromUtf8("-12°15'00''"));
    EXPECT_EQ(AngleToMaskText(-500), QString::fromUtf8("-99°59'59''"));
    EXPECT_EQ(AngleToMaskText(-0.00001), QString::fromUtf8("000°00'00''"));

    // Through a real masked edit, as the dialog reads it back.
    QLineEdit time;
    time.setInputMask(QString::fromUtf8(TimeInputMask));
    QLineEdit angle;
    angle.setInputMask(QString::fromUtf8(AngleInputMask));
    for (double v : {0.0, 1.5, 12.582222222222223, 99.99972222222222}) {
        time.setText(TimeToMaskText(v));
        const auto back = MaskTextToTime(time.displayText());
        ASSERT_TRUE(back) << time.displayText().toStdString();
        EXPECT_NEAR(*back, v, 0.5 / 3600);
    }
    for (double v : {0.0, 45.5, -0.5, -12.25, 359.99, 999.5}) {
        angle.setText(AngleToMaskText(v));
        const auto back = MaskTextToAngle(angle.displayText());
        ASSERT_TRUE(back) << angle.displayText().toStdString();
        EXPECT_NEAR(*back, v, 0.5 / 3600);
    }
    time.clear();
    EXPECT_EQ(MaskTextToTime(time.displayText()), 0.0); // unfilled positions count as 0
    for (const char* bad : {"01h75m00s", "01h00m60s", "01h00m00", "0100m00s", ""})
        EXPECT_FALSE(MaskTextToTime(QString::fromUtf8(bad))) << bad;
    for (const char* bad : {"045°60'00''", "045°00'00'", "0-5°00'00''", "045x00'00''"})
        EXPECT_FALSE(MaskTextToAngle(QString::fromUtf8(bad))) << bad;
}

TEST(ShortenMiddle, KeepsBothEndsOfALongText) {
    const QString path = "/home/operator/data/run/2024/"; // 29 characters
    EXPECT_EQ(ShortenMiddle(path + "x", 20), "/home/oper...run/2024/x");
    EXPECT_EQ(ShortenMiddle(path + "x", 20).size(), 23);
    EXPECT_EQ(ShortenMiddle("01234567890123456789", 20), "01234567890123456789");
    EXPECT_EQ(ShortenMiddle("", 20), "");
}

} // namespace
} // namespace velk
