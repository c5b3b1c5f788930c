#pragma once
// TGraphexForm: the graph window. Its picture sits on top and a panel of tabbed setting pages
// below it, hidden until "Setup" is pressed. It owns its graph object, turns the operator's
// clicks into changes of the graph and repaints; when closed it tells its feeder and frees
// itself.

#include <functional>
#include <memory>
#include <vector>

#include <QWidget>

#include "graph/Graphex.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace velk {

class NbreEdit;
class TDropDownComboBox;
class TGraphPicture;
class TGraphexChoosers;

class TGraphexForm : public QWidget {
    Q_OBJECT
public:
    // A top-level window owned by `owner` (freed with it), with a graph at its defaults.
    explicit TGraphexForm(QWidget* owner);
    ~TGraphexForm() override;

    Tgraphex& Graph() { return *graph_; }
    // Called first when the window closes, with the window.
    std::function<void(TGraphexForm* Sender)> OnGraphClose;

    // After new points: caption, sample count, picture shown, Paint, controls refreshed.
    void UpdateGraph();
    void UpdateControls();
    void UpdateRangeFields();
    void SyncAutoScaleX();
    void SyncAutoScaleY();

    // Replaces the choosers (tests answer without modal dialogs).
    void SetChoosers(std::unique_ptr<TGraphexChoosers> choosers);
    TGraphPicture* Picture() const { return picture_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class TReadOut;

    void BuildScalePage(QWidget* page);
    void BuildGeneralPage(QWidget* page);
    void BuildAxisPage(QWidget* page);
    void BuildFilesPage(QWidget* page);
    void BuildCurvesPage(QWidget* page);
    void BuildGraphicPage(QWidget* page);
    void BuildMathsPage(QWidget* page);
    void Connect();
    // Runs an operator command; an error it raises is shown and the window stays usable.
    void Command(const std::function<void()>& action);
    void PaintIfEnabled();
    int CurrentSeries() const;
    void LayOutPanels();
    void SetPointTypeIndex(int index);

    // Scale page.
    void SyncAutoScale(const QCheckBox* box, const std::vector<QWidget*>& manual, bool& autoScale);
    // Zoom buttons and the zoom rectangle switch both automatic scales off.
    void UntickAutomaticScales();
    void CheckBoxEchAutoXClick();
    void CheckBoxEchAutoYClick();
    // The typed range, unless it is inverted (then `refusal` is shown).
    void ApplyRange(const NbreEdit* minEdit, const NbreEdit* maxEdit, double& viewMin,
                    double& viewMax, const QString& refusal);
    void PanClick(double& viewMin, double& viewMax, int direction);
    void ZoomClick(bool zoomIn);
    // General and axis pages.
    void ApplyCaptionsClick();
    void ChooseColour(TColor& target);
    void ChooseFontClick();
    void CheckBoxUnitClick();
    void ApplyLabelAmountsClick();
    // Curves page.
    void SpinCChange();
    void DeleteCurveClick();
    // Pages shown or hidden.
    void ButtonSetClick();
    void ButtonHidePanelClick();
    // Files, maths, pictures.
    void SaveDataClick();
    void ButtonLoadDataClick();
    void AjouterOPClick();
    void ButtonApplyMathsClick();
    void ComboBoxOPleftDropDown();
    void ComboBoxOPDropDown();
    void ComboBoxToOpDropDown();
    void ComboBoxOPChange();
    void SaveImageClick(int kind);
    void CopyPictureClick();
    void Button7Click();
    void ButtonPrintClick();
    // Picture mouse.
    void ImageMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int x, int y);
    void ImageMouseDown(Qt::MouseButton button, int x, int y);
    void ImageMouseUp(Qt::MouseButton button, int x, int y);

    std::unique_ptr<Tgraphex> graph_;
    std::unique_ptr<TGraphexChoosers> choosers_;
    int panelPHeight_ = 0;
    bool labelsFrequencyReacts_ = false;
    bool dragging_ = false;
    QPoint anchor_, corner_;
    std::vector<QWidget*> manualX_, manualY_;

    QFrame* PanelI = nullptr;
    QWidget* PanelP = nullptr;
    TGraphPicture* picture_ = nullptr;
    QTabWidget* PageControl = nullptr;
    QPushButton* ButtonSet = nullptr;
    // Scale page.
    QCheckBox* CheckBoxEchAutoX = nullptr;
    QCheckBox* CheckBoxEchAutoY = nullptr;
    NbreEdit* NbreEditMinX = nullptr;
    NbreEdit* NbreEditMaxX = nullptr;
    NbreEdit* NbreEditMinY = nullptr;
    NbreEdit* NbreEditMaxY = nullptr;
    QLabel* LabelXYpos = nullptr;
    QLabel* LabelNBEch = nullptr;
    // General page.
    QLineEdit* EditTitreAxeX = nullptr;
    QLineEdit* EditTitreAxeY = nullptr;
    QLineEdit* EditGraphe = nullptr;
    QCheckBox* CheckBoxTraverseX = nullptr;
    QCheckBox* CheckBoxTraverseY = nullptr;
    // Axis page.
    QCheckBox* CheckBoxUnit = nullptr;
    QSpinBox* SpinEditXpuiss = nullptr;
    QSpinBox* SpinEditPuissY = nullptr;
    QCheckBox* CheckBoxOrgn = nullptr;
    // Files page.
    QListWidget* ListBoxLogLoad = nullptr;
    // Curves page.
    QSpinBox* SpinC = nullptr;
    QLineEdit* EditTitreSerie = nullptr;
    QCheckBox* CheckBoxPlink = nullptr;
    QCheckBox* CheckBoxAffLabelSerie = nullptr;
    QCheckBox* CheckBoxLC = nullptr;
    QButtonGroup* pointTypeButtons_ = nullptr;
    QSpinBox* SpinEditWp = nullptr;
    QSpinBox* SpinEditTailleP = nullptr;
    // Graphic page.
    QSpinBox* SpinEditScalePrint = nullptr;
    NbreEdit* PixX = nullptr;
    NbreEdit* PixY = nullptr;
    // Maths page.
    TDropDownComboBox* ComboBoxOPleft = nullptr;
    TDropDownComboBox* ComboBoxOP = nullptr;
    TDropDownComboBox* ComboBoxToOp = nullptr;
    NbreEdit* NbreEditCstMath = nullptr;
    TDropDownComboBox* ComboBoxFunc = nullptr;
    QListWidget* ListBoxOP = nullptr;
};

} // namespace velk
