#include "ui/windowplace.h"

#include <system_error>

#include "base/inifile.h"

namespace kivo::ui {

QRect FirstStartGeometry(const QRect& available) {
    if (available.width() <= 0 || available.height() <= 0) return {};
    const int width = available.width() * kFirstStartShare / 100;
    const int height = available.height() * kFirstStartShare / 100;
    QRect r(0, 0, width, height);
    r.moveCenter(available.center());
    return r;
}

bool HasSavedPlace(const std::filesystem::path& settingsFile, std::string_view widthKey) {
    try {
        return IniFile(settingsFile).ValueExists("Position", widthKey);
    } catch (const std::system_error&) {
        return true;
    }
}

}  // namespace kivo::ui
