#include "history/Decimate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velk {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Both points of a column stay within its pixel: the painter rounds them to the same one.
constexpr double kSlot = 0.2;

struct TExtremes {
    float min = 0, max = 0;
    std::size_t minAt = 0, maxAt = 0;
    bool any = false;
};

void Push(TDecimated& out, const std::bitset<kQuantityCount>& asked, double time,
          const auto& value) {
    out.Times.push_back(time);
    for (std::size_t q = 0; q < kQuantityCount; ++q)
        if (asked[q]) out.Values[q].push_back(value(q));
}

void PushBreak(TDecimated& out, const std::bitset<kQuantityCount>& asked, double time) {
    Push(out, asked, time, [](std::size_t) { return kNaN; });
}

void PushReading(TDecimated& out, const THistoryData& data,
                 const std::bitset<kQuantityCount>& asked, std::size_t i) {
    Push(out, asked, static_cast<double>(data.Times[i]),
         [&](std::size_t q) { return static_cast<double>(data.Values[q][i]); });
}

} // namespace

TDecimated Decimate(const THistoryData& data, double from, double to, int columns,
                    std::bitset<kQuantityCount> asked, int maxPoints) {
    TDecimated out;
    const auto& t = data.Times;
    if (t.empty() || !(to > from) || columns < 2 || maxPoints < 6) return out;
    const double gap = static_cast<double>(data.GapLimit);
    const auto at = [&](std::size_t i) { return static_cast<double>(t[i]); };
    // The readings in the span: [lo, hi).
    const auto lo = static_cast<std::size_t>(
        std::lower_bound(t.begin(), t.end(), from, [](std::int64_t a, double b) { return a < b; }) -
        t.begin());
    const auto hi = static_cast<std::size_t>(
        std::upper_bound(t.begin(), t.end(), to, [](double a, std::int64_t b) { return a < b; }) -
        t.begin());
    const std::size_t inSpan = hi - lo;
    const bool before = lo > 0 && lo < t.size() && at(lo) - at(lo - 1) <= gap;
    const bool after = hi > 0 && hi < t.size() && at(hi) - at(hi - 1) <= gap;

    // Columns, or runs of columns, each giving two points, and the two neighbours.
    const std::size_t buckets = std::min<std::size_t>(static_cast<std::size_t>(columns),
                                                      static_cast<std::size_t>(maxPoints - 2) / 2);
    std::size_t breaks = 0;
    for (std::size_t i = lo + 1; i < hi && breaks <= buckets; ++i)
        breaks += at(i) - at(i - 1) > gap;
    if (inSpan <= 2 * buckets && inSpan + breaks + 2 <= static_cast<std::size_t>(maxPoints)) {
        out.Raw = true;
        out.Times.reserve(inSpan + breaks + 2);
        if (before) PushReading(out, data, asked, lo - 1);
        for (std::size_t i = lo; i < hi; ++i) {
            if (i > lo && at(i) - at(i - 1) > gap) PushBreak(out, asked, (at(i) + at(i - 1)) / 2);
            PushReading(out, data, asked, i);
        }
        if (after) PushReading(out, data, asked, hi);
        return out;
    }

    // Bucket k holds the readings whose column (as the painter rounds it) is k: the times in
    // [from + (k - 0.5) step, from + (k + 0.5) step).
    const double step = (to - from) / static_cast<double>(buckets - 1);
    out.Times.reserve(2 * buckets + 2);
    for (std::size_t q = 0; q < kQuantityCount; ++q)
        if (asked[q]) out.Values[q].reserve(2 * buckets + 2);
    if (before) PushReading(out, data, asked, lo - 1);
    std::array<TExtremes, kQuantityCount> ext{};
    std::size_t i = lo;
    for (std::size_t k = 0; k < buckets; ++k) {
        const double centre = from + static_cast<double>(k) * step;
        const double end =
            k + 1 == buckets ? std::numeric_limits<double>::infinity() : centre + step / 2;
        const std::size_t first = i;
        for (auto& e : ext)
            e.any = false;
        for (; i < hi && at(i) < end; ++i) {
            for (std::size_t q = 0; q < kQuantityCount; ++q) {
                if (!asked[q]) continue;
                const float v = data.Values[q][i];
                if (std::isnan(v)) continue;
                TExtremes& e = ext[q];
                if (!e.any) {
                    e = {v, v, i, i, true};
                    continue;
                }
                if (v < e.min) e.min = v, e.minAt = i;
                if (v > e.max) e.max = v, e.maxAt = i;
            }
        }
        if (i == first) {
            // No reading in this column: an outage only when the step across it is one.
            const bool outage = first == 0 || first >= t.size() || at(first) - at(first - 1) > gap;
            if (outage && first > lo && first < hi) PushBreak(out, asked, centre);
            continue;
        }
        for (int slot = 0; slot < 2; ++slot) {
            Push(out, asked, centre + (slot == 0 ? -kSlot : kSlot) * step, [&](std::size_t q) {
                const TExtremes& e = ext[q];
                if (!e.any) return kNaN;
                const bool minFirst = e.minAt <= e.maxAt;
                return static_cast<double>((slot == 0) == minFirst ? e.min : e.max);
            });
        }
    }
    if (after) PushReading(out, data, asked, hi);
    return out;
}

} // namespace velk
