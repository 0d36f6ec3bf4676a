#include "app/terminalfeedback.h"

#include <ostream>

#include "base/bytes.h"
#include "base/terminaltext.h"

namespace kivo {

void TTerminalFeedback::StatusText(int panel, std::string_view text) {
    if (panel != 0 || verbosity_ != TVerbosity::Verbose || text.empty()) return;
    if (text == lastStatus_) return;
    lastStatus_ = text;
    err_ << VisibleControls(text) << '\n' << std::flush;
}

std::string TerminalLogEntry(int level, std::string_view text) {
    static constexpr std::string_view kPrefix[] = {"", "", "error: ", "  "};
    // A line break inside an entry continues it, indented; entries break lines with "<br>"
    // and a line end together, which is one break on the terminal. Text from mail in an
    // entry (a subject, a server's reply) shows its control characters.
    std::string shown(kPrefix[level >= 0 && level <= 3 ? level : 0]);
    bool first = true;
    for (const std::string& part : SplitLines(LogFragmentText(text))) {
        if (part.empty()) continue;
        if (!first) shown += "\n  ";
        shown += VisibleControls(part);
        first = false;
    }
    return shown;
}

void TTerminalFeedback::ErrorLevel(int level, std::string_view text) {
    lastLevel_ = level;
    if (text.empty()) return;
    if (level == 2) ++errors_;
    if (level != 2 && verbosity_ == TVerbosity::Quiet) return;
    err_ << TerminalLogEntry(level, text) << '\n' << std::flush;
}

void TTerminalFeedback::ShowTip(std::string_view text) {
    ++tips_;
    err_ << FieldText(text) << '\n' << std::flush;
}

bool TTerminalFeedback::AskPassword(std::string_view caption, std::string_view prompt,
                                    std::string& password) {
    if (platform_.InputPassword(caption, prompt, password)) return true;
    ErrorLevel(2, "No password for " + std::string(caption) +
                      ": store one with 'kivo account set' or run on a terminal");
    return false;
}

}  // namespace kivo
