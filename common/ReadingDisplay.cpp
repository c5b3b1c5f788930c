#include "common/ReadingDisplay.h"

#include <algorithm>
#include <cmath>

namespace velk {

int LevelBarPosition(double l) {
    // Halves to even, as every rounding of the program.
    return IsLevel(l) ? static_cast<int>(std::nearbyint(std::clamp(l, 0.0, 100.0))) : 0;
}

} // namespace velk
