#pragma once
// Graph colours are stored as 0x00BBGGRR; a high byte of 0x02 marks a palette-relative
// colour, which draws with the same red, green and blue.

#include <cstdint>

#include <QColor>

namespace velk {

using TColor = std::uint32_t;

inline constexpr TColor ColorBlack = 0x00000000;
inline constexpr TColor ColorWhite = 0x00FFFFFF;
inline constexpr TColor ColorRed = 0x000000FF;

inline constexpr TColor PaletteRelative(TColor color) {
    return 0x02000000u | (color & 0xFFFFFFu);
}

inline QColor ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

inline TColor FromQColor(const QColor& color) {
    return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
           (static_cast<TColor>(color.blue()) << 16);
}

} // namespace velk
