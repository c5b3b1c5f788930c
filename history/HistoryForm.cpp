#include "history/HistoryForm.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "common/DateTimeText.h"
#include "common/Errors.h"
#include "common/WholeFile.h"
#include "dialogs/MessageReport.h"
#include "graph/GraphExport.h"
#include "graph/GraphInteraction.h"
#include "graph/GraphPicture.h"
#include "graph/GraphexChoosers.h"
#include "history/Decimate.h"

namespace velk {

namespace {

constexpr std::int64_t kHour = 3600, kDay = 86400;
// Days from 30 December 1899 (the graph's dates) to 1 January 1970.
constexpr double kEpochDay = 25569;
// Views up to two days wide are labelled in hours, wider ones in dates.
constexpr double kHoursUpTo = 2 * kDay;
constexpr double kNarrowestView = 60;
// A load shorter than this shows no progress.
constexpr int kProgressAfterMs = 150;
// Half-width in pixels within which a mark's tooltip shows.
constexpr int kMarkReach = 4;
constexpr qsizetype kMarkLines = 12;
// The size of exported pictures, as the graph window's defaults.
constexpr int kExportWidth = 700, kExportHeight = 500;

struct TSpanChoice {
    const char* text;
    std::int64_t seconds; // 0: from/to
};
constexpr TSpanChoice kSpans[] = {{"Last hour", kHour},
                                  {"Last 24 hours", kDay},
                                  {"Last 7 days", 7 * kDay},
                                  {"Last 30 days", 30 * kDay},
                                  {"From/to", 0}};
constexpr int kDefaultSpan = 1;

// One colour per quantity, by TQuantity (0x00BBGGRR).
constexpr TColor kColours[kQuantityCount] = {0x00C00000, 0x00808080, 0x000000C0, 0x00A0A0A0,
                                             0x00008080, 0x00008000, 0x00800080, 0x00404040,
                                             0x00606000, 0x000080FF};

QColor MarkColour(TEventKind kind) {
    switch (kind) {
    case TEventKind::AlarmStart:
        return Qt::red;
    case TEventKind::AlarmEnd:
        return QColor(0, 150, 0);
    case TEventKind::Lost:
        return QColor(230, 130, 0);
    case TEventKind::Back:
        return Qt::blue;
    }
    return Qt::black;
}

QString WithExtension(const QString& name, const QString& extension) {
    return name.contains(QLatin1Char('.')) ? name : name + extension;
}

} // namespace

struct THistoryForm::TJob {
    std::int64_t from, to;
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    THistoryLoad result; // written by the worker before it hands the job back
};

THistoryForm::THistoryForm(QWidget* owner, QString folder, TClock clock)
    : QWidget(owner, Qt::Window), folder_(std::move(folder)), clock_(std::move(clock)),
      graph_(std::make_unique<Tgraphex>()), choosers_(std::make_unique<TGraphexChoosers>()) {
    if (!clock_) clock_ = [] { return QDateTime::currentDateTime(); };
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(QStringLiteral("History"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    // Two rows of five, so that the window can be as narrow as its picture allows.
    auto* quantities = new QGridLayout;
    layout->addLayout(quantities);
    for (const TQuantityInfo* q : ReadingsColumns()) {
        auto* box = new QCheckBox(QString::fromLatin1(q->Name), this);
        box->setObjectName(QStringLiteral("CheckBox") + QString::fromLatin1(q->Name));
        box->setChecked(q->Quantity == qTemp1 || q->Quantity == qTemp2);
        box->setProperty("quantity", static_cast<int>(q->Quantity));
        connect(box, &QCheckBox::toggled, this, [this] { Command([this] { Redraw(); }); });
        const int place = static_cast<int>(quantityBoxes_.size());
        quantities->addWidget(box, place / 5, place % 5);
        quantityBoxes_.push_back(box);
    }

    auto* span = new QHBoxLayout;
    layout->addLayout(span);
    span->addWidget(new QLabel(QStringLiteral("Span:"), this));
    ComboBoxSpan = new QComboBox(this);
    ComboBoxSpan->setObjectName(QStringLiteral("ComboBoxSpan"));
    for (const TSpanChoice& choice : kSpans)
        ComboBoxSpan->addItem(QString::fromLatin1(choice.text));
    span->addWidget(ComboBoxSpan);
    const QDateTime now = clock_();
    DateTimeEditFrom = new QDateTimeEdit(now.addDays(-1), this);
    DateTimeEditFrom->setObjectName(QStringLiteral("DateTimeEditFrom"));
    DateTimeEditTo = new QDateTimeEdit(now, this);
    DateTimeEditTo->setObjectName(QStringLiteral("DateTimeEditTo"));
    for (QDateTimeEdit* edit : {DateTimeEditFrom, DateTimeEditTo}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(edit, &QDateTimeEdit::editingFinished, this,
                [this] { Command([this] { ComboBoxSpanChange(); }); });
    }
    span->addWidget(new QLabel(QStringLiteral("from"), this));
    span->addWidget(DateTimeEditFrom);
    span->addWidget(new QLabel(QStringLiteral("to"), this));
    span->addWidget(DateTimeEditTo);
    ProgressBarLoad = new QProgressBar(this);
    ProgressBarLoad->setObjectName(QStringLiteral("ProgressBarLoad"));
    ProgressBarLoad->setRange(0, 1000);
    ProgressBarLoad->setMaximumWidth(120);
    ProgressBarLoad->hide();
    span->addWidget(ProgressBarLoad);
    span->addStretch();

    PanelI = new QWidget(this);
    PanelI->setObjectName(QStringLiteral("PanelI"));
    PanelI->setMinimumSize(300, 200);
    layout->addWidget(PanelI, 1);
    picture_ = new TGraphPicture(PanelI);
    picture_->setObjectName(QStringLiteral("Picture"));
    picture_->installEventFilter(this);
    picture_->setMouseTracking(true);

    LabelStatus = new QLabel(this);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setWordWrap(true);
    LabelXYpos = new QLabel(this);
    LabelXYpos->setObjectName(QStringLiteral("LabelXYpos"));
    auto* status = new QHBoxLayout;
    layout->addLayout(status);
    status->addWidget(LabelStatus, 1);
    status->addWidget(LabelXYpos);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    const auto button = [&](const char* name, const char* text, auto handler) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        if (b->text().size() == 1) b->setFixedWidth(28);
        connect(b, &QPushButton::clicked, this, [this, handler] { Command([&] { handler(); }); });
        buttons->addWidget(b);
    };
    button("ButtonPanLeft", "<", [this] { PanClick(-1); });
    button("ButtonPanRight", ">", [this] { PanClick(1); });
    button("ButtonFullSpan", "Full span", [this] { ButtonFullSpanClick(); });
    button("ButtonSaveBMP", "Save as BMP", [this] { SaveImageClick(1); });
    button("ButtonSaveJPG", "Save as JPG", [this] { SaveImageClick(2); });
    button("ButtonHiresCopy", "Hires. copy to clipboard", [this] { ButtonHiresCopyClick(); });
    button("ButtonPrint", "Print", [this] { ButtonPrintClick(); });
    button("ButtonSaveData", "Save data", [this] { ButtonSaveDataClick(); });
    buttons->addStretch();

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, [this] { ShowProgress(); });

    Tgraphex& g = *graph_;
    g.AutoScaleX = false;
    g.ShowOriginX = false;
    g.ShowOriginY = false;
    g.PaintEnabled = true;
    g.OnPainted = [this](QPaintDevice* canvas, const TScaleMap& map) {
        DrawMarks(canvas, map);
        if (canvas != graph_->Surface()) return;
        if (dragging_) picture_->InvertRectangle(anchor_, corner_);
        picture_->update();
    };
    picture_->OnMouseMove = [this](Qt::MouseButton, Qt::MouseButtons buttons,
                                   Qt::KeyboardModifiers keys, int x, int y) {
        Command([&] { ImageMouseMove(buttons, keys, x, y); });
    };
    picture_->OnMouseDown = [this](Qt::MouseButton button, Qt::MouseButtons, Qt::KeyboardModifiers,
                                   int x,
                                   int y) { Command([&] { ImageMouseDown(button, x, y); }); };
    picture_->OnMouseUp = [this](Qt::MouseButton button, Qt::MouseButtons, Qt::KeyboardModifiers,
                                 int x, int y) { Command([&] { ImageMouseUp(button, x, y); }); };

    resize(760, 660);
    RebuildPicture();
    ComboBoxSpan->setCurrentIndex(kDefaultSpan);
    connect(ComboBoxSpan, &QComboBox::currentIndexChanged, this,
            [this] { Command([this] { ComboBoxSpanChange(); }); });
    ComboBoxSpanChange();
}

THistoryForm::~THistoryForm() {
    CancelLoad();
}

void THistoryForm::SetChoosers(std::unique_ptr<TGraphexChoosers> choosers) {
    choosers_ = std::move(choosers);
}

void THistoryForm::Command(const std::function<void()>& action) {
    RunCommand(this, action);
}

void THistoryForm::closeEvent(QCloseEvent* event) {
    CancelLoad();
    event->accept();
}

// ---- Loading ----

void THistoryForm::ComboBoxSpanChange() {
    const std::int64_t seconds = kSpans[ComboBoxSpan->currentIndex()].seconds;
    DateTimeEditFrom->setEnabled(seconds == 0);
    DateTimeEditTo->setEnabled(seconds == 0);
    if (seconds == 0) {
        LoadSpan(DateTimeEditFrom->dateTime().toSecsSinceEpoch(),
                 DateTimeEditTo->dateTime().toSecsSinceEpoch());
        return;
    }
    const std::int64_t now = clock_().toSecsSinceEpoch();
    LoadSpan(now - seconds, now);
}

void THistoryForm::CancelLoad() {
    if (job_) job_->cancel.store(true);
    // The worker only reads files and never waits for this thread, so it ends soon.
    if (worker_.joinable()) worker_.join();
    job_.reset();
    progressTimer_->stop();
    ProgressBarLoad->hide();
}

void THistoryForm::LoadSpan(std::int64_t from, std::int64_t to) {
    CancelLoad();
    if (to <= from) {
        LabelStatus->setText(QStringLiteral("The span ends before it starts."));
        return;
    }
    auto job = std::make_shared<TJob>();
    job->from = from;
    job->to = to;
    job_ = job;
    LabelStatus->setText(QStringLiteral("Reading…"));
    loadTime_.start();
    progressTimer_->start();
    worker_ = std::thread([this, job, folder = folder_] {
        job->result = LoadHistory(folder, job->from, job->to, job->cancel, job->progress);
        // Queued to this window's thread; dropped with the window if it is gone by then.
        QMetaObject::invokeMethod(
            this, [this, job] { FinishLoad(job); }, Qt::QueuedConnection);
    });
}

void THistoryForm::ShowProgress() {
    if (!job_ || loadTime_.elapsed() < kProgressAfterMs) return;
    ProgressBarLoad->setValue(job_->progress.load());
    ProgressBarLoad->show();
}

void THistoryForm::FinishLoad(const std::shared_ptr<TJob>& job) {
    if (job != job_) return; // a load that a newer choice cancelled
    if (worker_.joinable()) worker_.join();
    job_.reset();
    progressTimer_->stop();
    ProgressBarLoad->hide();
    loaded_ = std::move(job->result);
    spanFrom_ = job->from;
    spanTo_ = job->to;
    QStringList status = loaded_.Messages;
    status.prepend(QStringLiteral("%1 readings")
                       .arg(QLocale().toString(static_cast<qlonglong>(loaded_.Data.Size()))));
    LabelStatus->setText(status.join(QStringLiteral("; ")));
    graph_->AutoScaleY = true;
    SetView(static_cast<double>(spanFrom_), static_cast<double>(spanTo_));
    emit LoadFinished();
}

// ---- Drawing ----

int THistoryForm::SeriesOf(TQuantity q) const {
    const auto it = std::find(shown_.begin(), shown_.end(), q);
    return it == shown_.end() ? 0 : static_cast<int>(it - shown_.begin()) + 1;
}

void THistoryForm::SetView(double from, double to) {
    const double span = static_cast<double>(spanTo_ - spanFrom_);
    double width = std::clamp(to - from, std::min(kNarrowestView, span), span);
    from = std::clamp(from, static_cast<double>(spanFrom_), static_cast<double>(spanTo_) - width);
    viewFrom_ = from;
    viewTo_ = from + width;
    Redraw();
}

void THistoryForm::Redraw() {
    Tgraphex& g = *graph_;
    shown_.clear();
    std::bitset<kQuantityCount> asked;
    for (QCheckBox* box : quantityBoxes_) {
        if (!box->isChecked()) continue;
        const auto q = static_cast<TQuantity>(box->property("quantity").toInt());
        shown_.push_back(q);
        asked.set(static_cast<std::size_t>(q));
    }
    const int columns = picture_->Image().width() - 2 * g.MarginX + 1;
    const TDecimated points = Decimate(loaded_.Data, viewFrom_, viewTo_, columns, asked, MaxPoints);

    // Labels by the width of the view: dates, or hours from the local midnight of its start.
    const QDateTime start = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(viewFrom_));
    if (viewTo_ - viewFrom_ > kHoursUpTo) {
        axis_ = {0, kDay, kEpochDay + start.offsetFromUtc() / double(kDay)};
        g.XLabelFormat = 1;
        g.XCaption = QStringLiteral("Date");
    } else {
        const QDateTime midnight(start.date(), QTime(0, 0));
        axis_ = {static_cast<double>(midnight.toSecsSinceEpoch()), kHour, 0};
        g.XLabelFormat = 3;
        g.XCaption = QStringLiteral("Hours from ") +
                     QLocale::system().toString(start.date(), QLocale::ShortFormat);
    }
    g.Title = QStringLiteral("History");
    g.YCaption.clear();
    for (int s = 1; s <= MaxSeries; ++s)
        g.SetSeriesPresent(s, s <= static_cast<int>(shown_.size()));
    const int n = static_cast<int>(points.Times.size());
    g.SetPointCount(n);
    for (int i = 0; i < n; ++i)
        g.SetX(i + 1, axis_.X(points.Times[static_cast<std::size_t>(i)]));
    for (std::size_t k = 0; k < shown_.size(); ++k) {
        const int s = static_cast<int>(k) + 1;
        const TQuantityInfo& q = QuantityInfo(shown_[k]);
        const auto& values = points.Values[static_cast<std::size_t>(q.Quantity)];
        for (int i = 0; i < n; ++i)
            g.SetY(s, i + 1, values[static_cast<std::size_t>(i)]);
        g.SeriesTitle[s] = QString::fromLatin1(q.Name) +
                           (*q.Unit ? QStringLiteral(" (") + QString::fromUtf8(q.Unit) + ')' : "");
        g.SeriesColor[s] = kColours[q.Quantity];
        g.TiedPoints[s] = true;
        g.PointType[s] = 0;
        g.LineWidth[s] = 1;
        g.ShowInLegend[s] = true;
    }
    g.ViewXMin = axis_.X(viewFrom_);
    g.ViewXMax = axis_.X(viewTo_);
    // Without a single value there is no scale to draw the axes with.
    const bool anyValue = std::any_of(shown_.begin(), shown_.end(), [&](TQuantity q) {
        const auto& values = points.Values[static_cast<std::size_t>(q)];
        return std::any_of(values.begin(), values.end(), [](double v) { return !std::isnan(v); });
    });
    if (!anyValue) {
        picture_->Image().fill(Qt::white);
        picture_->update();
        return;
    }
    g.Paint();
}

void THistoryForm::DrawMarks(QPaintDevice* canvas, const TScaleMap& map) {
    const Tgraphex& g = *graph_;
    QPainter p(canvas);
    const int bottom = map.MarginY + map.PlotHeight;
    const int size = std::max(3, static_cast<int>(std::lround(4 * g.Scale)));
    for (const TEventMark& mark : loaded_.Events) {
        const double t = static_cast<double>(mark.Time);
        if (t < viewFrom_ || t > viewTo_) continue;
        const int x = static_cast<int>(std::lround(map.XToPixel(axis_.X(t))));
        const QPoint triangle[] = {{x, bottom - 2 * size}, {x - size, bottom}, {x + size, bottom}};
        p.setPen(Qt::NoPen);
        p.setBrush(MarkColour(mark.Kind));
        p.drawPolygon(triangle, 3);
    }
}

QString THistoryForm::MarkTextAt(int x, int y) const {
    const TScaleMap& map = graph_->Map();
    const int bottom = map.MarginY + map.PlotHeight;
    if (y < bottom - 3 * kMarkReach || y > bottom + kMarkReach) return {};
    QStringList texts;
    for (const TEventMark& mark : loaded_.Events) {
        const double t = static_cast<double>(mark.Time);
        if (t < viewFrom_ || t > viewTo_) continue;
        if (std::fabs(map.XToPixel(axis_.X(t)) - x) > kMarkReach) continue;
        // An outage logs a line per tick: the first few tell what happened.
        if (texts.size() == kMarkLines) {
            texts << QStringLiteral("…");
            break;
        }
        texts << DateTimeText(QDateTime::fromSecsSinceEpoch(mark.Time)) + QStringLiteral("  ") +
                     mark.Text;
    }
    return texts.join(QLatin1Char('\n'));
}

void THistoryForm::RebuildPicture() {
    picture_->move(2, 2);
    picture_->Rebuild(
        QSize(std::max(PanelI->width() - 5, 100), std::max(PanelI->height() - 4, 100)));
    graph_->SetSurface(&picture_->Image());
    picture_->show();
}

void THistoryForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RebuildPicture();
    Command([this] { Redraw(); });
}

// ---- View ----

void THistoryForm::PanClick(int direction) {
    const double width = viewTo_ - viewFrom_;
    SetView(viewFrom_ + direction * width / 2, viewTo_ + direction * width / 2);
}

void THistoryForm::ButtonFullSpanClick() {
    graph_->AutoScaleY = true;
    SetView(static_cast<double>(spanFrom_), static_cast<double>(spanTo_));
}

bool THistoryForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_ && event->type() == QEvent::Wheel) {
        Command([&] { Wheel(static_cast<QWheelEvent*>(event)); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void THistoryForm::Wheel(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const double notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
    const double width = viewTo_ - viewFrom_;
    if (event->modifiers() & Qt::ShiftModifier || delta.y() == 0) {
        // Shift or a sideways wheel pans by a tenth of the view per notch.
        SetView(viewFrom_ - notches * width / 10, viewTo_ - notches * width / 10);
        return;
    }
    // Zoom about the time under the pointer, which stays where it is.
    const TScaleMap& map = graph_->Map();
    const double x = event->position().x();
    const double f = std::clamp((x - map.MarginX) / std::max(map.PlotWidth, 1), 0.0, 1.0);
    const double pivot = viewFrom_ + f * width;
    const double newWidth = width * std::pow(0.8, notches);
    SetView(pivot - f * newWidth, pivot + (1 - f) * newWidth);
}

void THistoryForm::ImageMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int x,
                                  int y) {
    const Tgraphex& g = *graph_;
    if (g.OffscreenRendering || g.PointCount() == 0) return;
    if (g.Map().InPlotArea(x, y))
        LabelXYpos->setText(PositionText(g, x, y, keys == Qt::ControlModifier && buttons == 0));
    const QString marks = MarkTextAt(x, y);
    if (marks.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(picture_->mapToGlobal(QPoint(x, y)), marks, picture_);
    if (dragging_) {
        picture_->InvertRectangle(anchor_, corner_);
        corner_ = QPoint(x, y);
        picture_->InvertRectangle(anchor_, corner_);
    }
}

void THistoryForm::ImageMouseDown(Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton || graph_->PointCount() == 0) return;
    dragging_ = true;
    anchor_ = corner_ = QPoint(x, y);
}

void THistoryForm::ImageMouseUp(Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton || !dragging_) return;
    picture_->InvertRectangle(anchor_, corner_);
    dragging_ = false;
    const auto view = ZoomRectangleView(*graph_, anchor_.x(), anchor_.y(), x, y);
    if (!view) return;
    Tgraphex& g = *graph_;
    g.AutoScaleY = false;
    g.ViewYMin = view->yMin;
    g.ViewYMax = view->yMax;
    SetView(axis_.T(view->xMin), axis_.T(view->xMax));
}

// ---- Pictures and data ----

void THistoryForm::SaveImageClick(int kind) {
    const bool bmp = kind == 1;
    const QString chosen = choosers_->SaveFileName(
        this, bmp ? QStringLiteral("BMP files (*.bmp)") : QStringLiteral("JPEG Files (*.jpg)"));
    if (chosen.isEmpty()) return;
    graph_->RenderToFile(
        WithExtension(chosen, bmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg")), kind,
        kExportWidth, kExportHeight);
}

void THistoryForm::ButtonHiresCopyClick() {
    QGuiApplication::clipboard()->setImage(RenderHiresPicture(*graph_));
}

void THistoryForm::ButtonPrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    if (!choosers_->Printer(this, printer)) return;
    PrintGraph(*graph_, printer, 75);
}

void THistoryForm::ButtonSaveDataClick() {
    const QString chosen = choosers_->SaveFileName(this, QStringLiteral("Readings files (*.csv)"));
    if (chosen.isEmpty()) return;
    const THistoryData& d = loaded_.Data;
    QByteArray bytes = ReadingsHeader();
    for (std::size_t i = 0; i < d.Size(); ++i) {
        const double t = static_cast<double>(d.Times[i]);
        if (t >= viewFrom_ && t <= viewTo_) bytes += ReadingsLine(d, i);
    }
    if (const auto failure = WriteWholeFile(WithExtension(chosen, QStringLiteral(".csv")), bytes))
        throw Exception(*failure);
}

} // namespace velk
