#pragma once
// Where composer windows open: each new composer takes the place kivo.ini's [Position]
// "OtherLeft", "OtherTop", "OtherWidth" and "OtherHeight" keep, kept on the screen, and leaves
// the next one 16 pixels further right and down, so composers opened in a row cascade. A
// closing composer writes its own place and its toolbar, format and signature choices back.

#include "base/inifile.h"

namespace kivo {

struct TComposerRect {
    int left = 20;
    int top = 20;
    int width = 540;
    int height = 400;

    bool operator==(const TComposerRect&) const = default;
};

// The place of a new composer on a screen of the given size; the settings then hold the
// place of the composer after it.
TComposerRect PlaceComposer(IniFile& settings, int screenWidth, int screenHeight);

// A closing window's place, for the next composer or separate message view to open at.
void SaveComposerPlace(IniFile& settings, const TComposerRect& place);

// What a composer leaves in the settings when it closes.
struct TComposerChoices {
    TComposerRect place;
    bool mailToolbar = true;
    bool styleToolbar = true;
    bool plain = true;
    bool styled = false;
    bool signatureOn = true;
};
void SaveComposerOnClose(IniFile& settings, const TComposerChoices& choices);

}  // namespace kivo
