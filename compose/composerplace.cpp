#include "compose/composerplace.h"

#include <algorithm>

namespace kivo {

namespace {
constexpr int kCascade = 16;
constexpr int kMargin = 20;
constexpr int kTaskbar = 40;
}  // namespace

TComposerRect PlaceComposer(IniFile& settings, int screenWidth, int screenHeight) {
    TComposerRect r;
    r.left = settings.ReadInteger("Position", "OtherLeft", 20);
    r.width = settings.ReadInteger("Position", "OtherWidth", 540);
    if (r.left + r.width > screenWidth) r.left = kMargin;
    r.top = settings.ReadInteger("Position", "OtherTop", 20);
    r.height = settings.ReadInteger("Position", "OtherHeight", 400);
    if (r.top + r.height > screenHeight - kTaskbar) r.top = kMargin;
    r.width = std::clamp(r.width, 1, std::max(1, screenWidth));
    r.height = std::clamp(r.height, 1, std::max(1, screenHeight));
    if (r.left + r.width > screenWidth) r.left = screenWidth - r.width;
    if (r.top + r.height > screenHeight) r.top = screenHeight - r.height;
    settings.WriteInteger("Position", "OtherLeft", r.left + kCascade);
    settings.WriteInteger("Position", "OtherTop", r.top + kCascade);
    settings.WriteInteger("Position", "OtherWidth", r.width);
    settings.WriteInteger("Position", "OtherHeight", r.height);
    return r;
}

void SaveComposerPlace(IniFile& settings, const TComposerRect& place) {
    settings.WriteInteger("Position", "OtherLeft", place.left);
    settings.WriteInteger("Position", "OtherTop", place.top);
    settings.WriteInteger("Position", "OtherWidth", place.width);
    settings.WriteInteger("Position", "OtherHeight", place.height);
}

void SaveComposerOnClose(IniFile& settings, const TComposerChoices& c) {
    SaveComposerPlace(settings, c.place);
    settings.WriteBool("Position", "Toolbar1", c.mailToolbar);
    settings.WriteBool("Position", "Toolbar2", c.styleToolbar);
    settings.WriteBool("Position", "PlainMail", c.plain);
    settings.WriteBool("Position", "StyledMail", c.styled);
    settings.WriteBool("Defaults", "SigLast", c.signatureOn);
    settings.WriteInteger("Defaults", "FormatLast", c.plain && c.styled ? 1 : (c.styled ? 2 : 0));
}

}  // namespace kivo
