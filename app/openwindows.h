#pragma once
// The open windows list: the composers, separate message views and extra index windows the
// main window opened, oldest first, newest last (the "&Window" menu mirrors it). It borrows
// the windows; a window removes itself when it closes. A window's tag is its place in the
// list, so closing one renumbers those after it. At shutdown every window is asked to close,
// first to last, and one that refuses keeps the program running.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// A window's item in the "&Window" menu: the first 60 characters of its title, followed by
// "..." when the title was longer. A cut never splits a UTF-8 character.
std::string WindowMenuCaption(std::string_view title);

class TOpenWindow {
  public:
    virtual ~TOpenWindow() = default;
    virtual std::string Caption() const = 0;
    // Asks the window to close (an unsaved composer may ask its user); false when it stays.
    virtual bool Close() = 0;
    // Shows the window and brings it to the front.
    virtual void Show() = 0;
};

class TOpenWindows {
  public:
    void Add(TOpenWindow& window) { windows_.push_back(&window); }
    void Remove(const TOpenWindow& window) { std::erase(windows_, &window); }
    const std::vector<TOpenWindow*>& Items() const { return windows_; }
    // The window opened last, or nullptr.
    TOpenWindow* Last() const { return windows_.empty() ? nullptr : windows_.back(); }

    // The window's tag: its index in the list, -1 when it is not listed.
    int Tag(const TOpenWindow& window) const {
        const auto at = std::find(windows_.begin(), windows_.end(), &window);
        return at == windows_.end() ? -1 : static_cast<int>(at - windows_.begin());
    }
    // The "&Window" menu: one item per window in list order, captioned like the window (so an
    // item follows its window's caption, cut as WindowMenuCaption says); the menu is disabled
    // when it has none.
    std::vector<std::string> MenuCaptions() const {
        std::vector<std::string> captions;
        for (const TOpenWindow* window : windows_) {
            captions.push_back(WindowMenuCaption(window->Caption()));
        }
        return captions;
    }
    bool MenuEnabled() const { return !windows_.empty(); }
    // The menu item of `tag` chosen: that window comes to the front. False for a stale tag.
    bool MenuClick(int tag) const {
        if (tag < 0 || tag >= static_cast<int>(windows_.size())) return false;
        windows_[static_cast<std::size_t>(tag)]->Show();
        return true;
    }

    // Closes every window, first to last. A window that refuses is shown and the rest stay
    // open; returns false then.
    bool CloseAll() {
        while (!windows_.empty()) {
            TOpenWindow* first = windows_.front();
            if (!first->Close()) {
                first->Show();
                return false;
            }
            // A window that closed without removing itself is taken off here.
            if (!windows_.empty() && windows_.front() == first) windows_.erase(windows_.begin());
        }
        return true;
    }

  private:
    std::vector<TOpenWindow*> windows_;
};

}  // namespace kivo
