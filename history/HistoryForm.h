#pragma once
// THistoryForm: the history window. It plots the readings files of a chosen span with the
// graph windows' painter, re-decimating from the span's full readings at every zoom or pan,
// and marks alarms and connection losses of the event logs on the time axis. The files are
// read on a worker thread of its own; a new choice cancels the load under way.

#include <atomic>
#include <bitset>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <QDateTime>
#include <QElapsedTimer>
#include <QWidget>

#include "graph/Graphex.h"
#include "history/HistoryLoad.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QTimer;

namespace velk {

class TGraphPicture;
class TGraphexChoosers;

class THistoryForm : public QWidget {
    Q_OBJECT
public:
    using TClock = std::function<QDateTime()>;
    // A top-level window owned by `owner`, reading from `folder`; `clock` gives "now" for the
    // spans that end now. Starts loading the last 24 hours of the two temperatures.
    THistoryForm(QWidget* owner, QString folder, TClock clock = {});
    ~THistoryForm() override;

    Tgraphex& Graph() { return *graph_; }
    TGraphPicture* Picture() const { return picture_; }
    void SetChoosers(std::unique_ptr<TGraphexChoosers> choosers);

    // Loads [from, to] (seconds since the epoch), as "From/to" does.
    void LoadSpan(std::int64_t from, std::int64_t to);
    bool Loading() const { return job_ != nullptr; }
    const THistoryLoad& Loaded() const { return loaded_; }
    // The span on screen, seconds since the epoch; SetView re-decimates and repaints.
    double ViewFrom() const { return viewFrom_; }
    double ViewTo() const { return viewTo_; }
    void SetView(double from, double to);
    // The series of each quantity shown (0 when not shown).
    int SeriesOf(TQuantity q) const;
    // The marks' text under pixel (x, y) of the picture, empty when none.
    QString MarkTextAt(int x, int y) const;

signals:
    void LoadFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TJob;
    // How seconds since the epoch become the graph's abscissas: days since 30 December 1899
    // (date labels) for wide views, else hours since the local midnight of the view's start.
    struct TTimeAxis {
        double origin = 0;  // seconds
        double unit = 3600; // seconds per abscissa unit
        double x0 = 0;      // abscissa of origin
        double X(double t) const { return (t - origin) / unit + x0; }
        double T(double x) const { return (x - x0) * unit + origin; }
    };

    void ComboBoxSpanChange();
    void FinishLoad(const std::shared_ptr<TJob>& job);
    void CancelLoad();
    void ShowProgress();
    void Redraw();
    void RebuildPicture();
    void DrawMarks(QPaintDevice* canvas, const TScaleMap& map);
    void PanClick(int direction);
    void ButtonFullSpanClick();
    void SaveImageClick(int kind);
    void ButtonHiresCopyClick();
    void ButtonPrintClick();
    void ButtonSaveDataClick();
    void ImageMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int x, int y);
    void ImageMouseDown(Qt::MouseButton button, int x, int y);
    void ImageMouseUp(Qt::MouseButton button, int x, int y);
    void Wheel(QWheelEvent* event);
    // Runs an operator command; an error it raises is shown and the window stays usable.
    void Command(const std::function<void()>& action);

    QString folder_;
    TClock clock_;
    std::unique_ptr<Tgraphex> graph_;
    std::unique_ptr<TGraphexChoosers> choosers_;
    std::shared_ptr<TJob> job_;
    std::thread worker_;
    QElapsedTimer loadTime_;
    THistoryLoad loaded_;
    std::int64_t spanFrom_ = 0, spanTo_ = 0;
    double viewFrom_ = 0, viewTo_ = 0;
    TTimeAxis axis_;
    std::vector<TQuantity> shown_;
    bool dragging_ = false;
    QPoint anchor_, corner_;

    std::vector<QCheckBox*> quantityBoxes_;
    QComboBox* ComboBoxSpan = nullptr;
    QDateTimeEdit* DateTimeEditFrom = nullptr;
    QDateTimeEdit* DateTimeEditTo = nullptr;
    QProgressBar* ProgressBarLoad = nullptr;
    QLabel* LabelStatus = nullptr;
    QLabel* LabelXYpos = nullptr;
    QWidget* PanelI = nullptr;
    TGraphPicture* picture_ = nullptr;
    QTimer* progressTimer_ = nullptr;
};

} // namespace velk
