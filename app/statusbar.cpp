#include "app/statusbar.h"

#include <algorithm>
#include <utility>

#include "store/KivoIndex.h"

namespace kivo {

namespace {
// Room for the panel's bevel on either side of the text.
constexpr int kPanelPadding = 8;
}  // namespace

std::array<TProgressMenuItem, 5> ProgressMenu(bool dialled) {
    return {{{"&Pause"},
             {"C&ontinue"},
             {"&Cancel"},
             {"&Disconnect Modem", dialled},
             {"&View progress messages..."}}};
}

TStatusBar::TStatusBar(TextWidth textWidth) : textWidth_(std::move(textWidth)) {
    if (!textWidth_) {
        textWidth_ = [](std::string_view text) { return static_cast<int>(text.size()) * 7; };
    }
}

void TStatusBar::SetText(int panel, std::string_view text) {
    if (panel < 0 || panel > 3) return;
    texts_[panel] = text;
    if (panel == spDetails) {
        const int needed = text.empty() ? 0 : textWidth_(text) + kPanelPadding;
        widths_[panel] = std::max(kWidths[panel], needed);
    }
}

const std::string& TStatusBar::Text(int panel) const {
    static const std::string kNone;
    return panel < 0 || panel > 3 ? kNone : texts_[panel];
}

int TStatusBar::Width(int panel) const {
    return panel < 0 || panel > 3 ? 0 : widths_[panel];
}

void TStatusBar::ShowMessageCount(const TFrmIndex& index) {
    SetText(spCount, index.MessageCountText());
}

void TStatusBar::SetProgress(int percent) {
    percent_ = std::clamp(percent, 0, 100);
}

std::string TStatusBar::ProgressText() const {
    return progressTextShown_ ? std::to_string(percent_) + "%" : std::string();
}

}  // namespace kivo
