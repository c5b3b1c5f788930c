// The graph window's commands that reach outside the graph: data files, curve maths,
// pictures, printing, clipboard, and the mouse on the picture.

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QSignalBlocker>
#include <QSpinBox>

#include "common/NumberFormat.h"
#include "common/WholeFile.h"
#include "dialogs/Editnbre.h"
#include "dialogs/MessageReport.h"
#include "graph/AxisScale.h"
#include "graph/CurveMaths.h"
#include "graph/DropDownComboBox.h"
#include "graph/GraphDataFile.h"
#include "graph/GraphExport.h"
#include "graph/GraphInteraction.h"
#include "graph/GraphPicture.h"
#include "graph/GraphexChoosers.h"
#include "graph/GraphexForm.h"

namespace velk {

namespace {

QString WithExtension(const QString& name, const QString& extension) {
    return QFileInfo(name).suffix().isEmpty() ? name + extension : name;
}

int PixelCount(const NbreEdit* edit) {
    if (const auto value = ParseInteger(edit->Text())) return *value;
    throw Exception(NotAnIntegerText(edit->Text()));
}

// `first`, then the entry of every present series.
QStringList PresentSeriesEntries(const Tgraphex& g, const QString& first) {
    QStringList entries{first};
    for (int s = 1; s <= MaxSeries; ++s)
        if (g.IsSeriesPresent(s)) entries << SeriesEntry(s);
    return entries;
}

// Refills a list and keeps its text. While the list fills, the combo box shows its first
// item for a moment; that is no choice of the operator, so the change handlers must not see
// it (the target's would reset the operand).
void Refill(QComboBox* box, const QStringList& items) {
    const QSignalBlocker quiet(box);
    const QString text = box->currentText();
    box->clear();
    box->addItems(items);
    box->setEditText(text);
}

} // namespace

// ---- Data files ----

void TGraphexForm::SaveDataClick() {
    const QString chosen = choosers_->SaveFileName(this, QStringLiteral("Text files (*.txt)"));
    if (chosen.isEmpty()) return;
    const QString name = WithExtension(chosen, QStringLiteral(".txt"));
    if (const auto failure = WriteWholeFile(name, GraphDataText(*graph_)))
        throw Exception(QStringLiteral("Unable to write the file ") + name + QStringLiteral(" : ") +
                        *failure);
}

void TGraphexForm::ButtonLoadDataClick() {
    const QString name = choosers_->OpenFileName(this);
    if (name.isEmpty()) return;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Unable to open the file ") + name + QStringLiteral(" : ") +
                        file.errorString());
    const QByteArray text = file.readAll();
    file.close();

    Tgraphex& g = *graph_;
    const TDataLoad load = LoadGraphData(g, text, [this](const QString& firstLine) {
        return choosers_->Confirm(this, FirstLineQuestion(firstLine));
    });
    if (load.logCleared) ListBoxLogLoad->clear();
    ListBoxLogLoad->addItems(load.log);
    if (load.textLines >= 1) {
        EditGraphe->setText(g.Title);
        setWindowTitle(g.Title);
    }
    if (load.textLines >= 2) EditTitreAxeX->setText(g.XCaption);
    if (load.textLines >= 3) EditTitreAxeY->setText(g.YCaption);
    for (const QString& message : load.messages)
        ReportMessage(this, message, TMessageKind::Information);
    if (load.failed) {
        ReportMessage(this, QStringLiteral("An error occured whilst loading the text file"),
                      TMessageKind::Plain);
        if (!load.failure.isEmpty()) ReportMessage(this, load.failure, TMessageKind::Error);
        return;
    }
    if (load.counted) LabelNBEch->setText(QString::number(g.PointCount()));
    g.Paint();
}

// ---- Curve maths ----

void TGraphexForm::ComboBoxOPleftDropDown() {
    Refill(ComboBoxOPleft, PresentSeriesEntries(*graph_, AxisEntry()));
}

void TGraphexForm::ComboBoxOPDropDown() {
    QStringList operations = OperationEntries();
    if (ComboBoxOPleft->currentText().startsWith(QLatin1Char('0'))) operations.removeLast();
    Refill(ComboBoxOP, operations);
}

void TGraphexForm::ComboBoxToOpDropDown() {
    if (ComboBoxOPleft->currentText() != AxisEntry()) {
        Refill(ComboBoxToOp, PresentSeriesEntries(*graph_, ConstantEntry()));
        return;
    }
    Refill(ComboBoxToOp, {ConstantEntry()});
    if (ComboBoxOP->currentText().startsWith(QLatin1Char('5')))
        ComboBoxOP->setEditText(OperationEntries().front());
    ComboBoxFunc->setEnabled(false);
    ComboBoxToOp->setEnabled(true);
    NbreEditCstMath->setEnabled(true);
}

void TGraphexForm::ComboBoxOPChange() {
    const bool function = ComboBoxOP->currentText().startsWith(QLatin1Char('5'));
    ComboBoxFunc->setEnabled(function);
    ComboBoxToOp->setEnabled(!function);
    NbreEditCstMath->setEnabled(!function);
}

void TGraphexForm::AjouterOPClick() {
    const QString target = ComboBoxOPleft->currentText();
    const QString operand = ComboBoxToOp->currentText();
    const bool operandEnabled = ComboBoxToOp->isEnabled();
    // An entry typed by hand must still start with its series number.
    if (target != AxisEntry() && !EntrySeries(target))
        throw Exception(NotAnIntegerText(target.left(target.indexOf(QLatin1Char('.')))));
    if (operandEnabled && !operand.startsWith(QLatin1Char('0')) && !EntrySeries(operand))
        throw Exception(NotAnIntegerText(operand.left(operand.indexOf(QLatin1Char('.')))));
    ListBoxOP->addItem(BuildMathsLine(target, ComboBoxOP->currentText(), operandEnabled, operand,
                                      NbreEditCstMath->Text(), ComboBoxFunc->currentText()));
}

void TGraphexForm::ButtonApplyMathsClick() {
    QStringList lines;
    for (int i = 0; i < ListBoxOP->count(); ++i)
        lines << ListBoxOP->item(i)->text();
    const TMathsRun run = RunMathsLines(*graph_, lines);
    for (const QString& message : run.messages)
        ReportMessage(this, message, TMessageKind::Plain);
    // The picture shows what the lines carried out, also when one of them stopped the list.
    graph_->Paint();
    if (!run.error.isEmpty()) ReportMessage(this, run.error, TMessageKind::Error);
}

// ---- Pictures, printing, clipboard ----

void TGraphexForm::SaveImageClick(int kind) {
    const bool bmp = kind == 1;
    const QString chosen = choosers_->SaveFileName(
        this, bmp ? QStringLiteral("BMP files (*.bmp)") : QStringLiteral("JPEG Files (*.jpg)"));
    if (chosen.isEmpty()) return;
    const QString name =
        WithExtension(chosen, bmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
    graph_->RenderToFile(name, kind, PixelCount(PixX), PixelCount(PixY));
}

void TGraphexForm::CopyPictureClick() {
    QGuiApplication::clipboard()->setImage(picture_->Image());
}

void TGraphexForm::Button7Click() {
    QGuiApplication::clipboard()->setImage(RenderHiresPicture(*graph_));
}

void TGraphexForm::ButtonPrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    if (!choosers_->Printer(this, printer)) return;
    PrintGraph(*graph_, printer, SpinEditScalePrint->value());
}

// ---- Mouse on the picture ----

void TGraphexForm::ImageMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int x,
                                  int y) {
    Tgraphex& g = *graph_;
    if (g.OffscreenRendering) return;
    if (g.Map().InPlotArea(x, y)) {
        const bool pixels = keys == Qt::ControlModifier && buttons == Qt::NoButton;
        LabelXYpos->setText(PositionText(g, x, y, pixels));
        LabelXYpos->repaint();
    }
    if (dragging_) {
        picture_->InvertRectangle(anchor_, corner_);
        corner_ = QPoint(x, y);
        picture_->InvertRectangle(anchor_, corner_);
    }
}

void TGraphexForm::ImageMouseDown(Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton) return;
    dragging_ = true;
    anchor_ = corner_ = QPoint(x, y);
}

void TGraphexForm::ImageMouseUp(Qt::MouseButton button, int x, int y) {
    Tgraphex& g = *graph_;
    if (button == Qt::LeftButton) {
        if (!dragging_) return;
        picture_->InvertRectangle(anchor_, corner_);
        dragging_ = false;
        const auto view = ZoomRectangleView(g, anchor_.x(), anchor_.y(), x, y);
        if (!view) return;
        g.ViewXMin = view->xMin;
        g.ViewXMax = view->xMax;
        g.ViewYMin = view->yMin;
        g.ViewYMax = view->yMax;
        g.PaintEnabled = false;
        UntickAutomaticScales();
        UpdateRangeFields();
        g.PaintEnabled = true;
        g.Paint();
        return;
    }
    if (button != Qt::RightButton && button != Qt::MiddleButton) return;
    const auto pick = NearestPoint(g, x, y);
    if (!pick) return;
    const TScaleMap& m = g.Map();
    const int left = m.MarginX, right = m.MarginX + m.PlotWidth;
    const int top = m.MarginY, bottom = m.MarginY + m.PlotHeight;
    if (!(left < pick->px && pick->px < right && top < pick->py && pick->py < bottom)) return;
    if (m.MarkerX != -1 && m.MarkerY != -1) picture_->InvertCircle(m.MarkerX, m.MarkerY);
    g.MarkPick(RoundToInt(pick->px), RoundToInt(pick->py));
    picture_->InvertCircle(m.MarkerX, m.MarkerY);
    if (TNotifySelecGraphForm* notifier = g.Notifier())
        notifier->PointSelected(g, m.MarkerX, m.MarkerY, g.GetX(pick->index),
                                g.GetY(pick->series, pick->index), pick->index, pick->series);
}

} // namespace velk
