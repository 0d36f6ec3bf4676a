#pragma once
// How the mail store reports long work to whoever started it: the text of the main window's
// first status panel, the progress bar, and a chance for the user interface to run its
// events. The main window implements it on its view; tests record it; the default does
// nothing.

#include <string_view>

namespace kivo {

class TStoreFeedback {
  public:
    virtual ~TStoreFeedback() = default;
    // The first status panel; an empty text clears it.
    virtual void StatusText(std::string_view /*text*/) {}
    // The progress bar: 0..100, or -1 to reset and hide it.
    virtual void Progress(int /*percent*/) {}
    // Lets pending user-interface events run; called now and then by long loops.
    virtual void Pump() {}
};

// A feedback that shows nothing, for callers without a window.
inline TStoreFeedback& NoFeedback() {
    static TStoreFeedback none;
    return none;
}

}  // namespace kivo
