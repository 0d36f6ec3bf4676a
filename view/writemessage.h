#pragma once
// The HTML lines of the message view for one stored message, as a function of its lines and
// the view's state; TFrmMsg and `kivo show --html` both render through it.

#include <string>
#include <vector>

namespace kivo {

// The part of a message the view shows, and whether it is HTML.
struct TShownText {
    std::vector<std::string> lines;
    bool html = false;
};

// Whether the header lines declare an HTML ("text/html") or a multipart/alternative message
// in their last "Content-Type:" line.
bool IsHtmlType(const std::vector<std::string>& headers);
bool IsAlternativeType(const std::vector<std::string>& headers);

// The text to show: the body lines, or for a multipart/alternative message its first
// alternative (decoded from the header and body lines) when that is text; an HTML
// alternative makes the message HTML. The body must be without its attachment lines.
TShownText ShownText(const std::vector<std::string>& headers, const std::vector<std::string>& body);

// The view's HTML lines, in UTF-8. Text is escaped and its "http://" addresses linked; HTML
// is passed through (as text in the raw view); with `showHeaders` the header lines come
// first in a blue-grey table.
std::vector<std::string> MessageHtml(const std::vector<std::string>& headers,
                                     const std::vector<std::string>& body, bool showHeaders,
                                     bool rawView, bool* isHtml = nullptr);

}  // namespace kivo
