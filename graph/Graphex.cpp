#include "graph/Graphex.h"

#include <algorithm>

#include <QPaintDevice>

namespace velk {

namespace {

QString IndexErrorText(long long index, long long max) {
    QString text = QStringLiteral("Index (#) out of range, max= ");
    text.replace(text.indexOf(QLatin1Char('#')), 1, QString::number(index));
    return text + QString::number(max);
}

void Resize(std::vector<double>& values, int n) {
    // A resize that shrinks gives the memory back, as a fresh array of n slots would.
    std::vector<double> fresh(static_cast<std::size_t>(n), 0.0);
    std::copy_n(values.begin(), std::min(values.size(), fresh.size()), fresh.begin());
    values.swap(fresh);
}

void ShiftDown(std::vector<double>& values) {
    std::copy(values.begin() + 1, values.end(), values.begin());
}

void Release(std::vector<double>& values) {
    std::vector<double>().swap(values);
}

} // namespace

void RaiseSeriesIndexError(int series) {
    throw EgraphexError(IndexErrorText(series, MaxSeries));
}

Tgraphex::Tgraphex() : pointCaptions_(static_cast<std::size_t>(MaxSeries * MaxPointCaptions)) {
    LineWidth.Fill(1);
}

Tgraphex::~Tgraphex() = default;

void Tgraphex::CheckSeriesNumber(int s) const {
    if (s < 1 || s > MaxSeries) throw EgraphexError(IndexErrorText(s, MaxSeries));
}

void Tgraphex::CheckSeriesPresent(int s) const {
    CheckSeriesNumber(s);
    if (!seriesPresent_[static_cast<std::size_t>(s - 1)])
        throw EgraphexError(QStringLiteral("Data series does not exist : ") + QString::number(s));
}

void Tgraphex::CheckUncertainty(int s) const {
    CheckSeriesNumber(s);
    const auto k = static_cast<std::size_t>(s - 1);
    if (!seriesHasError_[k] || errPlus_[k].size() != static_cast<std::size_t>(pointCount_) ||
        !seriesPresent_[k])
        throw EgraphexError(QStringLiteral("Data series does not exist : ") + QString::number(s));
}

void Tgraphex::CheckIndex(int i, int max) const {
    if (i < 1 || i > lastIndex_) throw EgraphexError(IndexErrorText(i, max));
}

void Tgraphex::SetPointCount(int n) {
    if (n < 0) throw EgraphexError(IndexErrorText(n, MaxPoints));
    if (n > MaxPoints) {
        SetPointCount(MaxPoints);
        ShiftDown(xValues_);
        for (std::size_t k = 0; k < MaxSeries; ++k) {
            if (!seriesPresent_[k]) continue;
            ShiftDown(yValues_[k]);
            if (seriesHasError_[k]) {
                ShiftDown(errPlus_[k]);
                ShiftDown(errMinus_[k]);
            }
        }
        lastIndex_ = n;
        return;
    }
    Resize(xValues_, n);
    for (std::size_t k = 0; k < MaxSeries; ++k) {
        if (!seriesPresent_[k]) continue;
        Resize(yValues_[k], n);
        if (seriesHasError_[k]) {
            Resize(errPlus_[k], n);
            Resize(errMinus_[k], n);
        }
    }
    pointCount_ = n;
    lastIndex_ = n;
}

void Tgraphex::SetX(int i, double v) {
    if (i < 1) throw EgraphexError(IndexErrorText(i, pointCount_));
    if (i > lastIndex_) SetPointCount(i);
    xValues_[Slot(i)] = v;
}

double Tgraphex::GetX(int i) const {
    CheckIndex(i, pointCount_);
    return xValues_[Slot(i)];
}

void Tgraphex::SetY(int s, int i, double v) {
    // The series number is checked before anything grows, so a refused call changes nothing.
    CheckSeriesNumber(s);
    if (i < 1) throw EgraphexError(IndexErrorText(i, lastIndex_));
    if (i > lastIndex_) SetPointCount(i);
    if (!IsSeriesPresent(s)) SetSeriesPresent(s, true);
    yValues_[static_cast<std::size_t>(s - 1)][Slot(i)] = v;
}

double Tgraphex::GetY(int s, int i) const {
    CheckSeriesPresent(s);
    CheckIndex(i, lastIndex_);
    return yValues_[static_cast<std::size_t>(s - 1)][Slot(i)];
}

bool Tgraphex::IsSeriesPresent(int s) const {
    CheckSeriesNumber(s);
    return seriesPresent_[static_cast<std::size_t>(s - 1)];
}

void Tgraphex::SetSeriesPresent(int s, bool on) {
    CheckSeriesNumber(s);
    const auto k = static_cast<std::size_t>(s - 1);
    if (seriesPresent_[k] == on) return;
    seriesPresent_[k] = on;
    if (on) {
        yValues_[k].assign(static_cast<std::size_t>(pointCount_), 0.0);
        if (seriesHasError_[k]) {
            errPlus_[k].assign(static_cast<std::size_t>(pointCount_), 0.0);
            errMinus_[k].assign(static_cast<std::size_t>(pointCount_), 0.0);
        }
    } else {
        Release(yValues_[k]);
        Release(errPlus_[k]);
        Release(errMinus_[k]);
    }
}

bool Tgraphex::HasUncertainty(int s) const {
    CheckSeriesNumber(s);
    return seriesHasError_[static_cast<std::size_t>(s - 1)];
}

void Tgraphex::SetUncertainty(int s, bool on) {
    CheckSeriesNumber(s);
    const auto k = static_cast<std::size_t>(s - 1);
    if (!seriesPresent_[k] || seriesHasError_[k] == on) return;
    seriesHasError_[k] = on;
    if (on) {
        errPlus_[k].assign(static_cast<std::size_t>(pointCount_), 0.0);
        errMinus_[k].assign(static_cast<std::size_t>(pointCount_), 0.0);
    } else {
        Release(errPlus_[k]);
        Release(errMinus_[k]);
    }
}

double Tgraphex::GetErrPlus(int s, int i) const {
    CheckUncertainty(s);
    CheckIndex(i, pointCount_);
    return errPlus_[static_cast<std::size_t>(s - 1)][Slot(i)];
}

double Tgraphex::GetErrMinus(int s, int i) const {
    CheckUncertainty(s);
    CheckIndex(i, pointCount_);
    return errMinus_[static_cast<std::size_t>(s - 1)][Slot(i)];
}

void Tgraphex::SetErrPlus(int s, int i, double v) {
    CheckUncertainty(s);
    CheckIndex(i, pointCount_);
    errPlus_[static_cast<std::size_t>(s - 1)][Slot(i)] = v;
}

void Tgraphex::SetErrMinus(int s, int i, double v) {
    CheckUncertainty(s);
    CheckIndex(i, pointCount_);
    errMinus_[static_cast<std::size_t>(s - 1)][Slot(i)] = v;
}

const double* Tgraphex::YData(int s) const {
    return IsSeriesPresent(s) ? yValues_[static_cast<std::size_t>(s - 1)].data() : nullptr;
}

const double* Tgraphex::ErrPlusData(int s) const {
    const auto k = static_cast<std::size_t>(s - 1);
    return IsSeriesPresent(s) && seriesHasError_[k] ? errPlus_[k].data() : nullptr;
}

const double* Tgraphex::ErrMinusData(int s) const {
    const auto k = static_cast<std::size_t>(s - 1);
    return IsSeriesPresent(s) && seriesHasError_[k] ? errMinus_[k].data() : nullptr;
}

QString& Tgraphex::PointCaption(int s, int k) {
    CheckSeriesNumber(s);
    if (k < 1 || k > MaxPointCaptions) throw EgraphexError(IndexErrorText(k, MaxPointCaptions));
    return pointCaptions_[static_cast<std::size_t>(MaxPointCaptions * (s - 1) + k - 1)];
}

const QString& Tgraphex::PointCaption(int s, int k) const {
    return const_cast<Tgraphex*>(this)->PointCaption(s, k);
}

QString& Tgraphex::FlatPointCaption(int f) {
    constexpr int count = MaxSeries * MaxPointCaptions;
    if (f < 1 || f > count) throw EgraphexError(IndexErrorText(f, count));
    return pointCaptions_[static_cast<std::size_t>(f - 1)];
}

void Tgraphex::SetNotifier(std::unique_ptr<TNotifySelecGraphForm> notifier) {
    notifier_ = std::move(notifier);
}

void Tgraphex::SetSurface(QPaintDevice* surface) {
    const bool drawingToSurface = canvas_ == surface_;
    surface_ = surface;
    if (surface != nullptr) surfaceSize_ = QSize(surface->width(), surface->height());
    if (drawingToSurface) DirectDrawingTo(surface, surfaceSize_);
}

} // namespace velk
