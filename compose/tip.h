#pragma once
// Where and how a confirmation tip is drawn: the short notice the windows show at the mouse
// pointer instead of a message box. The window layer draws it; a window keeps at most one
// tip and releases it when its own timer fires.

#include <cstdint>

namespace kivo {

// Aqua (red 0, green 255, blue 255) as a stored colour value: blue in the high byte.
inline constexpr std::uint32_t kTipColour = 0x00FFFF00;

// How long a tip stays, in milliseconds, in the windows that show tips.
inline constexpr int kComposerTipMs = 4000;
inline constexpr int kAddressEditorTipMs = 3000;

struct TipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TipRect&) const = default;
};

// The tip window for text laid out (word-wrapped within the screen width) as
// textWidth x textHeight, shown at the screen point (x, y): 24 pixels below the point,
// 6 pixels wider and 2 higher than the text.
TipRect TipWindowRect(int x, int y, int textWidth, int textHeight);

}  // namespace kivo
