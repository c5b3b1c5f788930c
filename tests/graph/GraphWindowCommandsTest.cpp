// The graph window's commands through its widgets: the mouse on the picture, pictures,
// printing and clipboard with the painter settings put back, data files and curve maths.

#include <array>
#include <cmath>
#include <optional>

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSpinBox>
#include <QTemporaryDir>

#include "common/NumberFormat.h"
#include "graph/AxisScale.h"
#include "graph/GraphDataFile.h"
#include "tests/graph/GraphWindowSupport.h"

using namespace velk;
using velk::test::GraphWindow;
using velk::test::TFullDisk;

namespace {

// A morning of readings: x from 9 h to 10.9 h, y around 10..50. The window's picture has
// too few X labels for that range and widens its view; a large picture does not.
class Commands : public GraphWindow {
protected:
    Commands() {
        for (int k = 0; k <= 114; ++k)
            Feed(9 + k / 60.0, 30 + 20 * std::sin(k / 15.0));
    }
    // Everything the read-out, the zoom rectangle, the pick and the range fields use.
    auto Mapping() {
        const Tgraphex& g = G();
        return std::tuple{g.Map(),          g.Scale,        g.UnitWidth,       g.MarginX,
                          g.MarginY,        g.ViewXMin,     g.ViewYMax,        g.XLabelExponent,
                          g.YLabelExponent, g.AxisFontSize, g.BackgroundColor, g.AxesColor,
                          g.GridColor,      g.TickLengthX,  g.BorderWidth};
    }
    // What each paint off the window's picture drew with.
    struct TSeen {
        double scale;
        int marginX, marginY, axisFont, curveFont;
        TColor background, axes, grid;
    };
    std::vector<TSeen> seen_;
    void WatchPaints() {
        G().OnPainted = [this, previous = G().OnPainted](QPaintDevice* canvas,
                                                         const TScaleMap& map) {
            const Tgraphex& g = G();
            if (canvas != g.Surface())
                seen_.push_back({g.Scale, g.MarginX, g.MarginY, g.AxisFontSize, g.CurveFontSize,
                                 g.BackgroundColor, g.AxesColor, g.GridColor});
            previous(canvas, map);
        };
    }
    QTemporaryDir dir_;
};

TEST_F(Commands, SmallZoomRectangleChangesNothingAndLeavesNoTrace) {
    const QImage before = Picture().copy();
    Press(Qt::LeftButton, 100, 100);
    Move(150, 104, {}, Qt::LeftButton);
    EXPECT_NE(Picture(), before) << "the rectangle shows while dragging";
    Release(Qt::LeftButton, 150, 104);
    EXPECT_EQ(Picture(), before);
    EXPECT_TRUE(G().AutoScaleX);
    // A reading arriving in the middle of a drag wipes the rectangle; the drag goes on cleanly.
    Press(Qt::LeftButton, 100, 100);
    Move(150, 103, {}, Qt::LeftButton);
    Feed(11.1, 30);
    Move(160, 102, {}, Qt::LeftButton);
    Release(Qt::LeftButton, 160, 102);
    const QImage released = Picture().copy();
    G().Paint();
    EXPECT_EQ(Picture(), released);
}

TEST_F(Commands, ZoomRectangleEitherWayGivesTheSameView) {
    const auto zoom = [this](QPoint from, QPoint to) {
        Press(Qt::LeftButton, from.x(), from.y());
        Move(to.x(), to.y(), {}, Qt::LeftButton);
        Release(Qt::LeftButton, to.x(), to.y());
        const std::array view{G().ViewXMin, G().ViewXMax, G().ViewYMin, G().ViewYMax};
        Tick("CheckBoxEchAutoX");
        Tick("CheckBoxEchAutoY");
        return view;
    };
    const auto mapping = Mapping();
    const auto down = zoom({100, 80}, {300, 250});
    EXPECT_EQ(Mapping(), mapping) << "automatic again";
    const double x100 = G().Map().ColumnValue(100 - G().MarginX),
                 y250 = G().Map().RowValue(250 - G().MarginY);
    EXPECT_EQ(down, zoom({300, 250}, {100, 80}));
    EXPECT_EQ(down[0], x100);
    EXPECT_EQ(down[2], y250);
}

TEST_F(Commands, ReadOutAndPicks) {
    // Values to a tenth of the minor step; pixels with Ctrl alone.
    G().YLabelExponent = 1;
    G().AutoLabelExponent = G().AutoScaleY = false;
    G().ViewYMin = 10, G().ViewYMax = 20;
    G().Paint();
    ASSERT_EQ(G().Map().YMinorStep, 1);
    const int col = static_cast<int>(std::ceil(G().Map().XToPixel(9.75)));
    const int row = static_cast<int>(std::ceil(G().Map().YToPixel(12.34)));
    Move(col, row);
    EXPECT_EQ(Find<QLabel>("LabelXYpos")->text(), "X= 09h45m Y= 12.3");
    Move(col, row, Qt::ControlModifier);
    EXPECT_EQ(Find<QLabel>("LabelXYpos")->text(), QStringLiteral("X= %1 Y= %2").arg(col).arg(row));
    Move(col, row, Qt::ControlModifier, Qt::LeftButton);
    EXPECT_EQ(Find<QLabel>("LabelXYpos")->text(), "X= 09h45m Y= 12.3");
    Move(2, 2); // outside the plot: the text stays
    EXPECT_EQ(Find<QLabel>("LabelXYpos")->text(), "X= 09h45m Y= 12.3");

    // Two picks leave one circle, where the second one put it.
    G().AutoScaleY = true;
    G().Paint();
    const auto pixelOf = [this](int k) {
        return QPoint(RoundToInt(G().Map().XToPixel(G().GetX(k))),
                      RoundToInt(G().Map().YToPixel(G().GetY(1, k))));
    };
    Release(Qt::RightButton, pixelOf(30).x(), pixelOf(30).y());
    Release(Qt::MiddleButton, pixelOf(90).x(), pixelOf(90).y());
    const QImage twice = Picture().copy();
    const auto* button = Find<QPushButton>("ReadOutButton");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->geometry(), QRect(pixelOf(90), QSize(150, 25)));
    EXPECT_EQ(button->text(),
              QStringLiteral("X =%1 Y =%2")
                  .arg(FormatGeneral(G().GetX(90), 5), FormatGeneral(G().GetY(1, 90), 5)));
    G().Paint();
    EXPECT_FALSE(button->isVisible());
    Release(Qt::RightButton, pixelOf(90).x(), pixelOf(90).y());
    EXPECT_EQ(Picture(), twice);
}

TEST_F(Commands, PicturesAndPrintsPutTheWindowsSettingsBack) {
    WatchPaints();
    const auto mapping = Mapping();
    choosers_->fileNames = {dir_.filePath("graph"), dir_.filePath("graph.jpg"),
                            dir_.filePath("refused.bmp"), dir_.filePath("refused.bmp")};
    Click("BitBtn2"); // JPEG at the defaults, ".jpg" added
    QFile jpeg(dir_.filePath("graph.jpg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    const QByteArray picture = jpeg.readAll();
    EXPECT_EQ(QImage::fromData(picture).size(), QSize(700, 500));
    ASSERT_EQ(seen_.size(), 1u);
    { // a disk that fills up keeps the picture saved before, also for a small picture
        SetField("PixX", "100");
        SetField("PixY", "80");
        const TFullDisk full(1024);
        Click("BitBtn2");
    }
    SetField("PixY", "500");
    QFile again(jpeg.fileName());
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), picture);
    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages.takeFirst().startsWith("Unable to write the picture file "));
    EXPECT_EQ(seen_[0].scale, 500 / 600.0);
    EXPECT_EQ(std::tuple(seen_[0].marginX, seen_[0].marginY), std::tuple(70, 50));
    EXPECT_EQ(Mapping(), mapping);
    for (const char* size : {"0", "7OO"}) {
        SetField("PixX", size);
        Click("BitBtnSaveBMP");
    }
    EXPECT_EQ(messages_.messages, (QStringList{"Picture size must be positive: 0 x 500",
                                               "'7OO' is not a valid integer value"}));
    EXPECT_FALSE(QFile::exists(dir_.filePath("refused.bmp")));

    // The large clipboard picture scales from a 400-pixel window picture.
    form_->resize(538, 400 + 24 + 4);
    ASSERT_EQ(Picture().height(), 400);
    const auto resized = Mapping();
    Click("Button7");
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(2000, 1500));
    EXPECT_EQ(seen_.back().scale, 3.75);
    EXPECT_EQ(std::tuple(seen_.back().marginX, seen_.back().marginY), std::tuple(200, 150));
    EXPECT_EQ(Mapping(), resized);
    Click("BitBtn1");
    EXPECT_EQ(QGuiApplication::clipboard()->image(),
              Picture().convertToFormat(QImage::Format_RGB32));

    // Paper: white background, black lines, fonts by the printed part of the page; a printer
    // that fails puts everything back just the same.
    G().AxesColor = G().GridColor = 0x00FF00;
    const auto coloured = Mapping();
    for (const auto& [percent, axisFont, curveFont] :
         {std::tuple{75, 8, 7}, std::tuple{50, 8, 7}, std::tuple{20, 3, 2}}) {
        Find<QSpinBox>("SpinEditScalePrint")->setValue(percent);
        choosers_->pdfPath = dir_.filePath(QStringLiteral("page%1.pdf").arg(percent));
        Click("ButtonPrint");
        EXPECT_EQ(std::tuple(seen_.back().axisFont, seen_.back().curveFont),
                  std::tuple(axisFont, curveFont))
            << percent;
        EXPECT_EQ(std::tuple(seen_.back().background, seen_.back().axes, seen_.back().grid),
                  std::tuple(ColorWhite, ColorBlack, ColorBlack));
        QFile pdf(choosers_->pdfPath);
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << percent;
        const QByteArray bytes = pdf.readAll();
        EXPECT_EQ(bytes.count("/Type /Page\n"), 1) << "one page";
        const qsizetype box = bytes.indexOf("/MediaBox [");
        const QList<QByteArray> corners = bytes.mid(box + 11, 40).split(' ');
        EXPECT_GT(corners[2].toDouble(), corners[3].toDouble()) << "landscape";
        EXPECT_EQ(Mapping(), coloured);
    }
    messages_.messages.clear();
    choosers_->pdfPath = dir_.filePath("missing/page.pdf");
    Click("ButtonPrint");
    EXPECT_EQ(messages_.messages.size(), 1);
    EXPECT_EQ(Mapping(), coloured);
}

TEST_F(Commands, DataFilesThroughTheOutputInputPage) {
    const QString name = dir_.filePath("morning");
    choosers_->fileNames = {name, name + ".txt"};
    Click("SaveData");
    QFile file(name + ".txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    EXPECT_EQ(saved, GraphDataText(G()));

    // Failed saves say so and leave the saved file whole: a folder that is not there, and a
    // disk that fills up half-way.
    for (const auto& [path, diskFull] :
         {std::pair{dir_.filePath("missing/morning.txt"), false}, std::pair{name + ".txt", true}}) {
        messages_.messages.clear();
        choosers_->fileNames = {path};
        std::optional<TFullDisk> full;
        if (diskFull) full.emplace(saved.size() / 2);
        Click("SaveData");
        full.reset();
        EXPECT_EQ(messages_.messages.size(), 1) << path.toStdString();
        EXPECT_TRUE(messages_.messages.value(0).startsWith("Unable to write the file " + path));
    }
    QFile after(name + ".txt");
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), saved);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"morning.txt"});
    messages_.messages.clear();
    choosers_->fileNames = {name + ".txt"};
    Click("ButtonLoadData");
    EXPECT_EQ(choosers_->questions.size(), 1);
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('|').toStdString();
    EXPECT_TRUE(G().IsSeriesPresent(2));
    EXPECT_EQ(Find<QListWidget>("ListBoxLogLoad")->item(0)->text(),
              "Allocate file : collumn # 1 to the free collumn number #2");

    // A file one line short: its message and the failure, once each, and no series left.
    QFile shorter(dir_.filePath("short.txt"));
    ASSERT_TRUE(shorter.open(QIODevice::WriteOnly));
    const qsizetype lastPoint = saved.lastIndexOf("\r\n", saved.indexOf("\r\n#") - 1);
    shorter.write(saved.left(lastPoint) + "\r\n#Evening\r\n");
    shorter.close();
    choosers_->fileNames = {shorter.fileName()};
    Click("ButtonLoadData");
    EXPECT_EQ(messages_.messages,
              (QStringList{"Amount of points does not match to the current one !",
                           "An error occured whilst loading the text file"}));
    EXPECT_FALSE(G().IsSeriesPresent(3));
    EXPECT_EQ(form_->windowTitle(), "Evening") << "texts read before the failure stay";
}

TEST_F(Commands, MathsPageBuildsAndRunsLines) {
    auto* target = Find<QComboBox>("ComboBoxOPleft");
    auto* operation = Find<QComboBox>("ComboBoxOP");
    auto* operand = Find<QComboBox>("ComboBoxToOp");
    const auto items = [](QComboBox* box) {
        box->showPopup();
        box->hidePopup();
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    EXPECT_FALSE(items(operation).contains("5. Fonction")) << "no function of the X axis";
    EXPECT_EQ(items(operand), QStringList{"0. Constante"});
    SetField("NbreEditCstMath", "24");
    Click("AjouterOP");
    EXPECT_EQ(items(target), (QStringList{"0. Axe X", "1. Y Courbe #1"}));
    target->setEditText("1. Y Courbe #1");
    operation->setEditText("5. Fonction");
    EXPECT_TRUE(Find<QComboBox>("ComboBoxFunc")->isEnabled());
    EXPECT_FALSE(operand->isEnabled());
    Find<QComboBox>("ComboBoxFunc")->setCurrentText("Sin");
    Click("AjouterOP");
    auto* list = Find<QListWidget>("ListBoxOP");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "AxeX = AxeX * 24");
    EXPECT_EQ(list->item(1)->text(), "CurveY[1]= Sin(CurveY[1])");
    const double x = G().GetX(2), y = G().GetY(1, 2);
    Click("ButtonApplyMaths");
    Click("ButtonApplyMaths");
    EXPECT_DOUBLE_EQ(G().GetX(2), x * 24 * 24);
    EXPECT_DOUBLE_EQ(G().GetY(1, 2), std::sin(std::sin(y)));
    EXPECT_EQ(G().Map().MapXMax, G().GetX(G().PointCount())) << "painted";
    Click("Button9");
    EXPECT_EQ(list->count(), 0);

    // Refilling the target list while it opens is no choice of the operator: the operand
    // chosen before stays.
    for (int k = 1; k <= G().PointCount(); ++k)
        G().SetY(4, k, k), G().SetY(7, k, 3 * k);
    target->setEditText("1. Y Courbe #1");
    operation->setEditText("4. Soustraire par");
    items(operand);
    operand->setCurrentIndex(operand->findText("4. Y Courbe #4"));
    items(target);
    target->setCurrentIndex(target->findText("7. Y Courbe #7"));
    EXPECT_EQ(operand->currentText(), "4. Y Courbe #4");
    Click("AjouterOP");
    EXPECT_EQ(list->item(0)->text(), "CurveY[7] = CurveY[7] - CurveY[4] ");

    // A line that stops the list: the lines before it stay carried out and are shown.
    target->setEditText("1. Y Courbe #1");
    operation->setEditText("5. Fonction");
    Find<QComboBox>("ComboBoxFunc")->setCurrentText("Ln");
    Click("AjouterOP");
    Click("ButtonApplyMaths");
    EXPECT_EQ(G().GetY(7, 5), 10);
    EXPECT_EQ(messages_.messages.size(), 1) << "sin values below 0 have no logarithm";
    EXPECT_GE(G().Map().MapYMax, G().GetY(7, G().PointCount())) << "painted";
}

} // namespace
