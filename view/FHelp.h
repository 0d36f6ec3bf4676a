#pragma once
// The help window (`TFrmHelp`): the program's help pages from the help folder, starting at
// "index.html", with "Contents", "Back" and links between pages. It keeps the page history
// (the current page first) and shows a built-in replacement page when a page is missing. It
// reaches the screen only through TFrmHelpView; it never loads anything from the network
// (a web link goes to the desktop's browser).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"

namespace kivo {

// Where the replacement page sends the user for help on-line.
inline constexpr std::string_view kOnlineHelpUrl = "https://kivo.example.org/help/";

// The page shown when a help page is missing.
std::string HelpReplacementPage();

class TFrmHelpView {
  public:
    virtual ~TFrmHelpView() = default;
    // The display engine's default font (the main window's message font, 10 points).
    virtual void SetDefaultFont(std::string_view name, int size) = 0;
    virtual void LoadFile(const std::filesystem::path& file) = 0;
    virtual void LoadHtml(std::string_view html) = 0;
};

class TFrmHelp {
  public:
    // Borrows the view and the platform; `helpFolder` is the program folder's Help/.
    TFrmHelp(std::filesystem::path helpFolder, TFrmHelpView& view, Platform& platform);

    // The window is shown: the message font becomes the default font, then Contents.
    void Show(std::string_view messageFont);
    // "Contents": index.html, or the replacement page when it is missing.
    void ContentsClick();
    // "Back": the previous page, when there is one; the replacement page when it was
    // deleted meanwhile.
    void BackClick();
    // A link was clicked on the page. Web and mail addresses open in the desktop's
    // programs; a page of the help folder is loaded; anything else is refused. True when
    // something was opened.
    bool LinkClick(std::string_view href);

    // File names, the current page first.
    const std::vector<std::filesystem::path>& History() const { return history_; }

  private:
    // Loads a page and puts it at the front of the history; false (and the replacement
    // page) when the file does not exist.
    bool LoadPage(const std::filesystem::path& file);

    std::filesystem::path folder_;
    TFrmHelpView& view_;
    Platform& platform_;
    std::vector<std::filesystem::path> history_;
};

}  // namespace kivo
