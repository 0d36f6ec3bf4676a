#include "app/terminalfeedback.h"

#include <ostream>

namespace kivo {

void TTerminalFeedback::ErrorLevel(int level, std::string_view text) {
    lastLevel_ = level;
    if (text.empty()) return;
    if (level == 2) ++errors_;
    static constexpr std::string_view kPrefix[] = {"", "", "error: ", "  "};
    std::string line = LogFragmentText(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // A line break inside an entry continues it, indented; entries break lines with "<br>"
    // and a line end together, which is one break on the terminal.
    std::string shown(kPrefix[level >= 0 && level <= 3 ? level : 0]);
    for (char c : line) {
        if (c == '\r' || (c == '\n' && shown.ends_with("\n  "))) continue;
        shown += c;
        if (c == '\n') shown += "  ";
    }
    err_ << shown << '\n' << std::flush;
}

void TTerminalFeedback::ShowTip(std::string_view text) {
    ++tips_;
    std::string line(text);
    for (char& c : line)
        if (c == '\n') c = ' ';
    err_ << line << '\n' << std::flush;
}

bool TTerminalFeedback::AskPassword(std::string_view caption, std::string_view prompt,
                                    std::string& password) {
    if (platform_.InputPassword(caption, prompt, password)) return true;
    ErrorLevel(2, "No password for " + std::string(caption) +
                      ": store one with 'kivo account set' or run on a terminal");
    return false;
}

}  // namespace kivo
