#include "compose/filenames.h"

#include <algorithm>

#include "base/bytes.h"

namespace kivo {

bool ValidFileName(std::string_view name) {
    return !name.empty() && name.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

void NextNumberedName(std::string& name, std::size_t maxLength) {
    int number = 0;
    if (!name.empty() && name.back() >= '1' && name.back() <= '9') {
        number = name.back() - '0';
        name.pop_back();
    }
    name += std::to_string(number + 1);
    name.resize(std::min({name.size(), maxLength, kShortTextMax}));
}

}  // namespace kivo
