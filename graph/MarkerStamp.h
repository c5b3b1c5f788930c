#pragma once
// A point marker rasterised once into pixel offsets and stamped at every point: a paint
// draws thousands of identical markers, and the stamp covers exactly the pixels the shape
// drawn in place would. Markers too large to stamp are left to be drawn in place.

#include <array>
#include <cstdint>
#include <vector>

#include <QPoint>

namespace velk {

class TMarkerStamp {
public:
    // Rasterises the shape drawn with a pen of `penWidth` pixels, unless it reaches further
    // than MaxReach from its centre.
    TMarkerStamp(int pointType, int r, int penWidth);

    // Farthest a stamped marker reaches: its scratch picture stays small whatever the size
    // of the picture or the marker (a marker of a huge picture can be larger than memory).
    static constexpr int MaxReach = 64;
    // False for a marker too large to stamp; Offsets are then empty.
    bool Stamped() const { return stamped_; }

    int PointType() const { return pointType_; }
    int R() const { return r_; }
    int PenWidth() const { return penWidth_; }
    // Pixels around a centre of the given parity (the triangle's rounding depends on it).
    const std::vector<QPoint>& Offsets(int x = 0, int y = 0) const {
        return offsets_[static_cast<std::size_t>((x & 1) + 2 * (y & 1))];
    }

    // Appends the marker's pixels centred on (x, y).
    void AppendTo(std::vector<QPoint>& pixels, int x, int y) const;

private:
    int pointType_, r_, penWidth_;
    bool stamped_ = true;
    std::array<std::vector<QPoint>, 4> offsets_;
};

} // namespace velk
