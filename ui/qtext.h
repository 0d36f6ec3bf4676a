#pragma once
// Text and colours between the core and Qt: the core's 8-bit strings are UTF-8, and text that
// is not valid UTF-8 (older mailboxes) is shown as Windows-1252; colours are 0x00BBGGRR or a
// system colour, which follows the desktop's palette.

#include <QColor>
#include <QPalette>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace kivo::ui {

QString ToQ(std::string_view text);
std::string FromQ(const QString& text);

// A settings colour: an RGB value as written (0x00BBGGRR), or the palette's colour for the
// system colours (window background, window text, ...).
QColor ColourOf(std::uint32_t colour, const QPalette& palette);
// Back to the settings' form.
std::uint32_t ColourValue(const QColor& colour);

}  // namespace kivo::ui
