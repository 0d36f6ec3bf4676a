#include "compose/filenames.h"

#include <algorithm>

#include "base/bytes.h"
#include "store/freename.h"

namespace kivo {

bool ValidFileName(std::string_view name) {
    return !name.empty() && name.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

void NextNumberedName(std::string& name, std::size_t maxLength) {
    name = NextNumberedName(std::string_view(name));
    name.resize(std::min({name.size(), maxLength, kShortTextMax}));
}

}  // namespace kivo
