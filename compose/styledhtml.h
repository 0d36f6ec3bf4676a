#pragma once
// The HTML lines of a styled message: the body's RTF through rtf2html, the page colour, the
// signature in a table of its own with its font tag, "From " lines escaped, runs of blanks
// kept as "&nbsp;" pairs and bare URLs linked.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "compose/messagestyle.h"

namespace kivo {

// A composer's style state besides its rich text.
struct TStyleState {
    std::uint32_t background = kWindowColour;  // of the body and the signature pane
    TCharFormat sigFont;
    bool defaultBackground = false;  // the default background colour is in use
    bool sigColourSet = false;
    bool defaultSigFont = false;  // the default signature font is in use
    bool sigFontChanged = false;  // the signature font was changed in this composer
};

// The HTML lines for the body's RTF lines; `signature` is the expanded signature text when
// the signature is in use, else null. Throws EListError for RTF naming a missing font or
// colour.
std::vector<std::string> StyledHtmlLines(const std::vector<std::string>& rtfLines,
                                         const TStyleState& state,
                                         const std::vector<std::string>* signature,
                                         int messageFontSize);

// Creates the empty file "~kiv001.tmp" in `folder`, or the next numbered name that is free
// ("~kiv002.tmp", ...); throws std::system_error.
std::filesystem::path CreateNumberedTempFile(const std::filesystem::path& folder);

// The lines of the RTF as written to and read back from a fresh temporary file in `folder`
// (CreateNumberedTempFile); the file is removed again.
std::vector<std::string> RtfLinesThroughFile(std::string_view rtf,
                                             const std::filesystem::path& folder);

// Each bare "http://", "ftp://" or "news://" URL in the text made a link.
std::string LinkUrls(std::string_view text);

// Every pair of blanks, from the left, as "&nbsp;&nbsp;".
std::string KeepBlanks(std::string_view line);

}  // namespace kivo
