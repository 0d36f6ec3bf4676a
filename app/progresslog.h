#pragma once
// The progress and error log of the main window: the HTML fragments that every long operation
// appends through ErrorLevel, shown in the progress window, copied as text or saved as an HTML
// file. It also remembers the level of the last entry, which the pipelines and the composer
// read back. It never shows anything itself: the window draws Html() after each entry.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

namespace kivo {

// An HTML fragment of the log as plain text: "<br>" ends a line, "<li>" starts one, other tags
// go, and the entities the program writes ("&amp;", "&lt;", "&gt;", "&quot;", "&nbsp;") are
// decoded.
std::string LogFragmentText(std::string_view html);

class TProgressLog {
  public:
    enum Level { lvPlain = 0, lvProgress = 1, lvError = 2, lvDetail = 3 };
    using Clock = std::function<DateTime()>;

    static constexpr std::string_view kFirstFragment = "<b>Progress and error messages</b><br><br>";
    static constexpr std::string_view kWindowTitle = "Kivo Progress Window";
    // The file type offered by "SAVE".
    static constexpr std::string_view kSaveFileType = "HTML file (*.html)";

    explicit TProgressLog(Clock clock = DateTime::Now);

    // Appends the fragments of one entry and remembers its level; an empty text only sets
    // the remembered level. A level outside 0..3 is logged as a plain entry.
    void ErrorLevel(int level, std::string_view text);

    int LastLevel() const { return lastLevel_; }
    void SetLastLevel(int level) { lastLevel_ = level; }

    const std::vector<std::string>& Fragments() const { return fragments_; }
    std::string Html() const;
    // Grows with every entry, so the window knows when to redraw.
    std::uint64_t Revision() const { return revision_; }

    // "COPY": the plain text of the selected fragments [first, last], or of all of them
    // when the selection is empty (first > last) or out of range.
    std::string CopyText() const;
    std::string CopyText(std::size_t first, std::size_t last) const;
    // "SAVE": the log as an HTML page, replacing the file atomically; throws
    // std::system_error when it cannot be written.
    void Save(const std::filesystem::path& file) const;

    // The progress window: "Pr&ogress Messages..." (F12) toggles it, "&View progress
    // messages..." shows it; both set the remembered level to 0.
    bool WindowVisible() const { return visible_; }
    void ToggleWindow();
    void ShowWindow();
    void CloseWindow() { visible_ = false; }

  private:
    Clock clock_;
    std::vector<std::string> fragments_{std::string(kFirstFragment)};
    int lastLevel_ = 0;
    bool visible_ = false;
    std::uint64_t revision_ = 0;
};

}  // namespace kivo
