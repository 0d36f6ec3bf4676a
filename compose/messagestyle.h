#pragma once
// The default message style of new styled messages, kept in section [Defaults] of kivo.ini,
// and the size levels of the style toolbar's size selector ("Very small" ... "Largest"),
// which are relative to the program's message font size.

#include <cstdint>
#include <string>

#include "base/colour.h"

namespace kivo {

class IniFile;

inline constexpr int kMessageFontSizeDefault = 10;
inline constexpr int kSizeLevelMedium = 2;

// Style bits of "MainStyle" and "SigStyle".
inline constexpr int kStyleBold = 1;
inline constexpr int kStyleItalic = 2;
inline constexpr int kStyleUnderline = 4;

// A character format: font name, point size, colour and styles.
struct TCharFormat {
    std::string font = "Arial";
    int size = kMessageFontSizeDefault;
    std::uint32_t colour = kWindowTextColour;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    int StyleBits() const;
    void SetStyleBits(int bits);
    bool operator==(const TCharFormat&) const = default;
};

// The point size of a size level (0 to 6) for message font size S; any other level gives S.
int SizeLevelPoints(int level, int messageFontSize);
// The size level of a point size.
int PointsSizeLevel(int points, int messageFontSize);

// The keys of [Defaults] that new composers take their style from.
struct TMessageStyle {
    bool backColour = false;
    std::uint32_t backCol = 0xFFFFFF;
    bool mainColour = false;
    std::uint32_t mainCol = 0;
    bool sigColour = false;
    std::uint32_t sigCol = 0;
    bool fontBody = false;
    std::string mainFont = "Arial";
    int mainStyle = 0;
    int mainSize = kSizeLevelMedium;
    bool fontSig = false;
    std::string sigFont = "Arial";
    int sigStyle = 0;
    int sigSize = kSizeLevelMedium;

    static TMessageStyle Read(const IniFile& settings);
    // Writes every key above (the caller writes the rest of "Save as Default Message Style").
    void Write(IniFile& settings) const;
};

// [Program] "MessageFontSize".
int MessageFontSize(const IniFile& settings);

}  // namespace kivo
