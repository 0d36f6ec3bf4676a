#pragma once
// The main window's status bar as data: four panels (the current activity, the progress bar,
// the message count, transfer details) and the progress bar inside panel 1. The window draws
// what this holds; the text width of panel 3 comes from the window's font.

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace kivo {

class TFrmIndex;

// An item of the menu a click on the progress bar opens.
struct TProgressMenuItem {
    std::string_view Caption;
    bool Visible = true;
    bool operator==(const TProgressMenuItem&) const = default;
};

// "&Pause" and "C&ontinue" (no action), "&Cancel" (the running transfer's cancel),
// "&Disconnect Modem" (only while the program dialled) and "&View progress messages...".
std::array<TProgressMenuItem, 5> ProgressMenu(bool dialled);

class TStatusBar {
  public:
    enum Panel { spActivity = 0, spProgress = 1, spCount = 2, spDetails = 3 };
    // Width in pixels of a text in the status bar's font.
    using TextWidth = std::function<int(std::string_view)>;

    static constexpr std::array<int, 4> kWidths = {240, 90, 200, 10};

    // Without a font the width is guessed at 7 pixels a character.
    explicit TStatusBar(TextWidth textWidth = {});

    // Panel 3 grows with its text and shrinks back to 10 pixels when the text goes; other
    // panels keep their widths. A panel number outside 0..3 is ignored.
    void SetText(int panel, std::string_view text);
    const std::string& Text(int panel) const;
    int Width(int panel) const;

    // Panel 2: the message count of an index window ("No messages", "1 message", "N messages").
    void ShowMessageCount(const TFrmIndex& index);

    // The progress bar: a percentage within 0..100, its text ("42%") shown only while a
    // transfer runs; Reset empties the bar without touching the text's visibility.
    void SetProgress(int percent);
    void ShowProgressText(bool shown) { progressTextShown_ = shown; }
    void ResetProgress() { percent_ = 0; }
    int Percent() const { return percent_; }
    bool ProgressTextShown() const { return progressTextShown_; }
    std::string ProgressText() const;

  private:
    TextWidth textWidth_;
    std::array<std::string, 4> texts_;
    std::array<int, 4> widths_ = kWidths;
    int percent_ = 0;
    bool progressTextShown_ = false;
};

}  // namespace kivo
