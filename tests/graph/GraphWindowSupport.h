#pragma once
// Helpers for the graph window tests: a window set up and fed as the main window does it,
// choosers that answer from the test, and the recorded messages.

#include <optional>

#include <QCheckBox>
#include <QPrinter>

#include "dialogs/Editnbre.h"
#include "graph/GraphPicture.h"
#include "graph/GraphexChoosers.h"
#include "graph/GraphexForm.h"
#include "tests/TestSupport.h"
#include "tests/TestSupportWidgets.h"

namespace velk::test {

// Answers every chooser from lists the test fills; an empty list means "cancel". The
// printer prints to `pdfPath`; every question is answered Yes.
struct TScriptedChoosers : TGraphexChoosers {
    QStringList fileNames, questions;
    QList<QColor> colors;
    QString pdfPath;

    QString SaveFileName(QWidget*, const QString&) override { return OpenFileName(nullptr); }
    QString OpenFileName(QWidget*) override {
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    std::optional<QColor> Color(QWidget*, const QColor&) override {
        if (colors.isEmpty()) return std::nullopt;
        return colors.takeFirst();
    }
    std::optional<TChosenFont> Font(QWidget*) override { return std::nullopt; }
    bool Printer(QWidget*, QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return !pdfPath.isEmpty();
    }
    bool Confirm(QWidget*, const QString& text) override {
        questions << text;
        return true;
    }
};

// A graph window as the main window opens it, fed one point per call.
class GraphWindow : public ::testing::Test {
protected:
    GraphWindow() : form_(new TGraphexForm(nullptr)) {
        auto choosers = std::make_unique<TScriptedChoosers>();
        choosers_ = choosers.get();
        form_->SetChoosers(std::move(choosers));
        Tgraphex& g = form_->Graph();
        g.SetPointCount(0);
        g.PointType[1] = 2;
        g.PointSize[1] = 1;
        g.SetSeriesPresent(1, true);
        g.TiedPoints[1] = true;
        g.CaptionOverCurve[1] = false;
        g.SeriesColor[1] = ColorBlack;
        g.XCaption = "Time";
        g.XLabelFormat = 3;
        g.Title = "Temp1";
        form_->setWindowTitle(QString());
        form_->show();
    }
    ~GraphWindow() override { delete form_.data(); }

    Tgraphex& G() { return form_->Graph(); }
    void Feed(double hours, double value) {
        Tgraphex& g = G();
        g.SetPointCount(g.PointCount() + 1);
        g.FlatPointCaption(g.PointCount()) = "Date";
        g.SetX(g.PointCount(), hours);
        g.SetY(1, g.PointCount(), value);
        g.YCaption = "Temp1 (C)";
        form_->UpdateGraph();
    }
    template <class W> W* Find(const char* name) { return Child<W>(form_, name); }
    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
    void Tick(const char* box) {
        QTest::mouseClick(Find<QCheckBox>(box), Qt::LeftButton, {}, {5, 8});
    }
    void SetField(const char* name, const QString& text) { Find<NbreEdit>(name)->setText(text); }
    QImage& Picture() { return form_->Picture()->Image(); }
    // Mouse on the picture at pixel (x, y) of it.
    void Press(Qt::MouseButton b, int x, int y) {
        QTest::mousePress(form_->Picture(), b, {}, {x, y});
    }
    void Release(Qt::MouseButton b, int x, int y) {
        QTest::mouseRelease(form_->Picture(), b, {}, {x, y});
    }
    void Move(int x, int y, Qt::KeyboardModifiers keys = {}, Qt::MouseButtons held = {}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y),
                         form_->Picture()->mapToGlobal(QPointF(x, y)), Qt::NoButton, held, keys);
        QApplication::sendEvent(form_->Picture(), &move);
    }

    QPointer<TGraphexForm> form_;
    TScriptedChoosers* choosers_ = nullptr;
    MessageRecorder messages_;
};

} // namespace velk::test
