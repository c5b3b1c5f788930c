// Curve maths as text and numbers: the lines the page builds, and what carrying them out
// does to a graph with x 1, 2, 3, series 1 holding 1, 2, 3 and series 2 holding 4, 0, 6.

#include <array>

#include <gtest/gtest.h>

#include "graph/CurveMaths.h"
#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using namespace velk;

namespace {

TEST(CurveMaths, LinesLetterForLetter) {
    const QString axis = "0. Axe X", constant = "0. Constante";
    const struct {
        QString target, operation;
        bool operandEnabled;
        QString operand, constant, function, line;
    } cases[] = {
        {axis, "1. Multiplier par", true, constant, "24", "Cos", "AxeX = AxeX * 24"},
        {SeriesEntry(2), "4. Soustraire par", true, SeriesEntry(1), "1.0", "Cos",
         "CurveY[2] = CurveY[2] - CurveY[1] "},
        {SeriesEntry(12), "2. Ajouter", true, SeriesEntry(11), "1.0", "Cos",
         "CurveY[12] = CurveY[12] + CurveY[11] "},
        {SeriesEntry(1), "3. Diviser par", true, constant, "0.5", "Cos",
         "CurveY[1] = CurveY[1] / 0.5"},
        {SeriesEntry(1), "5. Fonction", false, constant, "1.0", "Ln", "CurveY[1]= Ln(CurveY[1])"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildMathsLine(c.target, c.operation, c.operandEnabled, c.operand, c.constant,
                                 c.function),
                  c.line);
    EXPECT_EQ(SeriesEntry(3), "3. Y Courbe #3");
}

class Maths : public ::testing::Test {
protected:
    Maths() {
        for (int k = 1; k <= 3; ++k) {
            g_.SetX(k, k);
            g_.SetY(1, k, k);
            g_.SetY(2, k, std::array{4.0, 0.0, 6.0}[static_cast<std::size_t>(k - 1)]);
        }
    }
    std::vector<double> Ys(int s) { return {g_.GetY(s, 1), g_.GetY(s, 2), g_.GetY(s, 3)}; }
    std::vector<double> Xs() { return {g_.GetX(1), g_.GetX(2), g_.GetX(3)}; }
    Tgraphex g_;
};

TEST_F(Maths, LinesRunInOrder) {
    const TMathsRun run = RunMathsLines(
        g_, {"AxeX = AxeX * 24", "CurveY[2] = CurveY[2] - CurveY[1] ", "AxeX = AxeX / 0",
             "CurveY[1] = CurveY[1] / CurveY[2] ", "CurveY[3] = CurveY[3] + 1",
             "CurveY[2] = CurveY[2] + 0.5", "CurveY[2]= Exp(CurveY[2])"});
    EXPECT_EQ(Xs(), (std::vector<double>{24, 48, 72})) << "a division by 0 is not carried out";
    // Series 2 less series 1 is 3, -2, 3; series 1 over that is 1/3, -1, 1.
    EXPECT_EQ(Ys(1), (std::vector<double>{1.0 / 3, -1, 1}));
    EXPECT_EQ(run.messages, QStringList{"Curve 3 does not exist !!"});
    EXPECT_DOUBLE_EQ(Ys(2)[1], std::exp(-1.5));
    EXPECT_TRUE(run.error.isEmpty());

    g_.SetY(2, 2, 0);
    EXPECT_EQ(RunMathsLines(g_, {"CurveY[1] = CurveY[1] / CurveY[2] "}).error, "");
    EXPECT_EQ(g_.GetY(1, 2), 1E300);
}

// A line whose values leave the domain changes nothing and stops the list there.
TEST_F(Maths, NoPartialMaths) {
    const struct {
        QString line;
        int series;
        QString error;
    } cases[] = {
        {"CurveY[2]= Ln(CurveY[2])", 2,
         "Ln is not defined for the value 0 at point 2 of curve 2 : the curve is left unchanged"},
        {"CurveY[2]= Inv(CurveY[2])", 2,
         "Inv is not defined for the value 0 at point 2 of curve 2 : the curve is left unchanged"},
        {"CurveY[1] = CurveY[1] * 1E308", 1,
         "The result at point 2 of curve 1 is out of range : it is left unchanged"},
        {"AxeX = AxeX * 1E308", 0,
         "The result at point 2 of the X axis is out of range : it is left unchanged"},
        {"CurveY[1] = CurveY[1] * CurveY[5] ", 1, "Data series does not exist : 5"},
    };
    for (const auto& c : cases) {
        const auto before = c.series == 0 ? Xs() : Ys(c.series);
        const TMathsRun run = RunMathsLines(g_, {c.line, "AxeX = AxeX + 1"});
        EXPECT_EQ(run.error, c.error);
        EXPECT_EQ(c.series == 0 ? Xs() : Ys(c.series), before) << c.line.toStdString();
        EXPECT_EQ(g_.GetX(1), 1) << "the line after it ran: " << c.line.toStdString();
    }
}

} // namespace
