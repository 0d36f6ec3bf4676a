#pragma once
// HTML mail as plain text for a terminal reader (`kivo show`): tags go, paragraphs, line
// breaks, list items and table rows become line ends, runs of white space one blank,
// entities their characters (UTF-8), a link's address follows its text in angle brackets and
// a picture shows its alternative text. Scripts, styles and comments are dropped. One pass
// over the text, whatever it holds.

#include <string>
#include <vector>

namespace kivo {

std::vector<std::string> HtmlToText(const std::vector<std::string>& html);

}  // namespace kivo
