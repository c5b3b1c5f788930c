// The graph window driven through its real widgets: feeding, the scale and axis pages,
// resizing, pages shown and hidden, and pictures of every page for a person to look at.

#include <array>
#include <cmath>

#include <QSpinBox>
#include <QTabWidget>

#include "common/NumberFormat.h"
#include "tests/graph/GraphWindowSupport.h"

using namespace velk;
using velk::test::GraphWindow;

namespace {

TEST_F(GraphWindow, FedShownWithEveryPageReadableThenClosed) {
    EXPECT_EQ(form_->size(), QSize(538, 400)) << "pages hidden at creation";
    EXPECT_FALSE(form_->Picture()->isVisible()) << "nothing shown before data";
    EXPECT_FALSE(G().PaintEnabled);
    for (int k = 0; k < 60; ++k)
        Feed(9.5 + k / 60.0, -180 + 20 * std::exp(-k / 20.0));
    EXPECT_TRUE(form_->Picture()->isVisible());
    EXPECT_TRUE(G().PaintEnabled);
    EXPECT_EQ(form_->windowTitle(), "Temp1");
    EXPECT_EQ(Find<QLabel>("LabelNBEch")->text(), "60");
    EXPECT_EQ(Picture().size(), QSize(533, 372));
    EXPECT_EQ(Picture().pixel(G().MarginX, G().MarginY + 10), qRgb(0, 0, 0)) << "plot frame";

    test::ExpectReadableAndShoot(form_, "window", Find<QWidget>("PanelP"));
    Click("ButtonSet");
    auto* pages = Find<QTabWidget>("PageControl");
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        test::ExpectReadableAndShoot(
            form_, QStringLiteral("page%1_%2").arg(i + 1).arg(pages->widget(i)->objectName()),
            pages->widget(i));
    }

    TGraphexForm* closed = nullptr;
    form_->OnGraphClose = [&closed](TGraphexForm* sender) { closed = sender; };
    form_->close();
    EXPECT_EQ(closed, form_.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form_.isNull()) << "the window frees itself";
}

// A graph of x 0..10 and y 0..100 with its automatic view.
class ScalePage : public GraphWindow {
protected:
    ScalePage() {
        for (int k = 0; k <= 10; ++k)
            Feed(k, 10 * k);
    }
    std::array<double, 4> View() {
        return {G().ViewXMin, G().ViewXMax, G().ViewYMin, G().ViewYMax};
    }
};

TEST_F(ScalePage, ZoomInOnAnAutomaticGraphAndPanBackAndForth) {
    const auto [x0, x1, y0, y1] = View();
    Click("SpeedButtonZp");
    EXPECT_FALSE(Find<QCheckBox>("CheckBoxEchAutoX")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("CheckBoxEchAutoY")->isChecked());
    EXPECT_TRUE(Find<NbreEdit>("NbreEditMinX")->isEnabled());
    const double dx = (x1 - x0) / 5, dy = (y1 - y0) / 5;
    EXPECT_EQ(View(), (std::array{x0 + dx, x1 - dx, y0 + dy, y1 - dy}));
    EXPECT_EQ(Find<NbreEdit>("NbreEditMinX")->text(), FormatGeneral(x0 + dx, 5));
    EXPECT_EQ(G().Map().MapXMin, x0 + dx) << "painted";

    const auto zoomed = View();
    for (const char* button : {"BitBtnPX", "BitBtnPX", "BitBtnMX", "BitBtnMX", "BitBtnMY",
                               "BitBtnMY", "BitBtnPY", "BitBtnPY"})
        Click(button);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(View()[i], zoomed[i], 1e-9) << i;
    EXPECT_EQ(Find<NbreEdit>("NbreEditMaxY")->text(), FormatGeneral(G().ViewYMax, 5));
}

TEST_F(ScalePage, TypedRangesAppliedOrRefused) {
    Tick("CheckBoxEchAutoX");
    Tick("CheckBoxEchAutoY");
    ASSERT_FALSE(G().AutoScaleX);
    const struct {
        const char *axis, *min, *max, *message;
        double mapMin, mapMax;
    } cases[] = {
        {"X", "5", "5", "", 4.5, 5.5}, // equal ends are widened by a tenth of the value
        {"X", "6", "5", "X beginning > X end !!", 4.5, 5.5},
        {"X", "abc", "5", "'abc' is not a valid floating point value", 4.5, 5.5},
        {"X", "-2", "3", "", -2, 3},
        {"Y", "9", "1", "Y beginning > Y end !!", -2, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        messages_.messages.clear();
        SetField(c.axis[0] == 'X' ? "NbreEditMinX" : "NbreEditMinY", c.min);
        SetField(c.axis[0] == 'X' ? "NbreEditMaxX" : "NbreEditMaxY", c.max);
        Click(c.axis[0] == 'X' ? "SpeedButtonApplyX" : "SpeedButtonApplyY");
        EXPECT_EQ(messages_.messages.join('|'), c.message);
        EXPECT_EQ(G().Map().MapXMin, c.mapMin);
        EXPECT_EQ(G().Map().MapXMax, c.mapMax);
    }
}

TEST_F(ScalePage, LabelsFrequencyFixesTheTickSteps) {
    Tick("CheckBoxUnit");
    auto* spinX = Find<QSpinBox>("SpinEditXpuiss");
    auto* spinY = Find<QSpinBox>("SpinEditPuissY");
    EXPECT_TRUE(spinX->isEnabled());
    spinX->setValue(1);
    spinY->setValue(1);
    Click("Button8");
    Feed(11, 110); // painted again by the feeder
    EXPECT_EQ(G().Map().XMajorStep, 10);
    EXPECT_EQ(G().Map().YMajorStep, 10);
    EXPECT_EQ(spinX->value(), 1);
    Tick("CheckBoxUnit");
    EXPECT_TRUE(G().AutoLabelExponent);
    EXPECT_EQ(spinX->value(), G().XLabelExponent) << "the spins show what the paint chose";
    EXPECT_EQ(G().Map().XMajorStep, 1);
}

TEST_F(ScalePage, ExtraHeightGoesToThePictureOnly) {
    const auto pictureHeight = [this] { return form_->Picture()->height(); };
    auto* panel = Find<QWidget>("PanelP");
    form_->resize(600, 500);
    EXPECT_EQ(Picture().size(), QSize(595, 472));
    EXPECT_EQ(panel->geometry(), QRect(0, 476, 600, 24));
    Click("ButtonSet"); // the pages add their height to the window, not to the picture
    EXPECT_EQ(form_->height(), 604);
    EXPECT_EQ(pictureHeight(), 472);
    EXPECT_EQ(form_->minimumSize(), QSize(537, 327));
    form_->resize(600, 700);
    EXPECT_EQ(pictureHeight(), 568);
    EXPECT_EQ(panel->height(), 128);
    Click("ButtonHidePanel");
    EXPECT_EQ(form_->height(), 596);
    EXPECT_EQ(pictureHeight(), 568);
    EXPECT_EQ(form_->minimumSize(), QSize(263, 224));
}

TEST_F(ScalePage, CurvesPageNamesAnAbsentSeriesAndTakesColours) {
    choosers_->colors = {QColor(0, 0, 255)};
    Click("Button5");
    EXPECT_EQ(G().SeriesColor[1], 0xFF0000u) << "stored as 0x00BBGGRR";
    Find<QSpinBox>("SpinC")->setValue(2);
    EXPECT_EQ(messages_.messages, QStringList{"This serie does not exist or is empty..."});
}

} // namespace
