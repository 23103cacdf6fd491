#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// A colour as the game carries it: 0x00BBGGRR.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

namespace net {

// Colour text: one of the sixteen names ("clBlack") when the colour has one,
// else "$" and eight upper-case hexadecimal digits of 0x00BBGGRR.
QString ColorToString(TColor color);

// Reads colour text: a colour name in any letter case, or "$" and up to eight
// hexadecimal digits. Nothing when the text is no colour.
std::optional<TColor> StringToColor(const QString& text);

} // namespace net
