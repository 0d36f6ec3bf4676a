#pragma once
// The page the message view's display loads, and what may not stay in it. A received HTML
// message is a stranger's page: it may ask the display to run scripts, to reload itself or go
// elsewhere after a few seconds (meta refresh, which turns one allowed tracking picture into
// one request a second), or to set its own Content-Security-Policy (which would cancel the
// view's fonts and colours). Those are taken out before the page is loaded. The display blocks
// every remote request on its own until the user shows remote content; `kivo show
// --html-safe` prints the same page with those references replaced, as the display blocks
// them. Each function works in one pass over its input, so a hostile message costs time in
// proportion to its size.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// What stands where a remote reference was.
inline constexpr std::string_view kBlockedUrl = "about:blank";

// The HTML without script elements and without <meta http-equiv> tags other than the
// content type (refresh, Content-Security-Policy, cookies, ...), in any letter case and
// however odd their markup (attributes in any order, quoted ">" in values, character
// references). A meta tag whose attributes hold a "<", or that the text ends inside, goes too:
// that shape only serves to hide another tag. What is taken out leaves a blank, so the
// text around it never joins into a new tag.
std::string StripActiveContent(std::string_view html);

// The HTML with every reference the display would fetch from the network replaced by
// kBlockedUrl: http and https addresses (also written with character references) in the
// attributes that load something (src, srcset, background, poster, data, a <link>'s or
// <base>'s href, SVG's href, ...) and in style sheets (url(...), @import), and event-handler
// attributes ("onload", ...) removed. A link's own address (<a href>) stays: it is followed
// only when clicked.
std::string BlockRemoteReferences(std::string_view html);

// The page the display loads for the view's HTML lines (UTF-8): a received HTML page, its
// active content stripped, with `css` as a style sheet its own rules override; or the
// view's HTML of a text message as a page of its own, its long words wrapped.
std::string MessagePageHtml(const std::vector<std::string>& lines, bool html, std::string_view css);

}  // namespace kivo
