#pragma once
// HTML character references ("&amp;", "&#8217;", "&#x20AC;" and the named ones mail uses
// most) read as UTF-8 text, for every place that turns HTML into text.

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// Reads the reference at text[pos] == '&', appends its character to `out` and returns its
// length; returns 0 and appends nothing when it is none (the '&' is then text). NUL, control
// characters other than tab and line feed, and numbers beyond Unicode read as U+FFFD.
std::size_t ReadHtmlEntity(std::string_view text, std::size_t pos, std::string& out);

// Text as it reads inside HTML: "&", "<", ">" and '"' written as references, so a server's
// reply such as "<bob@example.org>: Recipient address rejected" is not taken for a tag.
std::string HtmlEscaped(std::string_view text);

// A line of plain text as HTML that shows it exactly as written: escaped as above, a blank
// that begins the line or follows another one (and a tab, as four) kept as "&nbsp;", and
// "<br>" appended so the line ends where it ended.
std::string TextLineAsHtml(std::string_view line);

}  // namespace kivo
