#pragma once
// Reduces an HTML message to text for quoting in replies and forwards: tags go, and the three
// entities "&gt;", "&lt;" and "&nbsp;" become their characters.

#include <string>
#include <vector>

namespace kivo {

// `lines` are a message's lines, header lines first. The body (from the first line that is
// blank after trimming) loses every tag, also a tag that spans lines; then every line, header
// lines included, has "&gt;", "&lt;" and "&nbsp;" replaced. No other entity is touched.
void StripHtml(std::vector<std::string>& lines);

}  // namespace kivo
