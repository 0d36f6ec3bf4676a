#pragma once
// Where a window opens when the settings hold no place of their own for it: most of the
// screen it opens on, centred, so a first start uses the screen rather than a small corner.

#include <QRect>
#include <filesystem>
#include <string_view>

namespace kivo {
class IniFile;
}

namespace kivo::ui {

// The share of the available screen a window takes at its first start, in percent.
inline constexpr int kFirstStartShare = 80;

// The first-start rectangle on a screen's available geometry: kFirstStartShare percent of
// each side, centred; an empty screen gives an empty rectangle.
QRect FirstStartGeometry(const QRect& available);

// Whether the settings file holds a window's width under [Position] widthKey ("Width" for the
// main window). A file that cannot be read counts as holding it, so its defaults stay.
bool HasSavedPlace(const std::filesystem::path& settingsFile,
                   std::string_view widthKey = "Width");

// Composers and message windows share one place in the settings ("OtherLeft" and the like).
// Where the file has none yet, writes the main window's place there (or the first-start place
// when no main window shows), so the first of them opens at the size of the main view.
void SeedOtherPlace(IniFile& settings, const QRect& screen);

}  // namespace kivo::ui
