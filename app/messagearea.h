#pragma once
// The layout state of the main window's message area: the index window and the message view
// stacked or side by side, zooming the view by collapsing the index to its title bar, fast
// reading, the message font size and the width of the user-button panel. Pixel sizes come
// from the window; this class only decides.

namespace kivo {

struct TPositionSettings;
struct TProgramSettings;

class TMessageArea {
  public:
    // The index's height when collapsed: its title panel plus 4.
    static constexpr int kCollapsedExtra = 4;

    // [Position] "DockAlign", "IndexMin", "Restore", "IndexHeight"; a collapse saved while
    // side by side is not restored, since only a stacked index can collapse.
    void Load(const TPositionSettings& position);
    void Save(TPositionSettings& position) const;

    // 0 and 2 stack the index over or under the view; 1 and 3 put them side by side.
    int DockAlign() const { return dockAlign_; }
    bool Stacked() const { return dockAlign_ == 0 || dockAlign_ == 2; }

    // The sizes the window lays out: the whole area's height, the index title panel's
    // height, and the index height the user dragged the splitter to.
    void SetAreaHeight(int height) { areaHeight_ = height; }
    void SetTitleHeight(int height);
    void SetIndexHeight(int height);
    int IndexHeight() const { return indexHeight_; }

    // Collapsed to its title bar: the check mark of "Zoom &Message Window".
    bool IndexMin() const { return indexMin_; }
    // "Zoom &Message Window" (F11, or a click on the index title): collapses the index, or
    // restores it to its old height (2/5 of the area when that would leave the view no
    // room). False when the two are side by side and nothing changes.
    bool ToggleZoom();

    // "Enable Fast &Reading": a shown message collapses the index; the pointer over the
    // collapsed title brings it back.
    bool FastRead() const { return fastRead_; }
    void SetFastRead(bool on) { fastRead_ = on; }
    void MessageShown();
    void PointerOverIndexTitle();

  private:
    void Collapse();
    void Restore();

    int dockAlign_ = 0;
    bool indexMin_ = false;
    bool fastRead_ = false;
    int restore_ = 150;
    int areaHeight_ = 0;
    int titleHeight_ = 16;
    int indexHeight_ = 150;
};

// The message font size one point larger (+1) or smaller (-1), within 6 to 20 points, for
// the view and [Program] "MessageFontSize". False when the size stays as it is.
bool ChangeMessageFontSize(TProgramSettings& program, int delta);

inline constexpr int kMinMessageFontSize = 6;
inline constexpr int kMaxMessageFontSize = 20;

// The user-button panel collapsed to its drag handle, or widened to fill the toolbar up to
// its right-hand picture (never narrower than collapsed).
int CollapsedButtonsWidth(int handleWidth);
int WidenedButtonsWidth(int toolbarWidth, int pictureWidth, int handleWidth);

}  // namespace kivo
