// The main window's graph windows: opening one per reading, feeding each with the readings
// of every display update, and forgetting it when it closes.

#include <utility>

#include <QTime>

#include "app/Display.h"
#include "app/MainPanel.h"
#include "app/StatePaths.h"
#include "graph/GraphexForm.h"
#include "history/HistoryForm.h"

namespace velk {

namespace {

// One point: now as the time of day in hours, the value in series 1.
void FeedGraph(TGraphexForm* window, double value, const char* yCaption) {
    Tgraphex& graph = window->Graph();
    graph.SetPointCount(graph.PointCount() + 1);
    const int n = graph.PointCount();
    graph.FlatPointCaption(n) = QStringLiteral("Date");
    graph.SetX(n, QTime::currentTime().msecsSinceStartOfDay() / 3600000.0);
    graph.SetY(1, n, value);
    graph.YCaption = QString::fromUtf8(yCaption);
    window->UpdateGraph();
    window->repaint();
}

} // namespace

void TMainForm::FeedGraphs(const TDisplay& shown) {
    const std::pair<TQuantity, TGraphexForm*> feeds[] = {
        {qTemp1, GraphTemp[0]},         {qTemp2, GraphTemp[1]},     {qVacuum, GraphVacuum},
        {qPumpStatus, GraphPumpStatus}, {qLN2Level, GraphLN2Level},
    };
    for (const auto& [quantity, window] : feeds)
        if (window && shown.Readings[quantity].GraphValue)
            FeedGraph(window, *shown.Readings[quantity].GraphValue,
                      QuantityInfo(quantity).GraphCaption);
}

void TMainForm::OpenGraph(QPointer<TGraphexForm>& slot, const char* title,
                          void (TMainForm::*closed)(TGraphexForm*)) {
    if (slot) {
        // Already open: brought to the front rather than opened twice.
        slot->raise();
        slot->activateWindow();
        return;
    }
    auto* window = new TGraphexForm(this);
    Tgraphex& graph = window->Graph();
    graph.SetPointCount(0);
    graph.PointType[1] = 2; // circles
    graph.PointSize[1] = 1;
    graph.SetSeriesPresent(1, true);
    graph.TiedPoints[1] = true;
    graph.CaptionOverCurve[1] = false;
    graph.SeriesColor[1] = ColorBlack;
    graph.AutoScaleX = graph.AutoScaleY = true;
    graph.XCaption = QStringLiteral("Time");
    graph.YCaption = QStringLiteral("Value");
    graph.XLabelFormat = 3; // hours and minutes
    graph.Title = QString::fromLatin1(title);
    window->setWindowTitle(QString());
    window->OnGraphClose = [this, closed](TGraphexForm* sender) { (this->*closed)(sender); };
    slot = window;
    window->show();
}

void TMainForm::GetGraphSensor(QObject* Sender) {
    const int tag = Sender->property("Tag").toInt();
    if (tag == 1 || tag == 2)
        OpenGraph(GraphTemp[tag - 1], QuantityInfo(tag == 1 ? qTemp1 : qTemp2).GraphTitle,
                  &TMainForm::GraphSensorClosed);
}

void TMainForm::GetGraphSensorVacuum(QObject*) {
    OpenGraph(GraphVacuum, QuantityInfo(qVacuum).GraphTitle, &TMainForm::GraphVacuumClosed);
}

void TMainForm::SpeedButtonPumpStatusClick(QObject*) {
    OpenGraph(GraphPumpStatus, QuantityInfo(qPumpStatus).GraphTitle,
              &TMainForm::GraphPumpStatusClosed);
}

void TMainForm::SpeedButtonLN2LevelClick(QObject*) {
    OpenGraph(GraphLN2Level, QuantityInfo(qLN2Level).GraphTitle, &TMainForm::GraphLN2LevelClosed);
}

// Each slot is emptied only by its own window: a window forgotten at Disconnect may close
// after its slot holds a newer one.
void TMainForm::GraphSensorClosed(TGraphexForm* Sender) {
    for (QPointer<TGraphexForm>& slot : GraphTemp)
        if (slot == Sender) slot = nullptr;
}

void TMainForm::GraphVacuumClosed(TGraphexForm* Sender) {
    if (GraphVacuum == Sender) GraphVacuum = nullptr;
}

void TMainForm::GraphPumpStatusClosed(TGraphexForm* Sender) {
    if (GraphPumpStatus == Sender) GraphPumpStatus = nullptr;
}

void TMainForm::GraphLN2LevelClosed(TGraphexForm* Sender) {
    if (GraphLN2Level == Sender) GraphLN2Level = nullptr;
}

void TMainForm::ToolButtonHistoryClick(QObject*) {
    // Several may be open; each closes and frees itself, or goes with the main window.
    (new THistoryForm(this, StateFolder()))->show();
}

} // namespace velk
