#include "app/messagearea.h"

#include <algorithm>

#include "app/settings.h"

namespace kivo {

void TMessageArea::Load(const TPositionSettings& position) {
    dockAlign_ = position.DockAlign;
    if (position.IndexHeight) indexHeight_ = *position.IndexHeight;
    indexMin_ = false;
    if (position.IndexMin && Stacked()) Collapse();
    // A collapsed index returns to the saved height, not to the collapsed one.
    restore_ = position.IndexMin ? position.Restore : indexHeight_;
}

void TMessageArea::Save(TPositionSettings& position) const {
    position.DockAlign = dockAlign_;
    position.IndexMin = indexMin_;
    position.Restore = restore_;
    position.IndexHeight = indexMin_ ? restore_ : indexHeight_;
}

void TMessageArea::SetTitleHeight(int height) {
    titleHeight_ = height;
    if (indexMin_) indexHeight_ = titleHeight_ + kCollapsedExtra;
}

void TMessageArea::SetIndexHeight(int height) {
    indexHeight_ = height;
    // Dragging the splitter of a collapsed index opens it at the dragged height.
    if (indexMin_ && height > titleHeight_ + kCollapsedExtra) {
        indexMin_ = false;
        restore_ = height;
    }
}

bool TMessageArea::ToggleZoom() {
    if (!Stacked()) return false;
    if (indexMin_) {
        Restore();
    } else {
        Collapse();
    }
    return true;
}

void TMessageArea::MessageShown() {
    if (fastRead_ && Stacked() && !indexMin_) Collapse();
}

void TMessageArea::PointerOverIndexTitle() {
    if (fastRead_ && indexMin_) Restore();
}

void TMessageArea::Collapse() {
    restore_ = indexHeight_;
    indexHeight_ = titleHeight_ + kCollapsedExtra;
    indexMin_ = true;
}

void TMessageArea::Restore() {
    indexHeight_ = restore_;
    // A height that leaves the view nothing (or a nonsense one) gives 2/5 of the area.
    if (areaHeight_ > 0 &&
        (restore_ >= areaHeight_ || restore_ <= titleHeight_ + kCollapsedExtra)) {
        indexHeight_ = areaHeight_ * 2 / 5;
    }
    indexMin_ = false;
}

bool ChangeMessageFontSize(TProgramSettings& program, int delta) {
    const int size =
        std::clamp(program.MessageFontSize + delta, kMinMessageFontSize, kMaxMessageFontSize);
    if (size == program.MessageFontSize) return false;
    program.MessageFontSize = size;
    return true;
}

int CollapsedButtonsWidth(int handleWidth) {
    return handleWidth + 4;
}

int WidenedButtonsWidth(int toolbarWidth, int pictureWidth, int handleWidth) {
    return std::max(toolbarWidth - pictureWidth - 10, CollapsedButtonsWidth(handleWidth));
}

}  // namespace kivo
