#include "view/FHelp.h"

#include <system_error>

#include "base/bytes.h"
#include "view/KivoMsg.h"

namespace kivo {

namespace fs = std::filesystem;

std::string HelpReplacementPage() {
    return "<b>Help file (help\\index.html) not found!<b><br><br>The help pages can be read "
           "on-line at <a href=\"" +
           std::string(kOnlineHelpUrl) + "\">" + std::string(kOnlineHelpUrl) + "</a>.";
}

TFrmHelp::TFrmHelp(fs::path helpFolder, TFrmHelpView& view, Platform& platform)
    : folder_(std::move(helpFolder)), view_(view), platform_(platform) {}

void TFrmHelp::Show(std::string_view messageFont) {
    view_.SetDefaultFont(messageFont, 10);
    ContentsClick();
}

void TFrmHelp::ContentsClick() {
    LoadPage(folder_ / "index.html");
}

void TFrmHelp::BackClick() {
    if (history_.size() <= 1) return;
    const fs::path previous = history_[1];
    history_.erase(history_.begin(), history_.begin() + 2);
    LoadPage(previous);
}

bool TFrmHelp::LinkClick(std::string_view href) {
    if (IsOpenableUrl(href)) return platform_.ShellOpen(href);
    std::string_view target = TrimView(href);
    // An anchor within a page is the display engine's business.
    target = target.substr(0, target.find('#'));
    if (target.empty() || target.find(':') != std::string_view::npos) return false;
    const fs::path base = history_.empty() ? folder_ : history_.front().parent_path();
    const fs::path file = (base / target).lexically_normal();
    // Only pages inside the help folder: a link never reaches other files.
    const fs::path relative = file.lexically_relative(folder_.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return false;
    return LoadPage(file);
}

bool TFrmHelp::LoadPage(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        view_.LoadHtml(HelpReplacementPage());
        return false;
    }
    view_.LoadFile(file);
    history_.insert(history_.begin(), file);
    return true;
}

}  // namespace kivo
