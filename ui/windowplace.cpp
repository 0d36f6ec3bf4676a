#include "ui/windowplace.h"

#include <QApplication>
#include <QWidget>
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

void SeedOtherPlace(IniFile& settings, const QRect& screen) {
    if (settings.ValueExists("Position", "OtherWidth")) return;
    QRect place = FirstStartGeometry(screen);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "mainWindow" && w->isVisible() && !w->isMinimized()) {
            place = w->geometry().intersected(screen);
            break;
        }
    }
    if (!place.isValid()) return;
    settings.WriteInteger("Position", "OtherLeft", place.left() - screen.left());
    settings.WriteInteger("Position", "OtherTop", place.top() - screen.top());
    settings.WriteInteger("Position", "OtherWidth", place.width());
    settings.WriteInteger("Position", "OtherHeight", place.height());
}

}  // namespace kivo::ui
