#include "store/storefeedback.h"

#include <algorithm>

namespace kivo {

TStoreProgress::TStoreProgress(TStoreFeedback& feedback, std::uint64_t total,
                               std::string_view status)
    : feedback_(feedback), total_(total), status_(!status.empty()) {
    if (status_) feedback_.StatusText(status);
    At(0);
}

TStoreProgress::~TStoreProgress() {
    feedback_.Progress(-1);
    if (status_) feedback_.StatusText("");
}

void TStoreProgress::At(std::uint64_t position) {
    const int percent =
        total_ == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(position, total_) * 100 / total_);
    if (percent != shown_) {
        shown_ = percent;
        feedback_.Progress(percent);
    }
    feedback_.Pump();
}

}  // namespace kivo
