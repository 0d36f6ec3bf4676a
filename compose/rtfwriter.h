#pragma once
// The composer body's RTF, written the way the rich-edit control writes it, so that rtf2html
// reads it as it reads that control's files: the font and colour tables, "\deflang" after
// them, "\plain" and the whole character format before each run, line breaks before "\par"
// and a blank after every control word, bulleted paragraphs with their "\pntext" groups.
// Text is UTF-8 in and every character outside ASCII goes out as "\uN?", so nothing typed
// is lost to a code page; braces and backslashes are escaped, and a text that would be read
// as part of a control word's tail (";" right after one) is written as a hex escape.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compose/richtext.h"

namespace kivo {

// One run of text with a single character format. A run without a colour is in the
// document's default colour (the first entry of the colour table).
struct TRtfRun {
    std::string text;  // UTF-8; a tab is a tab, no line breaks
    std::string font;
    int points = 10;
    std::optional<std::uint32_t> colour;  // 0x00BBGGRR
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

struct TRtfParagraph {
    TAlignment alignment = TAlignment::Left;
    bool bulleted = false;
    int firstIndent = 0;  // of the first line, in twips; 0 none
    std::vector<TRtfRun> runs;
};

// The RTF of the paragraphs; `defaultFont` is font 0, the font "\deflang" starts with.
std::string WriteRichEditRtf(const std::vector<TRtfParagraph>& paragraphs,
                             const std::string& defaultFont);

}  // namespace kivo
