#include "store/deletedmark.h"

#include <cstring>

#include "base/bytes.h"

namespace kivo {

namespace {
constexpr std::string_view kStatus = "Status:";
}

bool StatusLineMarksDeleted(std::string_view line) {
    return line.starts_with(kStatus) &&
           line.substr(kStatus.size()).find('D') != std::string_view::npos;
}

bool MessageMarkedDeleted(std::string_view text, bool* headerEnds) {
    if (headerEnds) *headerEnds = false;
    std::size_t pos = 0;
    bool separator = true;
    while (pos < text.size()) {
        const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const std::size_t stop =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
        std::string_view line = text.substr(pos, stop - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = lf ? stop + 1 : stop;
        if (separator) {
            separator = false;
            continue;
        }
        if (TrimView(line).empty()) {
            if (headerEnds) *headerEnds = true;
            return false;
        }
        if (StatusLineMarksDeleted(line)) return true;
    }
    return false;
}

}  // namespace kivo
