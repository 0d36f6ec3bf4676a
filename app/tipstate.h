#pragma once
// The main window's confirmation tip: at most one at a time, a new one replacing the old,
// each gone 3 seconds after it appeared; while one shows, the window's own tool tips are off.
// The tip's place and colour come from compose/tip.h; the window draws Current() and asks
// again at HideAt(). The clock can be replaced for tests.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "compose/tip.h"

namespace kivo {

inline constexpr int kMainWindowTipMs = 3000;

struct TShownTip {
    std::uint64_t Id = 0;  // tells a replacing tip from the one it replaced
    std::string Text;
    TipRect Rect;
    std::chrono::steady_clock::time_point HideAt{};
};

class TTipState {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    explicit TTipState(Clock clock = std::chrono::steady_clock::now);

    // Shows a tip for text laid out as textWidth × textHeight at the pointer (x, y),
    // replacing any tip that shows.
    const TShownTip& Show(std::string_view text, int x, int y, int textWidth, int textHeight);
    // The tip that shows now, if any; an expired one is dropped.
    const TShownTip* Current();
    void Hide() { tip_.reset(); }

    // Whether the main window shows its own tool tips ([Program] "ShowHints" and no tip).
    bool HintsEnabled(bool showHints) { return showHints && Current() == nullptr; }

  private:
    Clock clock_;
    std::optional<TShownTip> tip_;
    std::uint64_t lastId_ = 0;
};

}  // namespace kivo
