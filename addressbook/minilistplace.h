#pragma once
// Where the mini address list sits: docked at the left or right of the main window or
// floating, its place inside the dock, its size, and where it goes when a composer links
// itself (beside the composer, on the screen) or when it is closed while docked. The window
// layer measures; these rules decide, and what they decide is what kivo.ini's [Position]
// "AdrDocked", "AdrAlign", "AdrWidth", "AdrHeight", "AdrLeft", "AdrTop" and "AdrVisible" keep.

#include <optional>
#include <string>
#include <string_view>

namespace kivo {

struct TRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool operator==(const TRect&) const = default;
};

struct TPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TPoint&) const = default;
};

enum class TDockSide { Left, Right, Floating };

// Positions inside a dock: top and bottom stack the docked windows, left and right put them
// side by side.
enum TDockAlign { daTop = 0, daLeft = 1, daBottom = 2, daRight = 3 };

// "DL" the left dock, "DR" the right one, "F" floating, in any letter case; anything else is
// the default, the left dock.
TDockSide DockSideOf(std::string_view docked);
std::string_view DockedText(TDockSide side);
// Any value but the four known ones means the top.
TDockAlign DockAlignOf(int align);

// The alignment to keep for a window found in a dock: when the dock stacks its windows, top
// unless it sits 20 pixels or more below the dock's top; when they stand side by side, right
// when it sits more than 4 pixels from the dock's left.
TDockAlign AlignFromPlace(bool sideBySide, int offsetInDock);

// The list's place as kivo.ini keeps it.
struct TListPlace {
    std::string docked = "DL";
    int align = daBottom;
    int width = 115;
    int height = 214;
    int left = 0;
    int top = 0;
    bool visible = true;

    TDockSide Side() const { return DockSideOf(docked); }
    bool operator==(const TListPlace&) const = default;
};

// A linked composer shows the list beside it: on its right when the screen has room there,
// otherwise on its left; level with its top; always wholly on the screen.
TRect BesideComposer(const TRect& composer, int width, int height, const TRect& screen);

// The small "Click to return to the..." window stands at the list's lower right corner,
// just outside the list, on the screen.
TPoint BackWindowAt(const TRect& list, int width, int height, const TRect& screen);

// Closing the docked list makes it float first, 16 pixels left of the main window's left
// edge and 16 pixels below its top edge.
TPoint FloatPlaceOnClose(TPoint mainWindow);

// The place to keep when the program ends: the side it is on, its alignment worked out from
// where it sits among the dock's windows (kept as it was when it is alone there), and its
// size; a floating list keeps its position too.
TListPlace PlaceToKeep(TDockSide side, const TRect& geometry, bool sideBySide,
                       std::optional<int> offsetInDock, bool visible, const TListPlace& before);

}  // namespace kivo
