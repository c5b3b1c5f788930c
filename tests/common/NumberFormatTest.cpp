#include <cmath>

#include <gtest/gtest.h>

#include "common/NumberFormat.h"
#include "tests/TestSupport.h"

using velk::FormatGeneral;
using velk::ParseInteger;
using velk::ParseReal;

namespace {

struct FormatCase {
    double value;
    int digits;
    const char* text;
};

TEST(GeneralFormat, PicksFixedOrScientificAfterRounding) {
    const FormatCase cases[] = {
        {-100000, 2, "-1E5"},   {100000, 2, "1E5"},      {-184, 2, "-1.8E2"},
        {12.34, 2, "12"},       {0.5, 2, "0.5"},         {0.00002, 2, "2E-5"},
        {0, 2, "0"},            {99.4, 2, "99"},         {99.6, 2, "1E2"}, // rounding adds a digit
        {0.0001, 2, "0.0001"},  {0.000099, 2, "9.9E-5"}, {-180.25, 5, "-180.25"},
        {-180.254, 5, "-180.25"}, {12345.6, 5, "12346"},  {123456, 5, "1.2346E5"},
        {1e-5, 3, "1E-5"},      {1.23e-5, 3, "1.23E-5"}, {42.5, 3, "42.5"},
        {100, 3, "100"},        {1000, 3, "1E3"},        {0.1 + 0.2, 15, "0.3"},
        {-0.00012346, 4, "-0.0001235"}, {25, 4, "25"},   {3.0, 7, "3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatGeneral(c.value, c.digits, QChar('.')), QString::fromLatin1(c.text))
            << c.value << " with " << c.digits << " digits";
}

TEST(GeneralFormat, UsesTheGivenSeparatorAndNamesNonNumbers) {
    EXPECT_EQ(FormatGeneral(-1.25, 3, QChar(',')), "-1,25");
    EXPECT_EQ(FormatGeneral(2.5e-7, 2, QChar(',')), "2,5E-7");
    EXPECT_EQ(FormatGeneral(std::nan(""), 5, QChar('.')), "NAN");
    EXPECT_EQ(FormatGeneral(-INFINITY, 5, QChar('.')), "-INF");
}

TEST(GeneralFormat, RoundTripsThroughTheParser) {
    for (double v : {-1.8e2, 2e-5, 12.0, 0.5, 1e5, -1e5, 1.23456789e-12, 9.87e15}) {
        for (QChar sep : {QChar('.'), QChar(',')}) {
            const auto back = ParseReal(FormatGeneral(v, 15, sep), sep);
            ASSERT_TRUE(back.has_value()) << v;
            EXPECT_DOUBLE_EQ(*back, v);
        }
    }
}

TEST(RealParser, AcceptsOnlyWellFormedNumbersWithTheSeparator) {
    EXPECT_EQ(ParseReal(" -1.8E2 ", QChar('.')), -180.0);
    EXPECT_EQ(ParseReal("2e-5", QChar('.')), 2e-5);
    EXPECT_EQ(ParseReal("+.5", QChar('.')), 0.5);
    EXPECT_EQ(ParseReal("5.", QChar('.')), 5.0);
    EXPECT_EQ(ParseReal("1,5", QChar(',')), 1.5);
    for (const char* bad : {"", " ", "abc", "1,5", "1.5.", "1e", "e5", "-", ".", "1 2", "0x10",
                            "1e999", "--1", "+-1", "inf", "nan"})
        EXPECT_FALSE(ParseReal(QString::fromLatin1(bad), QChar('.')).has_value()) << bad;
    EXPECT_FALSE(ParseReal("1.5", QChar(',')).has_value());
}

TEST(IntegerParser, RejectsWhatIsNotAnInteger) {
    EXPECT_EQ(ParseInteger("10000"), 10000);
    EXPECT_EQ(ParseInteger(" -7 "), -7);
    EXPECT_EQ(ParseInteger("+2"), 2);
    for (const char* bad : {"", "abc", "1.0", "2x", "99999999999", "+-1", "- 1"})
        EXPECT_FALSE(ParseInteger(QString::fromLatin1(bad)).has_value()) << bad;
}

} // namespace
