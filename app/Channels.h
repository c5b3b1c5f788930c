#pragma once
// A pair of values indexed by channel, that is controller address, 1 or 2.

#include <array>
#include <cstddef>

namespace velk {

template <class T> class TChannels {
public:
    T& operator[](int channel) { return items_.at(static_cast<std::size_t>(channel - 1)); }
    const T& operator[](int channel) const {
        return items_.at(static_cast<std::size_t>(channel - 1));
    }

private:
    std::array<T, 2> items_{};
};

} // namespace velk
