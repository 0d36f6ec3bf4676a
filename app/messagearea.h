#pragma once
// The layout state of the main window's message area: the index window and the message view
// stacked or side by side, zooming the view by collapsing the index to its title bar, fast
// reading, the message font size, the width of the user-button panel and the side docks.
// The area keeps its state in the window's settings ([Position] "DockAlign", "IndexMin",
// "Restore", "IndexHeight", [Mail] "FastRead"), so what SaveIni writes is always current.
// Pixel sizes come from the window; this class only decides.

namespace kivo {

struct TSettings;
struct TProgramSettings;

class TMessageArea {
  public:
    // The index's height when collapsed: its title panel plus 4.
    static constexpr int kCollapsedExtra = 4;

    // Borrows the window's settings, which must outlive it.
    explicit TMessageArea(TSettings& settings) : settings_(settings) {}

    // The sizes the window lays out: the whole area's height and the index title panel's.
    void SetAreaHeight(int height) { areaHeight_ = height; }
    void SetTitleHeight(int height) { titleHeight_ = height; }

    // DockAlign 0 and 2 stack the index over or under the view; 1 and 3 put them side by
    // side, and then nothing collapses (a collapse saved that way is not shown). A separate
    // index window is neither: the view has the area to itself.
    bool Stacked() const;

    // Closing the message index window does not close it: a docked index becomes a separate
    // window, and a separate one docks again under the message view (DockAlign 2), opened to
    // its old height if it was collapsed. True when the index is separate afterwards.
    bool CloseIndexWindow();
    bool IndexSeparate() const { return separate_; }
    // Collapsed to its title bar: the check mark of "Zoom &Message Window".
    bool IndexMin() const;
    int IndexHeight() const;
    // The user dragged the splitter: a collapsed index opens at the dragged height.
    void SetIndexHeight(int height);

    // "Zoom &Message Window" (F11, or a click on the index title): collapses the index, or
    // restores it to its old height (2/5 of the area when that would leave the view no
    // room). False when the two are side by side and nothing changes.
    bool ToggleZoom();

    // "Enable Fast &Reading": a shown message collapses the index; the pointer over the
    // collapsed title brings it back.
    bool FastRead() const;
    void SetFastRead(bool on);
    void MessageShown();
    void PointerOverIndexTitle();

  private:
    int CollapsedHeight() const { return titleHeight_ + kCollapsedExtra; }
    void Collapse();
    void Restore();

    TSettings& settings_;
    int areaHeight_ = 0;
    int titleHeight_ = 16;
    // A window state of this run only: every start docks the index.
    bool separate_ = false;
};

inline constexpr int kMinMessageFontSize = 6;
inline constexpr int kMaxMessageFontSize = 20;

// The message font size one point larger (+1) or smaller (-1), within 6 to 20 points, for
// the view and [Program] "MessageFontSize". False when the size stays as it is.
bool ChangeMessageFontSize(TProgramSettings& program, int delta);

// The user-button panel collapsed to its drag handle, or widened to fill the toolbar up to
// its right-hand picture (never narrower than collapsed).
int CollapsedButtonsWidth(int handleWidth);
int WidenedButtonsWidth(int toolbarWidth, int pictureWidth, int handleWidth);

// A side dock (left or right): no width until a window is docked into it; the first window
// makes it visible, one sixth of the main window's client width when it was narrower than
// 10 pixels; when the last window leaves it collapses again.
class TSideDock {
  public:
    void Docked(int clientWidth);
    void Undocked();
    bool Visible() const { return windows_ > 0; }
    int Width() const { return Visible() ? width_ : 0; }
    // The user dragged the dock's splitter.
    void SetWidth(int width) { width_ = width; }

  private:
    int windows_ = 0;
    int width_ = 0;
};

}  // namespace kivo
