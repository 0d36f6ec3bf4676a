#include "app/openwindows.h"

#include "base/displaytext.h"

namespace kivo {

std::string WindowMenuCaption(std::string_view title) {
    constexpr std::size_t kMenuChars = 60;
    const std::string_view cut = CharPrefix(title, kMenuChars);
    return cut.size() == title.size() ? std::string(title) : std::string(cut) + "...";
}

}  // namespace kivo
