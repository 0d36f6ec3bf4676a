#include "compose/messagestyle.h"

#include <algorithm>

#include "base/inifile.h"

namespace kivo {

namespace {

constexpr const char* kDefaults = "Defaults";

}  // namespace

int TCharFormat::StyleBits() const {
    return (bold ? kStyleBold : 0) | (italic ? kStyleItalic : 0) |
           (underline ? kStyleUnderline : 0);
}

void TCharFormat::SetStyleBits(int bits) {
    bold = (bits & kStyleBold) != 0;
    italic = (bits & kStyleItalic) != 0;
    underline = (bits & kStyleUnderline) != 0;
}

int SizeLevelPoints(int level, int messageFontSize) {
    static constexpr int kOffsets[] = {-4, -2, 0, 4, 8, 13, 16};
    if (level < 0 || level > 6) return messageFontSize;
    return messageFontSize + kOffsets[level];
}

int PointsSizeLevel(int points, int messageFontSize) {
    const long long d = std::max(0LL, static_cast<long long>(points) - messageFontSize + 4);
    if (d <= 1) return 0;
    if (d <= 3) return 1;
    if (d <= 7) return 2;
    if (d <= 11) return 3;
    if (d <= 16) return 4;
    if (d <= 19) return 5;
    return 6;
}

TMessageStyle TMessageStyle::Read(const IniFile& settings) {
    TMessageStyle s;
    s.backColour = settings.ReadBool(kDefaults, "BackColour", s.backColour);
    s.backCol = settings.ReadColour(kDefaults, "BackCol", s.backCol);
    s.mainColour = settings.ReadBool(kDefaults, "MainColour", s.mainColour);
    s.mainCol = settings.ReadColour(kDefaults, "MainCol", s.mainCol);
    s.sigColour = settings.ReadBool(kDefaults, "SigColour", s.sigColour);
    s.sigCol = settings.ReadColour(kDefaults, "SigCol", s.sigCol);
    s.fontBody = settings.ReadBool(kDefaults, "FontBody", s.fontBody);
    s.mainFont = settings.ReadString(kDefaults, "MainFont", s.mainFont);
    s.mainStyle = settings.ReadInteger(kDefaults, "MainStyle", s.mainStyle);
    s.mainSize = settings.ReadInteger(kDefaults, "MainSize", s.mainSize);
    s.fontSig = settings.ReadBool(kDefaults, "FontSig", s.fontSig);
    s.sigFont = settings.ReadString(kDefaults, "SigFont", s.sigFont);
    s.sigStyle = settings.ReadInteger(kDefaults, "SigStyle", s.sigStyle);
    s.sigSize = settings.ReadInteger(kDefaults, "SigSize", s.sigSize);
    return s;
}

void TMessageStyle::Write(IniFile& settings) const {
    settings.WriteBool(kDefaults, "BackColour", backColour);
    settings.WriteColour(kDefaults, "BackCol", backCol);
    settings.WriteBool(kDefaults, "MainColour", mainColour);
    settings.WriteColour(kDefaults, "MainCol", mainCol);
    settings.WriteBool(kDefaults, "SigColour", sigColour);
    settings.WriteColour(kDefaults, "SigCol", sigCol);
    settings.WriteBool(kDefaults, "FontBody", fontBody);
    settings.WriteString(kDefaults, "MainFont", mainFont);
    settings.WriteInteger(kDefaults, "MainStyle", mainStyle);
    settings.WriteInteger(kDefaults, "MainSize", mainSize);
    settings.WriteBool(kDefaults, "FontSig", fontSig);
    settings.WriteString(kDefaults, "SigFont", sigFont);
    settings.WriteInteger(kDefaults, "SigStyle", sigStyle);
    settings.WriteInteger(kDefaults, "SigSize", sigSize);
}

int MessageFontSize(const IniFile& settings) {
    return settings.ReadInteger("Program", "MessageFontSize", kMessageFontSizeDefault);
}

}  // namespace kivo
