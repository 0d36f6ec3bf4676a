#pragma once
// The RTF-to-HTML converter for styled mail: one pass over the RTF that the composer's
// rich-text editor writes (font and colour tables, "\deflang" after them, "\plain" before
// every change of character format, a blank after each control word), giving an HTML fragment
// of paragraphs, bulleted lists, bold, italic, underline and font tags. Characters written
// as "\uN" (the composer's own writer uses them for everything outside ASCII) come out as
// UTF-8. It reads only that dialect; other RTF gives a lenient, possibly wrong, result but never an
// error or a hang. Time and memory stay linear in the input whatever it holds.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kivo {

// A font or colour number the RTF's tables have no entry for.
class EListError : public std::out_of_range {
  public:
    using std::out_of_range::out_of_range;
};

namespace rtf2html {

// The HTML for the RTF text; line breaks in it are CR LF (an empty paragraph leaves "</P>"
// and a lone LF). Throws EListError when a font tag names a missing font or colour.
std::string Convert(std::string_view rtf);

// The HTML font size 1 to 6 of a point size, as font tags and styled mail write it.
int HtmlSize(int points);

}  // namespace rtf2html
}  // namespace kivo
