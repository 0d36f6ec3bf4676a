#pragma once
// The pieces of the message view's HTML: stored text lines made safe to show as HTML, the
// blue-grey header table, and web addresses in text turned into links. Each works in
// one pass over its input, so a hostile message (megabyte lines, thousands of tags) costs
// time in proportion to its size.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The lines around the header lines when the headers are shown.
inline constexpr std::string_view kHeaderTableStart =
    "<table><tr><td bgcolor=\"#ddddff\"><font color=\"#000000\" size=\"-1\" "
    "face=\"arial, helvetica\"><b>";
inline constexpr std::string_view kHeaderTableEnd = "</b></font></td></tr></table><br><br>";

// A text line as HTML: ">" and "<" become "&gt;" and "&lt;", each pair of blanks
// "&nbsp;&nbsp;", and "<br>" is appended. An ampersand stays, so entities written in the
// text show as their characters.
std::string TextLineToHtml(std::string_view line);

// A header line for the header table: "<" and ">" escaped, "<br>" appended.
std::string HeaderLineToHtml(std::string_view line);

// Turns every "http://" and "https://" address of the text into a link, scanning the lines
// as one text
// joined by line ends. An address is skipped when it follows 'href="' or a ">" (also one
// written as "&gt;", as in a quoted line); it runs to the first blank, "(", ")", ";", "<" or
// entity "&gt;", "&lt;", "&nbsp;" written by TextLineToHtml, or to the end of its line.
void LinkUrls(std::vector<std::string>& lines);

// "Attachment Converted: " followed by a double quote: the line the store puts in place of
// an attachment it saved as a file.
bool IsAttachmentLine(std::string_view line);
// The file path of such a line: the text after the opening quote, without the last character
// (the closing quote).
std::string AttachmentLinePath(std::string_view line);

// The last path component of a stored attachment path ("/" and "\" both separate).
std::string AttachmentFileName(std::string_view path);

}  // namespace kivo

namespace kivo {

// Removes the attachment lines from `body` and returns their file paths, in order.
std::vector<std::string> TakeAttachmentLines(std::vector<std::string>& body);

}  // namespace kivo
