#pragma once
// Reduces an HTML message to text for quoting in replies and forwards: tags go, with what a
// style sheet, a script or a comment holds, and character references become their
// characters. The line structure stays as it was.

#include <string>
#include <vector>

namespace kivo {

// `lines` are a message's lines, header lines first. The body (from the first line that is
// blank after trimming) loses every tag, also a tag that spans lines, then has every character
// reference read ("&amp;", "&#8217;"...). Header lines only have "&gt;", "&lt;" and "&nbsp;"
// replaced: a header is no HTML, and another "&" there is meant as it stands.
void StripHtml(std::vector<std::string>& lines);

}  // namespace kivo
