#include "store/mailaddress.h"

#include "base/bytes.h"

namespace kivo {

std::string ExtractAddress(std::string_view text) {
    std::string rest(text);
    if (std::size_t open = rest.find('"'); open != std::string::npos) {
        std::size_t close = rest.find('"', open + 1);
        rest.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
    }
    if (!TrimView(rest).empty()) {
        if (std::size_t lt = rest.find('<'); lt != std::string::npos) {
            std::size_t gt = rest.find('>', lt + 1);
            rest = (gt == std::string::npos || gt == lt + 1) ? std::string()
                                                             : rest.substr(lt + 1, gt - lt - 1);
        }
    }
    return LowerCase(TrimView(rest));
}

std::string ExtractName(std::string_view text) {
    const std::size_t first = text.find('"');
    if (first != std::string_view::npos) {
        const std::size_t last = text.rfind('"');
        return last > first ? std::string(text.substr(first + 1, last - first - 1)) : "";
    }
    std::string name(text);
    const std::size_t open = name.find('<');
    if (open != std::string::npos) {
        const std::size_t close = name.find('>', open);
        name.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
    }
    return name;
}

}  // namespace kivo
