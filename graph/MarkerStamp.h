#pragma once
// A point marker rasterised once into pixel offsets and stamped at every point: a paint
// draws thousands of identical markers, and the stamp covers exactly the pixels the shape
// drawn in place would.

#include <array>
#include <cstdint>
#include <vector>

#include <QPoint>

namespace velk {

class TMarkerStamp {
public:
    // Rasterises the shape drawn with a pen of `penWidth` pixels.
    TMarkerStamp(int pointType, int r, int penWidth);

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
    std::array<std::vector<QPoint>, 4> offsets_;
};

} // namespace velk
