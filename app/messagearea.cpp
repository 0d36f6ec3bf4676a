#include "app/messagearea.h"

#include <algorithm>

#include "app/settings.h"

namespace kivo {

bool TMessageArea::Stacked() const {
    if (separate_) return false;
    const int align = settings_.Position.DockAlign;
    return align == 0 || align == 2;
}

bool TMessageArea::CloseIndexWindow() {
    if (!separate_) {
        separate_ = true;
        return true;
    }
    separate_ = false;
    settings_.Position.DockAlign = 2;
    if (settings_.Position.IndexMin) Restore();
    return false;
}

bool TMessageArea::IndexMin() const {
    return settings_.Position.IndexMin && Stacked();
}

int TMessageArea::IndexHeight() const {
    if (IndexMin()) return CollapsedHeight();
    return settings_.Position.IndexHeight.value_or(std::max(areaHeight_ / 2 - 40, 0));
}

void TMessageArea::SetIndexHeight(int height) {
    settings_.Position.IndexHeight = height;
    if (IndexMin() && height > CollapsedHeight()) settings_.Position.IndexMin = false;
}

bool TMessageArea::ToggleZoom() {
    if (!Stacked()) return false;
    if (IndexMin()) {
        Restore();
    } else {
        Collapse();
    }
    return true;
}

bool TMessageArea::FastRead() const {
    return settings_.Mail.FastRead;
}

void TMessageArea::SetFastRead(bool on) {
    settings_.Mail.FastRead = on;
}

void TMessageArea::MessageShown() {
    if (FastRead() && Stacked() && !IndexMin()) Collapse();
}

void TMessageArea::PointerOverIndexTitle() {
    if (FastRead() && IndexMin()) Restore();
}

void TMessageArea::Collapse() {
    settings_.Position.Restore = IndexHeight();
    settings_.Position.IndexMin = true;
}

void TMessageArea::Restore() {
    int height = settings_.Position.Restore;
    // A height that leaves the view nothing (or a nonsense one) gives 2/5 of the area.
    if (areaHeight_ > 0 && (height >= areaHeight_ || height <= CollapsedHeight())) {
        height = areaHeight_ * 2 / 5;
    }
    settings_.Position.IndexHeight = height;
    settings_.Position.IndexMin = false;
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

void TSideDock::Docked(int clientWidth) {
    if (windows_++ == 0 && width_ < 10) width_ = clientWidth / 6;
}

void TSideDock::Undocked() {
    if (windows_ > 0 && --windows_ == 0) width_ = 0;
}

}  // namespace kivo
