// The graph window driven through its real widgets: feeding, the scale and axis pages,
// resizing, pages shown and hidden, and pictures of every page for a person to look at.

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

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

} // namespace
