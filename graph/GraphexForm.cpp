#include "graph/GraphexForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include "common/NumberFormat.h"
#include "dialogs/DialogFont.h"
#include "dialogs/Editnbre.h"
#include "dialogs/MessageReport.h"
#include "graph/CurveMaths.h"
#include "graph/DropDownComboBox.h"
#include "graph/GraphPicture.h"
#include "graph/GraphexChoosers.h"

namespace velk {

namespace {

constexpr int PageControlWidth = 527;
constexpr int PageControlHeight = 127;
constexpr int ButtonSetHeight = 23;
constexpr int PictureMinHeight = 200;

template <class W> W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* label = Make<QLabel>(parent, name, x, y, w, 17);
    label->setText(text);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                        int h = 23) {
    auto* button = Make<QPushButton>(parent, name, x, y, w, h);
    button->setText(text);
    return button;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                     bool checked) {
    auto* box = Make<QCheckBox>(parent, name, x, y, w, 19);
    box->setText(text);
    box->setChecked(checked);
    return box;
}

QSpinBox* MakeSpin(QWidget* parent, const char* name, int x, int y, int w, int min, int max,
                   int value) {
    auto* spin = Make<QSpinBox>(parent, name, x, y, w, 21);
    spin->setRange(min, max);
    spin->setValue(value);
    return spin;
}

NbreEdit* MakeNumber(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* edit = Make<NbreEdit>(parent, name, x, y, w, 21);
    edit->SetTypeData(0);
    edit->SetText(text);
    return edit;
}

// Tabs with less padding, so that the seven captions fit the pages' width.
class TNarrowTabs : public QProxyStyle {
public:
    explicit TNarrowTabs(QObject* owner) { setParent(owner); }
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

// The graph's notifier: shows a picked point's values on a button placed at the point.
class TGraphexForm::TReadOut : public TNotifySelecGraphForm {
public:
    explicit TReadOut(TGraphexForm* form) : form_(form) {}
    ~TReadOut() override { delete button_.data(); }

    void PointSelected(Tgraphex&, int pixelX, int pixelY, double xValue, double yValue, int,
                       int) override {
        if (button_.isNull()) {
            button_ = new QPushButton(form_);
            button_->setObjectName(QStringLiteral("ReadOutButton"));
            button_->hide();
        }
        // The picture sits at (2, 2) of the window, so the corner falls just above-left.
        button_->setGeometry(pixelX, pixelY, 150, 25);
        button_->setText(QStringLiteral("X =") + FormatGeneral(xValue, 5) + QStringLiteral(" Y =") +
                         FormatGeneral(yValue, 5));
        button_->raise();
        button_->show();
    }
    void HideReadOutButton() override {
        if (!button_.isNull()) button_->hide();
    }

private:
    TGraphexForm* form_;
    QPointer<QPushButton> button_;
};

TGraphexForm::TGraphexForm(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint),
      graph_(std::make_unique<Tgraphex>()), choosers_(std::make_unique<TGraphexChoosers>()) {
    setObjectName(QStringLiteral("GraphexForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(DialogFont());
    setGeometry(370, 226, 538, 504);

    PanelI = Make<QFrame>(this, "PanelI", 0, 0, 538, 504 - 128);
    PanelI->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    PanelP = Make<QWidget>(this, "PanelP", 0, 504 - 128, 538, 128);
    // One pixel higher than the panel's own 2-pixel gap, so that neither is cut at the bottom.
    PageControl =
        Make<QTabWidget>(PanelP, "PageControl", 0, 1, PageControlWidth, PageControlHeight);
    PageControl->tabBar()->setStyle(new TNarrowTabs(PageControl));
    ButtonSet = MakeButton(PanelP, "ButtonSet", QStringLiteral("Setup"), 0, 1, 75);

    const auto page = [this](const char* name, const QString& caption) {
        auto* widget = new QWidget;
        widget->setObjectName(QLatin1String(name));
        PageControl->addTab(widget, caption);
        return widget;
    };
    BuildScalePage(page("Taxes", QStringLiteral("Scale, Axis X,Y")));
    BuildGeneralPage(page("Tgeneral", QStringLiteral("General")));
    BuildAxisPage(page("TabSheet2", QStringLiteral("Graphic Axis")));
    BuildFilesPage(page("TabSheet3", QStringLiteral("Output-input")));
    BuildCurvesPage(page("TabSheet1", QStringLiteral("Curves")));
    BuildGraphicPage(page("TabSheetGra", QStringLiteral("Graphic")));
    BuildMathsPage(page("TabSheet4", QStringLiteral("Maths")));

    // The drawing surface, hidden until the first UpdateGraph.
    picture_ = new TGraphPicture(PanelI);
    picture_->setObjectName(QStringLiteral("Picture"));
    picture_->move(2, 2);
    picture_->Rebuild(QSize(PanelI->width() - 5, PanelI->height() - 4));
    picture_->hide();
    graph_->SetSurface(&picture_->Image());
    graph_->OnPainted = [this](QPaintDevice* canvas, const TScaleMap&) {
        if (canvas != graph_->Surface()) return;
        // A paint in the middle of a drag (a new reading) wiped the zoom rectangle: it is
        // drawn again, so that the next move removes what is really there.
        if (dragging_) picture_->InvertRectangle(anchor_, corner_);
        picture_->update();
    };

    // Pages hidden: the window is shorter by the pages less the Setup button.
    PageControl->hide();
    panelPHeight_ = 128 - PageControlHeight + ButtonSetHeight;
    setMinimumSize(PageControlWidth / 2, panelPHeight_ + PictureMinHeight);
    resize(538, 504 - PageControlHeight + ButtonSetHeight);
    LayOutPanels();

    graph_->SetNotifier(std::make_unique<TReadOut>(this));
    Connect();
    labelsFrequencyReacts_ = true;
}

TGraphexForm::~TGraphexForm() {
    // The graph goes first: its notifier frees the read-out button, a child of this window.
    graph_.reset();
}

void TGraphexForm::BuildScalePage(QWidget* p) {
    CheckBoxEchAutoX =
        MakeCheck(p, "CheckBoxEchAutoX", QStringLiteral("Automatic X scale"), 4, 5, 128, true);
    auto* xMinLabel = MakeLabel(p, "Label1", QStringLiteral("Xmin"), 136, 7, 30);
    NbreEditMinX = MakeNumber(p, "NbreEditMinX", QStringLiteral("0"), 168, 4, 72);
    auto* xMaxLabel = MakeLabel(p, "Label3", QStringLiteral("Xmax"), 246, 7, 32);
    NbreEditMaxX = MakeNumber(p, "NbreEditMaxX", QStringLiteral("0"), 280, 4, 72);
    auto* applyX = MakeButton(p, "SpeedButtonApplyX", QStringLiteral("\u2714"), 358, 3, 23);
    auto* panLeft = MakeButton(p, "BitBtnMX", QStringLiteral("\u25C0"), 386, 3, 23);
    auto* panRight = MakeButton(p, "BitBtnPX", QStringLiteral("\u25B6"), 410, 3, 23);

    CheckBoxEchAutoY =
        MakeCheck(p, "CheckBoxEchAutoY", QStringLiteral("Automatic Y scale"), 4, 31, 128, true);
    auto* yMinLabel = MakeLabel(p, "Label4", QStringLiteral("Ymin"), 136, 33, 30);
    NbreEditMinY = MakeNumber(p, "NbreEditMinY", QStringLiteral("0"), 168, 30, 72);
    auto* yMaxLabel = MakeLabel(p, "Label5", QStringLiteral("Ymax"), 246, 33, 32);
    NbreEditMaxY = MakeNumber(p, "NbreEditMaxY", QStringLiteral("0"), 280, 30, 72);
    auto* applyY = MakeButton(p, "SpeedButtonApplyY", QStringLiteral("\u2714"), 358, 29, 23);
    auto* panDown = MakeButton(p, "BitBtnPY", QStringLiteral("\u25BC"), 386, 29, 23);
    auto* panUp = MakeButton(p, "BitBtnMY", QStringLiteral("\u25B2"), 410, 29, 23);

    auto* zoomIn = MakeButton(p, "SpeedButtonZp", QStringLiteral("+"), 450, 3, 23);
    auto* zoomOut = MakeButton(p, "SpeedButtonZM", QStringLiteral("\u2212"), 450, 29, 23);
    applyX->setToolTip(QStringLiteral("Apply the X range"));
    applyY->setToolTip(QStringLiteral("Apply the Y range"));
    zoomIn->setToolTip(QStringLiteral("Zoom in"));
    zoomOut->setToolTip(QStringLiteral("Zoom out"));

    MakeLabel(p, "LabelEch", QStringLiteral("Echantillons :"), 4, 64, 76);
    LabelNBEch = MakeLabel(p, "LabelNBEch", QStringLiteral("-"), 82, 64, 50);
    LabelXYpos = MakeLabel(p, "LabelXYpos", QString(), 140, 64, 376);
    // Usable only while the scale of their axis is not automatic.
    manualX_ = {NbreEditMinX, NbreEditMaxX, applyX, panLeft, panRight, xMinLabel, xMaxLabel};
    manualY_ = {NbreEditMinY, NbreEditMaxY, applyY, panDown, panUp, yMinLabel, yMaxLabel};
    for (QWidget* w : manualX_)
        w->setEnabled(false);
    for (QWidget* w : manualY_)
        w->setEnabled(false);
}

void TGraphexForm::BuildGeneralPage(QWidget* p) {
    MakeLabel(p, "Label6", QStringLiteral("X Axis caption :"), 4, 7, 92);
    EditTitreAxeX = Make<QLineEdit>(p, "EditTitreAxeX", 98, 4, 190, 21);
    MakeLabel(p, "Label7", QStringLiteral("Y Axis caption :"), 4, 32, 92);
    EditTitreAxeY = Make<QLineEdit>(p, "EditTitreAxeY", 98, 29, 190, 21);
    MakeLabel(p, "Label8", QStringLiteral("Graph title :"), 4, 57, 92);
    EditGraphe = Make<QLineEdit>(p, "EditGraphe", 98, 54, 190, 21);
    MakeButton(p, "Button1", QStringLiteral("Apply"), 296, 53, 60);
    MakeButton(p, "ButtonBkcolor", QStringLiteral("Background color"), 370, 3, 146);
    CheckBoxTraverseX = MakeCheck(p, "CheckBoxTraverseX", QStringLiteral("X Axis crossing graph"),
                                  370, 29, 146, true);
    CheckBoxTraverseY = MakeCheck(p, "CheckBoxTraverseY", QStringLiteral("Y Axis crossing graph"),
                                  370, 49, 146, true);
    MakeButton(p, "ButtonHidePanel", QStringLiteral("Hide this panel"), 370, 72, 146);
}

void TGraphexForm::BuildAxisPage(QWidget* p) {
    CheckBoxUnit =
        MakeCheck(p, "CheckBoxUnit", QStringLiteral("Labels Frequency"), 4, 5, 130, false);
    MakeLabel(p, "Label2", QStringLiteral("Label amount (X) :"), 4, 32, 108);
    SpinEditXpuiss = MakeSpin(p, "SpinEditXpuiss", 114, 29, 50, -50, 50, 0);
    MakeLabel(p, "Label9", QStringLiteral("Label amount (Y) :"), 4, 57, 108);
    SpinEditPuissY = MakeSpin(p, "SpinEditPuissY", 114, 54, 50, -50, 50, 0);
    MakeButton(p, "Button8", QStringLiteral("Apply"), 172, 53, 60);
    MakeButton(p, "ColorAxes", QStringLiteral("Border color"), 250, 3, 120);
    MakeButton(p, "Button2", QStringLiteral("Axes color"), 250, 29, 120);
    MakeButton(p, "Button3", QStringLiteral("Scale colors"), 250, 55, 120);
    MakeButton(p, "Button4", QStringLiteral("Axis color"), 380, 3, 120);
    CheckBoxOrgn =
        MakeCheck(p, "CheckBoxOrgn", QStringLiteral("Display X=0/Y=0"), 380, 31, 136, true);
    MakeButton(p, "Button6", QStringLiteral("Police"), 380, 55, 120);
    SpinEditXpuiss->setEnabled(false);
    SpinEditPuissY->setEnabled(false);
}

void TGraphexForm::BuildFilesPage(QWidget* p) {
    MakeButton(p, "SaveData", QStringLiteral("Save data"), 4, 3, 90);
    MakeButton(p, "ButtonLoadData", QStringLiteral("Load data"), 4, 29, 90);
    ListBoxLogLoad = Make<QListWidget>(p, "ListBoxLogLoad", 100, 3, 416, 92);
}

void TGraphexForm::BuildCurvesPage(QWidget* p) {
    MakeLabel(p, "Label10", QStringLiteral("Curve #"), 4, 7, 46);
    SpinC = MakeSpin(p, "SpinC", 52, 4, 44, 1, 16, 1);
    EditTitreSerie = Make<QLineEdit>(p, "EditTitreSerie", 100, 4, 120, 21);
    EditTitreSerie->setMaxLength(20);
    CheckBoxPlink = MakeCheck(p, "CheckBoxPlink", QStringLiteral("Tied points"), 4, 29, 92, false);
    CheckBoxAffLabelSerie = MakeCheck(p, "CheckBoxAffLabelSerie", QStringLiteral("Display caption"),
                                      100, 29, 120, false);
    CheckBoxLC =
        MakeCheck(p, "CheckBoxLC", QStringLiteral("Caption over curves"), 4, 49, 216, false);
    MakeButton(p, "Button5", QStringLiteral("Curve color"), 4, 72, 92);
    MakeButton(p, "BitBtnEffacer", QStringLiteral("Delete this curve"), 100, 72, 120);

    auto* pointGroup = Make<QGroupBox>(p, "RadioGroupPoint", 226, 0, 178, 97);
    pointGroup->setTitle(QStringLiteral("Points type"));
    pointTypeButtons_ = new QButtonGroup(pointGroup);
    const QString items[] = {QStringLiteral("None "),   QStringLiteral("Cross"),
                             QStringLiteral("Round"),   QStringLiteral("Squres"),
                             QStringLiteral("Pixels"),  QStringLiteral("Triangles"),
                             QStringLiteral("Losange"), QStringLiteral("Shaped Cross")};
    for (int i = 0; i < 8; ++i) { // two columns, filled column by column
        auto* radio = Make<QRadioButton>(pointGroup, "", 6 + (i / 4) * 68, 18 + (i % 4) * 19,
                                         i / 4 ? 102 : 66, 19);
        radio->setObjectName(QStringLiteral("RadioPoint%1").arg(i));
        radio->setText(items[i]);
        pointTypeButtons_->addButton(radio, i);
    }

    MakeLabel(p, "Label12", QStringLiteral("Line thick. :"), 408, 7, 64);
    SpinEditWp = MakeSpin(p, "SpinEditWp", 474, 4, 44, 1, 5, 1);
    MakeLabel(p, "Label11", QStringLiteral("Point size :"), 408, 32, 64);
    SpinEditTailleP = MakeSpin(p, "SpinEditTailleP", 474, 29, 44, 1, 100, 3);
    MakeLabel(p, "Label13", QStringLiteral("Calls"), 408, 57, 60)->hide();
}

void TGraphexForm::BuildGraphicPage(QWidget* p) {
    MakeButton(p, "BitBtn1", QStringLiteral("Copy to clipboard."), 4, 3, 160);
    MakeButton(p, "Button7", QStringLiteral("Hires. copy to clipboard"), 4, 29, 160);
    MakeButton(p, "ButtonPrint", QStringLiteral("Print"), 4, 55, 70);
    MakeLabel(p, "Label14", QStringLiteral("Scale (%) :"), 80, 58, 62);
    SpinEditScalePrint = MakeSpin(p, "SpinEditScalePrint", 142, 55, 52, 2, 100, 75);
    MakeButton(p, "BitBtnSaveBMP", QStringLiteral("Save as BMP"), 214, 3, 100);
    MakeButton(p, "BitBtn2", QStringLiteral("Save as JPG"), 214, 29, 100);
    PixX = MakeNumber(p, "PixX", QStringLiteral("700"), 326, 4, 52);
    MakeLabel(p, "LabelPixX", QStringLiteral("x"), 382, 7, 10);
    PixY = MakeNumber(p, "PixY", QStringLiteral("500"), 394, 4, 52);
    MakeLabel(p, "LabelPixY", QStringLiteral("Pixels"), 450, 7, 40);
}

void TGraphexForm::BuildMathsPage(QWidget* p) {
    // The French captions are wider in this font than in the original one: the drop-down
    // lists are wider, and the function list and the operation lines share a second row.
    ComboBoxOPleft = Make<TDropDownComboBox>(p, "ComboBoxOPleft", 2, 2, 124, 21);
    ComboBoxOPleft->setEditable(true);
    ComboBoxOPleft->setEditText(AxisEntry());
    ComboBoxOP = Make<TDropDownComboBox>(p, "ComboBoxOP", 130, 2, 124, 21);
    ComboBoxOP->setEditable(true);
    ComboBoxOP->addItems(OperationEntries());
    ComboBoxOP->setEditText(OperationEntries().front());
    ComboBoxToOp = Make<TDropDownComboBox>(p, "ComboBoxToOp", 258, 2, 124, 21);
    ComboBoxToOp->setEditable(true);
    ComboBoxToOp->addItem(ConstantEntry());
    ComboBoxToOp->setEditText(ConstantEntry());
    NbreEditCstMath = MakeNumber(p, "NbreEditCstMath", QStringLiteral("1.0"), 386, 2, 54);
    ComboBoxFunc = Make<TDropDownComboBox>(p, "ComboBoxFunc", 2, 28, 70, 21);
    ComboBoxFunc->addItems({QStringLiteral("Cos"), QStringLiteral("Sin"), QStringLiteral("Tan"),
                            QStringLiteral("Ln"), QStringLiteral("Log10"), QStringLiteral("Exp"),
                            QStringLiteral("Inv")});
    ComboBoxFunc->setEnabled(false);
    ListBoxOP = Make<QListWidget>(p, "ListBoxOP", 76, 28, 364, 68);
    MakeButton(p, "Button9", QStringLiteral("Effacer Op."), 444, 2, 75, 20);
    MakeButton(p, "AjouterOP", QStringLiteral("AjouterOP"), 444, 24, 75, 20);
    MakeButton(p, "ButtonApplyMaths", QStringLiteral("Calculer"), 444, 46, 75, 45);
}

void TGraphexForm::Command(const std::function<void()>& action) {
    RunCommand(this, action);
}

void TGraphexForm::PaintIfEnabled() {
    if (graph_->PaintEnabled) graph_->Paint();
}

int TGraphexForm::CurrentSeries() const {
    return SpinC->value();
}

void TGraphexForm::SetChoosers(std::unique_ptr<TGraphexChoosers> choosers) {
    choosers_ = std::move(choosers);
}

void TGraphexForm::Connect() {
    const auto click = [this](const char* name, auto handler) {
        auto* button = findChild<QPushButton*>(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, [this, handler] { Command(handler); });
    };
    const auto toggled = [this](QCheckBox* box, auto handler) {
        connect(box, &QCheckBox::toggled, this, [this, handler] { Command(handler); });
    };
    Tgraphex& g = *graph_;

    // Scale page.
    toggled(CheckBoxEchAutoX, [this] { CheckBoxEchAutoXClick(); });
    toggled(CheckBoxEchAutoY, [this] { CheckBoxEchAutoYClick(); });
    click("SpeedButtonApplyX", [this, &g] {
        ApplyRange(NbreEditMinX, NbreEditMaxX, g.ViewXMin, g.ViewXMax,
                   QStringLiteral("X beginning > X end !!"));
    });
    click("SpeedButtonApplyY", [this, &g] {
        ApplyRange(NbreEditMinY, NbreEditMaxY, g.ViewYMin, g.ViewYMax,
                   QStringLiteral("Y beginning > Y end !!"));
    });
    click("BitBtnMX", [this, &g] { PanClick(g.ViewXMin, g.ViewXMax, -1); });
    click("BitBtnPX", [this, &g] { PanClick(g.ViewXMin, g.ViewXMax, +1); });
    click("BitBtnPY", [this, &g] { PanClick(g.ViewYMin, g.ViewYMax, -1); });
    click("BitBtnMY", [this, &g] { PanClick(g.ViewYMin, g.ViewYMax, +1); });
    click("SpeedButtonZp", [this] { ZoomClick(true); });
    click("SpeedButtonZM", [this] { ZoomClick(false); });

    // General page.
    click("Button1", [this] { ApplyCaptionsClick(); });
    click("ButtonBkcolor", [this, &g] { ChooseColour(g.BackgroundColor); });
    toggled(CheckBoxTraverseX, [this, &g] {
        g.GridX = CheckBoxTraverseX->isChecked();
        g.Paint();
    });
    toggled(CheckBoxTraverseY, [this, &g] {
        g.GridY = CheckBoxTraverseY->isChecked();
        g.Paint();
    });
    click("ButtonHidePanel", [this] { ButtonHidePanelClick(); });
    click("ButtonSet", [this] { ButtonSetClick(); });

    // Axis page.
    toggled(CheckBoxUnit, [this] { CheckBoxUnitClick(); });
    click("Button8", [this] { ApplyLabelAmountsClick(); });
    click("ColorAxes", [this, &g] { ChooseColour(g.BorderColor); });
    click("Button2", [this, &g] { ChooseColour(g.AxesColor); });
    click("Button3", [this, &g] { ChooseColour(g.GridColor); });
    click("Button4", [this, &g] { ChooseColour(g.OriginColor); });
    toggled(CheckBoxOrgn, [this, &g] {
        g.ShowOriginX = g.ShowOriginY = CheckBoxOrgn->isChecked();
        g.Paint();
    });
    click("Button6", [this] { ChooseFontClick(); });

    // Curves page.
    connect(SpinC, &QSpinBox::valueChanged, this, [this] { Command([this] { SpinCChange(); }); });
    connect(EditTitreSerie, &QLineEdit::textChanged, this, [this, &g](const QString& text) {
        Command([&] {
            g.SeriesTitle[CurrentSeries()] = text;
            PaintIfEnabled();
        });
    });
    toggled(CheckBoxPlink, [this, &g] {
        g.TiedPoints[CurrentSeries()] = CheckBoxPlink->isChecked();
        PaintIfEnabled();
    });
    toggled(CheckBoxLC, [this, &g] {
        g.CaptionOverCurve[CurrentSeries()] = CheckBoxLC->isChecked();
        PaintIfEnabled();
    });
    toggled(CheckBoxAffLabelSerie, [this, &g] {
        g.ShowInLegend[CurrentSeries()] = CheckBoxAffLabelSerie->isChecked();
        PaintIfEnabled();
    });
    connect(pointTypeButtons_, &QButtonGroup::idToggled, this, [this, &g](int id, bool checked) {
        if (!checked) return;
        Command([&] {
            g.PointType[CurrentSeries()] = static_cast<std::uint8_t>(id);
            PaintIfEnabled();
        });
    });
    connect(SpinEditTailleP, &QSpinBox::valueChanged, this, [this, &g](int value) {
        Command([&] {
            g.PointSize[CurrentSeries()] = static_cast<std::uint8_t>(value);
            g.Paint();
        });
    });
    connect(SpinEditWp, &QSpinBox::valueChanged, this, [this, &g](int value) {
        Command([&] {
            g.LineWidth[CurrentSeries()] = static_cast<std::uint8_t>(value);
            g.Paint();
        });
    });
    click("Button5", [this, &g] { ChooseColour(g.SeriesColor[CurrentSeries()]); });
    click("BitBtnEffacer", [this] { DeleteCurveClick(); });

    // Files, pictures, maths.
    click("SaveData", [this] { SaveDataClick(); });
    click("ButtonLoadData", [this] { ButtonLoadDataClick(); });
    click("BitBtnSaveBMP", [this] { SaveImageClick(1); });
    click("BitBtn2", [this] { SaveImageClick(2); });
    click("BitBtn1", [this] { CopyPictureClick(); });
    click("Button7", [this] { Button7Click(); });
    click("ButtonPrint", [this] { ButtonPrintClick(); });
    click("Button9", [this] { ListBoxOP->clear(); });
    click("AjouterOP", [this] { AjouterOPClick(); });
    click("ButtonApplyMaths", [this] { ButtonApplyMathsClick(); });
    ComboBoxOPleft->OnDropDown = [this] { Command([this] { ComboBoxOPleftDropDown(); }); };
    ComboBoxOP->OnDropDown = [this] { Command([this] { ComboBoxOPDropDown(); }); };
    ComboBoxToOp->OnDropDown = [this] { Command([this] { ComboBoxToOpDropDown(); }); };
    connect(ComboBoxOPleft, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text == AxisEntry()) ComboBoxToOp->setEditText(ConstantEntry());
    });
    connect(ComboBoxOP, &QComboBox::editTextChanged, this, [this] { ComboBoxOPChange(); });
    connect(ComboBoxToOp, &QComboBox::editTextChanged, this, [this](const QString& text) {
        NbreEditCstMath->setEnabled(text.startsWith(QLatin1Char('0')));
    });
    const auto emptyBecomes = [](QComboBox* box, const QString& text) {
        return [box, text] {
            if (box->currentText().isEmpty()) box->setEditText(text);
        };
    };
    ComboBoxOPleft->OnExit = emptyBecomes(ComboBoxOPleft, AxisEntry());
    ComboBoxOP->OnExit = emptyBecomes(ComboBoxOP, OperationEntries().front());
    ComboBoxToOp->OnExit = emptyBecomes(ComboBoxToOp, ConstantEntry());

    // Picture.
    picture_->OnMouseMove = [this](Qt::MouseButton, Qt::MouseButtons buttons,
                                   Qt::KeyboardModifiers keys, int x, int y) {
        Command([&] { ImageMouseMove(buttons, keys, x, y); });
    };
    picture_->OnMouseDown = [this](Qt::MouseButton button, Qt::MouseButtons, Qt::KeyboardModifiers,
                                   int x,
                                   int y) { Command([&] { ImageMouseDown(button, x, y); }); };
    picture_->OnMouseUp = [this](Qt::MouseButton button, Qt::MouseButtons, Qt::KeyboardModifiers,
                                 int x, int y) { Command([&] { ImageMouseUp(button, x, y); }); };
}

// ---- Feeding ----

void TGraphexForm::UpdateGraph() {
    Tgraphex& g = *graph_;
    setWindowTitle(g.Title);
    LabelNBEch->setText(QString::number(g.PointCount()));
    picture_->show();
    g.Paint();
    UpdateControls();
    g.PaintEnabled = true;
}

void TGraphexForm::UpdateRangeFields() {
    Tgraphex& g = *graph_;
    NbreEditMinX->SetText(FormatGeneral(g.ViewXMin, 5));
    NbreEditMaxX->SetText(FormatGeneral(g.ViewXMax, 5));
    NbreEditMinY->SetText(FormatGeneral(g.ViewYMin, 5));
    NbreEditMaxY->SetText(FormatGeneral(g.ViewYMax, 5));
    labelsFrequencyReacts_ = false;
    CheckBoxUnit->setChecked(!g.AutoLabelExponent);
    labelsFrequencyReacts_ = true;
    g.PaintEnabled = false;
    SpinEditXpuiss->setValue(g.XLabelExponent);
    SpinEditPuissY->setValue(g.YLabelExponent);
    g.PaintEnabled = true;
}

void TGraphexForm::UpdateControls() {
    Tgraphex& g = *graph_;
    UpdateRangeFields();
    EditTitreAxeX->setText(g.XCaption);
    EditTitreAxeY->setText(g.YCaption);
    EditGraphe->setText(g.Title);
    const int s = CurrentSeries();
    // Each control that shows a new value writes it back through its own handler.
    CheckBoxPlink->setChecked(g.TiedPoints[s]);
    SetPointTypeIndex(g.PointType[s]);
    CheckBoxLC->setChecked(g.CaptionOverCurve[s]);
    SpinEditTailleP->setValue(g.PointSize[s]);
    SpinEditWp->setValue(g.LineWidth[s]);
    EditTitreSerie->setText(g.SeriesTitle[s]);
    CheckBoxAffLabelSerie->setChecked(g.ShowInLegend[s]);
    SpinEditXpuiss->setEnabled(CheckBoxUnit->isChecked());
    SpinEditPuissY->setEnabled(CheckBoxUnit->isChecked());
}

void TGraphexForm::SetPointTypeIndex(int index) {
    if (QAbstractButton* button = pointTypeButtons_->button(index)) {
        button->setChecked(true);
        return;
    }
    // No item for this value: none is shown selected.
    if (QAbstractButton* checked = pointTypeButtons_->checkedButton()) {
        pointTypeButtons_->setExclusive(false);
        checked->setChecked(false);
        pointTypeButtons_->setExclusive(true);
    }
}

// ---- Scale page ----

void TGraphexForm::SyncAutoScale(const QCheckBox* box, const std::vector<QWidget*>& manual,
                                 bool& autoScale) {
    for (QWidget* w : manual)
        w->setEnabled(!box->isChecked());
    autoScale = box->isChecked();
}

void TGraphexForm::SyncAutoScaleX() {
    SyncAutoScale(CheckBoxEchAutoX, manualX_, graph_->AutoScaleX);
}

void TGraphexForm::SyncAutoScaleY() {
    SyncAutoScale(CheckBoxEchAutoY, manualY_, graph_->AutoScaleY);
}

void TGraphexForm::UntickAutomaticScales() {
    // Each box's toggled handler makes its axis manual (a box already clear does nothing).
    CheckBoxEchAutoY->setChecked(false);
    CheckBoxEchAutoX->setChecked(false);
}

void TGraphexForm::CheckBoxEchAutoXClick() {
    SyncAutoScaleX();
    PaintIfEnabled();
}

void TGraphexForm::CheckBoxEchAutoYClick() {
    SyncAutoScaleY();
    PaintIfEnabled();
}

namespace {

double FieldNumber(const NbreEdit* edit) {
    const auto value = ParseReal(edit->Text());
    if (!value) throw Exception(NotARealText(edit->Text()));
    return *value;
}

} // namespace

void TGraphexForm::ApplyRange(const NbreEdit* minEdit, const NbreEdit* maxEdit, double& viewMin,
                              double& viewMax, const QString& refusal) {
    const double min = FieldNumber(minEdit);
    const double max = FieldNumber(maxEdit);
    if (min > max) {
        ReportMessage(this, refusal, TMessageKind::Information);
        return;
    }
    viewMin = min;
    viewMax = max;
    graph_->Paint();
}

void TGraphexForm::PanClick(double& viewMin, double& viewMax, int direction) {
    const double d = (viewMax - viewMin) / 5;
    viewMin += direction * d;
    viewMax += direction * d;
    graph_->Paint();
    UpdateRangeFields();
}

void TGraphexForm::ZoomClick(bool zoomIn) {
    Tgraphex& g = *graph_;
    g.PaintEnabled = false;
    UntickAutomaticScales();
    g.PaintEnabled = true;
    const double sign = zoomIn ? 1 : -1;
    const double dx = (g.ViewXMax - g.ViewXMin) / 5;
    g.ViewXMin += sign * dx;
    g.ViewXMax -= sign * dx;
    const double dy = (g.ViewYMax - g.ViewYMin) / 5;
    g.ViewYMin += sign * dy;
    g.ViewYMax -= sign * dy;
    g.Paint();
    UpdateRangeFields();
}

// ---- General and axis pages ----

void TGraphexForm::ApplyCaptionsClick() {
    Tgraphex& g = *graph_;
    g.XCaption = EditTitreAxeX->text();
    g.YCaption = EditTitreAxeY->text();
    g.Title = EditGraphe->text();
    setWindowTitle(EditGraphe->text());
    PaintIfEnabled();
}

void TGraphexForm::ChooseColour(TColor& target) {
    if (const auto colour = choosers_->Color(this, ToQColor(target))) {
        target = FromQColor(*colour);
        graph_->Paint();
    }
}

void TGraphexForm::ChooseFontClick() {
    const auto font = choosers_->Font(this);
    if (!font) return;
    Tgraphex& g = *graph_;
    g.FontName = font->family;
    g.AxisFontSize = font->pointSize;
    g.FontColor = FromQColor(font->color);
    g.FontStyle = font->style;
    g.Paint();
}

void TGraphexForm::CheckBoxUnitClick() {
    if (!labelsFrequencyReacts_) return;
    Tgraphex& g = *graph_;
    const bool ticked = CheckBoxUnit->isChecked();
    SpinEditXpuiss->setEnabled(ticked);
    SpinEditPuissY->setEnabled(ticked);
    g.AutoLabelExponent = !ticked;
    if (ticked) {
        g.XLabelExponent = SpinEditXpuiss->value();
        g.YLabelExponent = SpinEditPuissY->value();
        PaintIfEnabled();
    } else if (g.PaintEnabled) {
        g.Paint();
        SpinEditXpuiss->setValue(g.XLabelExponent);
        SpinEditPuissY->setValue(g.YLabelExponent);
    }
}

void TGraphexForm::ApplyLabelAmountsClick() {
    Tgraphex& g = *graph_;
    g.XLabelExponent = SpinEditXpuiss->value();
    g.YLabelExponent = SpinEditPuissY->value();
    PaintIfEnabled();
    UpdateRangeFields();
}

// ---- Curves page ----

void TGraphexForm::SpinCChange() {
    if (!graph_->IsSeriesPresent(CurrentSeries()))
        ReportMessage(this, QStringLiteral("This serie does not exist or is empty..."),
                      TMessageKind::Plain);
    UpdateControls();
}

void TGraphexForm::DeleteCurveClick() {
    graph_->SetSeriesPresent(CurrentSeries(), false);
    PaintIfEnabled();
}

// ---- Pages shown or hidden, resizing, closing ----

void TGraphexForm::ButtonSetClick() {
    ButtonSet->hide();
    PageControl->show();
    panelPHeight_ += PageControlHeight - ButtonSetHeight;
    // The picture keeps its height: the window grows by what the pages add.
    resize(width(), height() + PageControlHeight - ButtonSetHeight);
    setMinimumSize(PageControlWidth + 10, PageControlHeight + PictureMinHeight);
    LayOutPanels();
}

void TGraphexForm::ButtonHidePanelClick() {
    ButtonSet->show();
    PageControl->hide();
    panelPHeight_ -= PageControlHeight - ButtonSetHeight;
    setMinimumSize(PageControlWidth / 2, panelPHeight_ + PictureMinHeight);
    resize(width(), height() - PageControlHeight + ButtonSetHeight);
    LayOutPanels();
}

void TGraphexForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOutPanels();
}

void TGraphexForm::LayOutPanels() {
    // The settings panel keeps its height at the bottom; the picture takes all the rest.
    const int pictureHeight = std::max(height() - panelPHeight_, 0);
    PanelP->setGeometry(0, pictureHeight, width(), panelPHeight_);
    PanelI->setGeometry(0, 0, width(), pictureHeight);
    if (picture_ == nullptr) return;
    const QSize size(std::max(PanelI->width() - 5, 1), std::max(PanelI->height() - 4, 1));
    // Showing or hiding the pages changes the window and the panel together; the picture
    // is made again only when its own size changes.
    if (size == picture_->Image().size()) return;
    picture_->Rebuild(size);
    graph_->SetSurface(&picture_->Image());
    Command([this] { graph_->Paint(); });
}

void TGraphexForm::closeEvent(QCloseEvent* event) {
    if (OnGraphClose) OnGraphClose(this);
    event->accept();
}

} // namespace velk
