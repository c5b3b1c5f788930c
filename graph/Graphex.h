#pragma once
// The graph object of a graph window: a rolling store of up to 16 series sharing 1400
// abscissas, their drawing attributes and the graph-wide settings, and the painter entry
// points that draw it on the window's picture, an off-screen picture or a printer.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QSize>
#include <QString>

#include "graph/GraphColor.h"
#include "graph/GraphexError.h"
#include "graph/NotifySelecGraphForm.h"
#include "graph/ScaleMap.h"

class QPaintDevice;

namespace velk {

inline constexpr int MaxSeries = 16;
inline constexpr int MaxPoints = 1400;
inline constexpr int MaxPointCaptions = 140;

// Text style bits of FontStyle.
enum TFontStyle : std::uint8_t {
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};

// Raises the graph's index error for a series number outside 1..16.
[[noreturn]] void RaiseSeriesIndexError(int series);

// Per-series attribute indexed by series number 1..16 like the rest of the graph.
template <class T> class TSeriesArray {
public:
    T& operator[](int series) { return items_.at(Slot(series)); }
    const T& operator[](int series) const { return items_.at(Slot(series)); }
    void Fill(const T& value) { items_.fill(value); }

private:
    static std::size_t Slot(int series) {
        if (series < 1 || series > MaxSeries) RaiseSeriesIndexError(series);
        return static_cast<std::size_t>(series - 1);
    }
    std::array<T, MaxSeries> items_{};
};

class Tgraphex {
public:
    Tgraphex();
    ~Tgraphex();
    Tgraphex(const Tgraphex&) = delete;
    Tgraphex& operator=(const Tgraphex&) = delete;

    // ---- Point store (indices and series numbers start at 1) ----
    int PointCount() const { return pointCount_; }
    int LastIndex() const { return lastIndex_; }

    // Resizes to n points, or past MaxPoints keeps the latest MaxPoints and drops the oldest.
    void SetPointCount(int n);
    void SetX(int i, double v);
    double GetX(int i) const;
    void SetY(int s, int i, double v);
    double GetY(int s, int i) const;
    bool IsSeriesPresent(int s) const;
    void SetSeriesPresent(int s, bool on);
    bool HasUncertainty(int s) const;
    void SetUncertainty(int s, bool on);
    double GetErrPlus(int s, int i) const;
    double GetErrMinus(int s, int i) const;
    void SetErrPlus(int s, int i, double v);
    void SetErrMinus(int s, int i, double v);

    // Raw slots for the painter and bulk readers: PointCount values, or null when absent.
    const double* XData() const { return xValues_.data(); }
    const double* YData(int s) const;
    const double* ErrPlusData(int s) const;
    const double* ErrMinusData(int s) const;

    // Point captions: series s, point k (1..140), or the flat index 140 x (s - 1) + k.
    QString& PointCaption(int s, int k);
    const QString& PointCaption(int s, int k) const;
    QString& FlatPointCaption(int f);

    // ---- Per-series attributes ----
    TSeriesArray<std::uint8_t> PointType;
    TSeriesArray<std::uint8_t> PointSize;
    TSeriesArray<std::uint8_t> LineWidth;
    TSeriesArray<bool> TiedPoints;
    TSeriesArray<bool> CaptionOverCurve;
    TSeriesArray<TColor> SeriesColor;
    TSeriesArray<QString> SeriesTitle;
    TSeriesArray<bool> ShowInLegend;

    // ---- Graph-wide texts and settings ----
    QString Title;
    QString XCaption;
    QString YCaption;
    std::uint8_t XLabelFormat = 0; // 0 number, 1 date, 2 h-m-s, 3 h-m
    bool AutoScaleX = true;
    bool AutoScaleY = true;
    double ViewXMin = 0, ViewXMax = 0, ViewYMin = 0, ViewYMax = 0;
    bool AutoLabelExponent = true;
    int XLabelExponent = 0;
    int YLabelExponent = 0;
    TColor BackgroundColor = PaletteRelative(ColorWhite);
    TColor BorderColor = ColorBlack;
    int BorderWidth = 1;
    TColor AxesColor = ColorBlack;
    int AxesWidth = 1;
    bool GridX = true;
    bool GridY = true;
    TColor GridColor = PaletteRelative(0xAAAAAA);
    bool ShowOriginX = true;
    bool ShowOriginY = true;
    TColor OriginColor = ColorRed;
    QString FontName = QStringLiteral("Arial");
    int AxisFontSize = 8;
    int CurveFontSize = 7;
    TColor FontColor = ColorBlack;
    std::uint8_t FontStyle = 0; // TFontStyle bits
    int MarginX = 50;
    int MarginY = 50;
    int TickLengthX = 10;
    int TickLengthY = 10;
    double Scale = 1.0;
    int UnitWidth = 1;

    // ---- Drawing state ----
    bool PaintEnabled = false;
    bool OffscreenRendering = false;

    // The scale map of the last paint of the window's picture.
    const TScaleMap& Map() const { return map_; }
    // The pick circle now drawn on the window's picture.
    void MarkPick(int x, int y) { map_.MarkerX = x, map_.MarkerY = y; }

    // ---- Notifier (owned; a new one replaces and destroys the old) ----
    void SetNotifier(std::unique_ptr<TNotifySelecGraphForm> notifier);
    TNotifySelecGraphForm* Notifier() const { return notifier_.get(); }

    // ---- Drawing ----
    // The window's picture. May be null; its size is that of the last one set.
    void SetSurface(QPaintDevice* surface);
    QPaintDevice* Surface() const { return surface_; }
    QSize SurfaceSize() const { return surfaceSize_; }
    // Where Paint draws now, and the size of the picture there: the surface, or an off-screen
    // picture or a printer.
    QPaintDevice* Canvas() const { return canvas_; }
    void DirectDrawingTo(QPaintDevice* device, QSize size) { canvas_ = device, canvasSize_ = size; }

    // Draws the whole graph on the canvas; nothing when there are no points or no canvas. A
    // paint of the window's picture keeps its scale map, and the view and label exponents it
    // chose become the graph's own; an off-screen paint changes neither.
    void Paint();
    // Called after every Paint that drew, with the canvas it drew on and the scale map of that
    // paint; the window refreshes its picture from here, so no caller has to remember to.
    std::function<void(QPaintDevice* canvas, const TScaleMap& map)> OnPainted;

    // Saves the graph as a width x height picture: kind 1 a 24-bit BMP, kind 2 a JPEG of
    // quality 80. Raises EgraphexError when the size is not positive or the file cannot be
    // written; the painter settings are put back in every case.
    void RenderToFile(const QString& fileName, int kind, int width, int height);

private:
    void CheckSeriesNumber(int s) const;
    void CheckSeriesPresent(int s) const;
    void CheckUncertainty(int s) const;
    void CheckIndex(int i, int max) const;
    std::size_t Slot(int i) const {
        return static_cast<std::size_t>((i < MaxPoints ? i : MaxPoints) - 1);
    }

    int pointCount_ = 0;
    int lastIndex_ = 0;
    std::vector<double> xValues_;
    std::array<std::vector<double>, MaxSeries> yValues_;
    std::array<std::vector<double>, MaxSeries> errPlus_;
    std::array<std::vector<double>, MaxSeries> errMinus_;
    std::array<bool, MaxSeries> seriesPresent_{};
    std::array<bool, MaxSeries> seriesHasError_{};
    std::vector<QString> pointCaptions_;

    std::unique_ptr<TNotifySelecGraphForm> notifier_;
    QPaintDevice* surface_ = nullptr;
    QPaintDevice* canvas_ = nullptr;
    QSize surfaceSize_;
    QSize canvasSize_;
    TScaleMap map_;
};

// Off-screen drawing of a graph (file, clipboard, printer): directs the drawing to `target`
// with the sizes, margins, widths and fonts scaled, and on destruction puts the window's
// settings back, errors included. The window's scale map is not touched by such a paint.
class TOffscreenRendering {
public:
    TOffscreenRendering(Tgraphex& graph, QPaintDevice* target, int width, int height, double scale);
    ~TOffscreenRendering();
    TOffscreenRendering(const TOffscreenRendering&) = delete;
    TOffscreenRendering& operator=(const TOffscreenRendering&) = delete;

    // Paper: white background, black lines, and font sizes by the printed fraction f of the
    // page (below 0.3: 1.7 f times the default sizes; below 0.6: 2 f times; else the defaults).
    void ForPaper(double f);

private:
    struct TColours {
        TColor background, border, axes, origin, grid;
    };

    Tgraphex& graph_;
    int marginX_, marginY_, borderWidth_, axesWidth_;
    std::optional<TColours> paperColours_; // the window's colours, while drawing for paper
};

} // namespace velk
