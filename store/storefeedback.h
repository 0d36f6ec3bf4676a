#pragma once
// How the mail store reports long work to whoever started it: the text of the main window's
// first status panel, the progress bar, and a chance for the user interface to run its
// events. The main window implements it on its view; tests record it; the default does
// nothing.

#include <cstdint>
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

// One pass over a file of `total` bytes: shows `status` (when given), moves the progress bar
// with the position and lets the user interface run its events at each step. Hides the bar and
// clears the status again when the pass ends, also when it fails.
class TStoreProgress {
  public:
    TStoreProgress(TStoreFeedback& feedback, std::uint64_t total, std::string_view status = {});
    ~TStoreProgress();
    TStoreProgress(const TStoreProgress&) = delete;
    TStoreProgress& operator=(const TStoreProgress&) = delete;
    // The pass has reached byte `position`.
    void At(std::uint64_t position);

  private:
    TStoreFeedback& feedback_;
    std::uint64_t total_;
    bool status_;
    int shown_ = -1;
};

// A feedback that shows nothing, for callers without a window.
inline TStoreFeedback& NoFeedback() {
    static TStoreFeedback none;
    return none;
}

}  // namespace kivo
