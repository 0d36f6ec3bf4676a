#include "app/progresslog.h"

#include <utility>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

std::string LogFragmentText(std::string_view html) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&nbsp;", ' '}};
    std::string text;
    text.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const std::size_t end = html.find('>', i);
            if (end == std::string_view::npos) break;  // a cut-off tag shows nothing
            const std::string tag = Trim(LowerCase(html.substr(i + 1, end - i - 1)));
            if (tag == "br" || tag == "br/" || tag == "br /") text += '\n';
            if (tag == "li") text += "  ";
            i = end + 1;
            continue;
        }
        bool decoded = false;
        if (c == '&') {
            for (const auto& [entity, ch] : kEntities) {
                if (html.compare(i, entity.size(), entity) == 0) {
                    text += ch;
                    i += entity.size();
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded) text += html[i++];
    }
    return text;
}

TProgressLog::TProgressLog(Clock clock) : clock_(std::move(clock)) {}

void TProgressLog::ErrorLevel(int level, std::string_view text) {
    lastLevel_ = level;
    if (text.empty()) return;
    if (level == lvDetail) {
        fragments_.push_back("<ul><li><b>" + std::string(text) + "</b></ul><br>");
    } else {
        const std::string when = FormatProgramDate(clock_());
        const char* head = level == lvProgress
                               ? "<br><font size=\"+1\" color=\"#006600\">Progress on "
                           : level == lvError ? "<br><font size=\"+1\" color=\"#660000\">Error on "
                                              : "<br><font size=\"+1\" color=\"#000000\">";
        fragments_.push_back(head + when + "</font><br>");
        fragments_.push_back(std::string(text) + "<br>");
    }
    ++revision_;
}

std::string TProgressLog::Html() const {
    std::string html;
    for (const std::string& fragment : fragments_) html += fragment;
    return html;
}

std::string TProgressLog::CopyText() const {
    return CopyText(1, 0);
}

std::string TProgressLog::CopyText(std::size_t first, std::size_t last) const {
    if (first > last || last >= fragments_.size()) {
        first = 0;
        last = fragments_.size() - 1;
    }
    std::string text;
    for (std::size_t i = first; i <= last; ++i) text += LogFragmentText(fragments_[i]);
    return text;
}

void TProgressLog::Save(const std::filesystem::path& file) const {
    WriteFileAtomic(file, "<html><head><title>" + std::string(kWindowTitle) +
                              "</title></head><body>\r\n" + Html() + "\r\n</body></html>\r\n");
}

void TProgressLog::ToggleWindow() {
    visible_ = !visible_;
    lastLevel_ = 0;
}

void TProgressLog::ShowWindow() {
    visible_ = true;
    lastLevel_ = 0;
}

}  // namespace kivo
