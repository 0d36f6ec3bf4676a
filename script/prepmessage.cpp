#include "script/prepmessage.h"

namespace kivo {

void PrepMessage(std::vector<std::string>& lines) {
    std::size_t lead = 0;
    while (lead + 1 < lines.size() && lines[lead].empty()) ++lead;
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(lead));
    for (std::size_t i = 0; i < lines.size() && !lines[i].empty(); ++i) {
        if (lines[i].starts_with("From ")) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    for (std::string& line : lines) {
        if (line.starts_with("From ")) line.insert(0, ">");
    }
}

}  // namespace kivo
