// The graph window driven through its real widgets: feeding, the scale and axis pages,
// resizing, pages shown and hidden, and pictures of every page for a person to look at.

#include <array>

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "common/NumberFormat.h"
#include "tests/graph/GraphWindowSupport.h"

using namespace velk;
using velk::test::GraphWindow;

namespace {

// Every caption of `page` whole, no two controls overlapping, then a picture of the window.
void ExpectReadableAndShoot(QWidget* window, QWidget* page, const QString& name) {
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page)) continue;
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(w)) needed = label->sizeHint().width();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            needed = qobject_cast<QPushButton*>(w)
                         ? button->fontMetrics().horizontalAdvance(button->text()) + 8
                         : button->sizeHint().width();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) // the text plus the arrow
                needed = std::max(needed,
                                  combo->fontMetrics().horizontalAdvance(combo->itemText(i)) + 26);
        EXPECT_GE(w->width(), needed) << w->objectName().toStdString();
    }
    const auto children = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        if (!w->isVisibleTo(page)) continue;
        const std::string id = w->objectName().toStdString();
        EXPECT_TRUE(page->rect().contains(w->geometry())) << id;
        for (QWidget* other : children)
            EXPECT_FALSE(other != w && other->isVisibleTo(page) &&
                         w->geometry().intersects(other->geometry()))
                << id << " overlaps " << other->objectName().toStdString();
    }
    const QString dir = QStringLiteral(VELK_GRAPH_SHOTS_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(dir + '/' + name + ".png")) << name.toStdString();
}

TEST_F(GraphWindow, FeederOpensFeedsAndClosesTheWindow) {
    EXPECT_EQ(form_->size(), QSize(538, 400)) << "pages hidden at creation";
    EXPECT_FALSE(form_->Picture()->isVisible()) << "nothing shown before data";
    EXPECT_FALSE(G().PaintEnabled);
    for (int k = 0; k < 30; ++k)
        Feed(9 + k / 60.0, -180 + k * 0.1);
    EXPECT_TRUE(form_->Picture()->isVisible());
    EXPECT_TRUE(G().PaintEnabled);
    EXPECT_EQ(form_->windowTitle(), "Temp1");
    EXPECT_EQ(Find<QLabel>("LabelNBEch")->text(), "30");
    EXPECT_EQ(Picture().size(), QSize(533, 372));
    EXPECT_EQ(Picture().pixel(G().MarginX, G().MarginY + 10), qRgb(0, 0, 0)) << "plot frame";

    TGraphexForm* closed = nullptr;
    form_->OnGraphClose = [&closed](TGraphexForm* sender) { closed = sender; };
    form_->close();
    EXPECT_EQ(closed, form_.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form_.isNull()) << "the window frees itself";
}

TEST_F(GraphWindow, EveryPageReadableWithNothingOverlapping) {
    for (int k = 0; k < 60; ++k)
        Feed(9.5 + k / 60.0, -180 + 20 * std::exp(-k / 20.0));
    ExpectReadableAndShoot(form_, Find<QWidget>("PanelP"), "window");
    Click("ButtonSet");
    auto* pages = Find<QTabWidget>("PageControl");
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        ExpectReadableAndShoot(
            form_, pages->widget(i),
            QStringLiteral("page%1_%2").arg(i + 1).arg(pages->widget(i)->objectName()));
    }
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
    EXPECT_EQ(G().MapXMin, x0 + dx) << "painted";

    const auto zoomed = View();
    for (const char* button : {"BitBtnPX", "BitBtnPX", "BitBtnMX", "BitBtnMX", "BitBtnMY",
                               "BitBtnMY", "BitBtnPY", "BitBtnPY"})
        Click(button);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(View()[i], zoomed[i], 1e-9) << i;
    EXPECT_EQ(Find<NbreEdit>("NbreEditMaxY")->text(), FormatGeneral(G().ViewYMax, 5));
}

TEST_F(ScalePage, TypedRangesAppliedOrRefused) {
    QTest::mouseClick(Find<QCheckBox>("CheckBoxEchAutoX"), Qt::LeftButton, {}, {5, 8});
    ASSERT_FALSE(G().AutoScaleX);
    const struct {
        const char *min, *max;
        QString message;
        double mapMin, mapMax;
    } cases[] = {
        {"5", "5", {}, 4.5, 5.5}, // equal ends are widened by a tenth of the value
        {"6", "5", "X beginning > X end !!", 4.5, 5.5},
        {"abc", "5", "'abc' is not a valid floating point value", 4.5, 5.5},
        {"-2", "3", {}, -2, 3},
    };
    for (const auto& c : cases) {
        messages_.texts.clear();
        SetField("NbreEditMinX", c.min);
        SetField("NbreEditMaxX", c.max);
        Click("SpeedButtonApplyX");
        EXPECT_EQ(messages_.texts, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(G().MapXMin, c.mapMin) << c.min;
        EXPECT_EQ(G().MapXMax, c.mapMax) << c.max;
    }
    QTest::mouseClick(Find<QCheckBox>("CheckBoxEchAutoY"), Qt::LeftButton, {}, {5, 8});
    SetField("NbreEditMinY", "9");
    SetField("NbreEditMaxY", "1");
    Click("SpeedButtonApplyY");
    EXPECT_EQ(messages_.texts.back(), "Y beginning > Y end !!");
}

TEST_F(ScalePage, LabelsFrequencyFixesTheTickSteps) {
    QTest::mouseClick(Find<QCheckBox>("CheckBoxUnit"), Qt::LeftButton, {}, {5, 8});
    auto* spinX = Find<QSpinBox>("SpinEditXpuiss");
    auto* spinY = Find<QSpinBox>("SpinEditPuissY");
    EXPECT_TRUE(spinX->isEnabled());
    spinX->setValue(1);
    spinY->setValue(1);
    Click("Button8");
    Feed(11, 110); // painted again by the feeder
    EXPECT_EQ(G().XMajorStep, 10);
    EXPECT_EQ(G().YMajorStep, 10);
    EXPECT_EQ(spinX->value(), 1);
    EXPECT_EQ(spinY->value(), 1);
    QTest::mouseClick(Find<QCheckBox>("CheckBoxUnit"), Qt::LeftButton, {}, {5, 8});
    EXPECT_TRUE(G().AutoLabelExponent);
    EXPECT_EQ(spinX->value(), G().XLabelExponent) << "the spins show what the paint chose";
    EXPECT_EQ(G().XMajorStep, 1);
}

TEST_F(ScalePage, ExtraHeightGoesToThePictureOnly) {
    const auto pictureHeight = [this] { return form_->Picture()->height(); };
    auto* panel = Find<QWidget>("PanelP");
    EXPECT_EQ(pictureHeight(), 372);
    form_->resize(600, 500);
    EXPECT_EQ(Picture().size(), QSize(595, 472));
    EXPECT_EQ(panel->geometry(), QRect(0, 476, 600, 24));
    Click("ButtonSet"); // the pages add their height to the window, not to the picture
    EXPECT_EQ(form_->height(), 604);
    EXPECT_EQ(pictureHeight(), 472);
    EXPECT_EQ(panel->height(), 128);
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
    EXPECT_EQ(messages_.texts, QStringList{"This serie does not exist or is empty..."});
}

} // namespace
