#pragma once
// Colours as the settings files hold them: 0x00BBGGRR, or 0x80000000 + a system colour index.

#include <cstdint>
#include <string>

namespace kivo {

inline constexpr std::uint32_t kWindowColour = 0x80000005;
inline constexpr std::uint32_t kWindowTextColour = 0x80000008;

inline constexpr bool IsSystemColour(std::uint32_t colour) {
    return (colour & 0x80000000u) != 0;
}

// Six upper-case hexadecimal digits, red, green, blue ("FF8080"), as HTML writes a colour.
std::string HexRgb(std::uint32_t colour);

// A colour from red, green and blue.
inline constexpr std::uint32_t Rgb(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red & 255) | static_cast<std::uint32_t>(green & 255) << 8 |
           static_cast<std::uint32_t>(blue & 255) << 16;
}

}  // namespace kivo
