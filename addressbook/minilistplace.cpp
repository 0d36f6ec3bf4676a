#include "addressbook/minilistplace.h"

#include <algorithm>

#include "base/bytes.h"

namespace kivo {

namespace {

constexpr int kDockTopSlack = 20;
constexpr int kDockLeftSlack = 4;
constexpr int kFloatOffset = 16;

// Moves a rectangle's corner so the whole of it lies on the screen (its top left wins when
// it is larger than the screen).
TPoint KeepOnScreen(int left, int top, int width, int height, const TRect& screen) {
    left = std::max(screen.left, std::min(left, screen.Right() - width));
    top = std::max(screen.top, std::min(top, screen.Bottom() - height));
    return {left, top};
}

}  // namespace

TDockSide DockSideOf(std::string_view docked) {
    const std::string upper = UpperCase(TrimView(docked));
    if (upper == "DR") return TDockSide::Right;
    if (upper == "F") return TDockSide::Floating;
    return TDockSide::Left;
}

std::string_view DockedText(TDockSide side) {
    switch (side) {
        case TDockSide::Right:
            return "DR";
        case TDockSide::Floating:
            return "F";
        case TDockSide::Left:
            break;
    }
    return "DL";
}

TDockAlign DockAlignOf(int align) {
    return align >= daTop && align <= daRight ? static_cast<TDockAlign>(align) : daTop;
}

TDockAlign AlignFromPlace(bool sideBySide, int offsetInDock) {
    if (sideBySide) return offsetInDock > kDockLeftSlack ? daRight : daLeft;
    return offsetInDock >= kDockTopSlack ? daBottom : daTop;
}

TRect BesideComposer(const TRect& composer, int width, int height, const TRect& screen) {
    const bool roomRight = composer.Right() + width <= screen.Right();
    const int left = roomRight ? composer.Right() : composer.left - width;
    const TPoint at = KeepOnScreen(left, composer.top, width, height, screen);
    return {at.x, at.y, width, height};
}

TPoint BackWindowAt(const TRect& list, int width, int height, const TRect& screen) {
    return KeepOnScreen(list.Right(), list.Bottom() - height, width, height, screen);
}

TPoint FloatPlaceOnClose(TPoint mainWindow) {
    return {mainWindow.x - kFloatOffset, mainWindow.y + kFloatOffset};
}

TListPlace PlaceToKeep(TDockSide side, const TRect& geometry, bool sideBySide,
                       std::optional<int> offsetInDock, bool visible, const TListPlace& before) {
    TListPlace place = before;
    place.docked = DockedText(side);
    place.width = geometry.width;
    place.height = geometry.height;
    place.visible = visible;
    if (side == TDockSide::Floating) {
        place.left = geometry.left;
        place.top = geometry.top;
    } else if (offsetInDock) {
        place.align = AlignFromPlace(sideBySide, *offsetInDock);
    }
    return place;
}

}  // namespace kivo
