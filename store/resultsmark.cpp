#include "store/resultsmark.h"

#include <fstream>
#include <string>

namespace kivo {

bool IsResultsMailbox(const std::filesystem::path& mbx) {
    std::ifstream in(mbx, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("From ")) return false;
        if (line == kResultsMark) return true;
    }
    return false;
}

bool HoldsOnlyResultsMark(const std::filesystem::path& mbx) {
    // Anything longer than the mark and a few line ends holds more than the mark.
    constexpr std::size_t kMost = kResultsMark.size() + 8;
    std::ifstream in(mbx, std::ios::binary);
    std::string text(kMost + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMost || !text.starts_with(kResultsMark)) return false;
    return text.find_first_not_of("\r\n", kResultsMark.size()) == std::string::npos;
}

}  // namespace kivo
