#include "view/messagepage.h"

#include <cctype>

#include "base/bytes.h"
#include "base/htmlentity.h"
#include "view/htmltags.h"

namespace kivo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether text[pos] == '<' opens a tag named `name` (any case): the cheap test before a tag is
// read, so text full of other "<" costs nothing more.
bool OpensTag(std::string_view text, std::size_t pos, std::string_view name) {
    const std::size_t after = pos + 1 + name.size();
    return after < text.size() && EqualsNoCase(text.substr(pos + 1, name.size()), name) &&
           (IsBlank(text[after]) || text[after] == '/' || text[after] == '>');
}

// A meta tag that may stay: it sets nothing but the content type (or a name, a charset).
bool HarmlessMeta(std::string_view text, std::size_t pos, const THtmlTag& tag) {
    if (!tag.complete ||
        text.substr(pos + 1, tag.end - pos - 1).find('<') != std::string_view::npos)
        return false;
    for (const THtmlAttribute& attribute : tag.attributes) {
        if (attribute.name != "http-equiv") continue;
        if (!EqualsNoCase(Trim(AttributeValue(text, attribute)), "content-type")) return false;
    }
    return true;
}

// Where the element of raw text whose start tag `tag` is ends: after its end tag, or at the
// text's end when it has none.
std::size_t RawElementEnd(std::string_view text, const THtmlTag& tag) {
    if (!tag.complete) return text.size();
    const std::size_t close = FindEndTag(text, tag.name, tag.end);
    if (close == std::string_view::npos) return text.size();
    return ReadTag(text, close).end;
}

// A URL as the browser's parser reads it: tabs and line breaks anywhere are dropped, blanks
// and control characters at its ends too.
bool IsRemoteUrl(std::string_view url) {
    std::string clean;
    for (const char c : url) {
        if (c != '\t' && c != '\n' && c != '\r') clean += LowerChar(c);
    }
    std::size_t start = 0;
    while (start < clean.size() && static_cast<unsigned char>(clean[start]) <= ' ') ++start;
    const std::string_view rest = std::string_view(clean).substr(start);
    return rest.starts_with("http:") || rest.starts_with("https:");
}

// A CSS string or url() token's text as CSS reads it: "\" escapes (hex or a character) undone.
std::string CssUnescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        std::size_t end = i + 1;
        unsigned code = 0;
        while (end < text.size() && end < i + 7 &&
               std::isxdigit(static_cast<unsigned char>(text[end]))) {
            const char h = LowerChar(text[end]);
            code = code * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : h - 'a' + 10);
            ++end;
        }
        if (end == i + 1) {
            out += text[++i];
            continue;
        }
        // Only the letters and signs a URL's scheme needs matter here.
        out += code < 0x80 ? static_cast<char>(code) : '?';
        if (end < text.size() && IsBlank(text[end])) ++end;
        i = end - 1;
    }
    return out;
}

// A style sheet with its remote url(...) and quoted remote addresses (@import "...",
// image-set("...")) replaced.
std::string BlockCssUrls(std::string_view css) {
    std::string out;
    out.reserve(css.size());
    std::size_t i = 0;
    while (i < css.size()) {
        const char c = css[i];
        if (c == '"' || c == '\'') {
            std::size_t end = i + 1;
            while (end < css.size() && css[end] != c && css[end] != '\n') {
                end += css[end] == '\\' ? 2 : 1;
            }
            end = std::min(end, css.size());
            const std::string_view inner = css.substr(i + 1, end - i - 1);
            if (IsRemoteUrl(CssUnescaped(inner))) {
                out += c;
                out += kBlockedUrl;
                out += c;
            } else {
                out.append(css.substr(i, std::min(end + 1, css.size()) - i));
            }
            i = end + 1;
            continue;
        }
        if ((c == 'u' || c == 'U' || c == '\\') && i + 3 < css.size()) {
            // "url(" as written, or with escaped letters ("\75 rl(").
            const std::size_t near = css.substr(i, 24).find('(');
            const std::size_t open = near == std::string_view::npos ? near : i + near;
            if (open != std::string_view::npos &&
                EqualsNoCase(CssUnescaped(css.substr(i, open - i)), "url")) {
                const std::size_t close = css.find(')', open);
                const std::size_t end = close == std::string_view::npos ? css.size() : close;
                std::string inner = Trim(CssUnescaped(css.substr(open + 1, end - open - 1)));
                if (!inner.empty() && (inner.front() == '"' || inner.front() == '\'')) {
                    inner = inner.substr(1);
                }
                if (IsRemoteUrl(inner)) {
                    out += "url(";
                    out += kBlockedUrl;
                    out += ')';
                    i = std::min(end + 1, css.size());
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

// A srcset's candidates ("a.png 1x, http://x/b.png 2x"): remote when any one is.
bool HasRemoteCandidate(std::string_view srcset) {
    std::size_t pos = 0;
    while (pos < srcset.size()) {
        while (pos < srcset.size() && (IsBlank(srcset[pos]) || srcset[pos] == ',')) ++pos;
        std::size_t end = pos;
        while (end < srcset.size() && !IsBlank(srcset[end])) ++end;
        if (IsRemoteUrl(srcset.substr(pos, end - pos))) return true;
        const std::size_t comma = srcset.find(',', end);
        pos = comma == std::string_view::npos ? srcset.size() : comma + 1;
    }
    return false;
}

// One start tag with its remote references replaced and its event handlers gone.
std::string SafeTag(std::string_view text, std::size_t pos, const THtmlTag& tag) {
    std::string out;
    std::size_t copied = pos;
    const bool link = tag.name == "a" || tag.name == "area";
    for (const THtmlAttribute& attribute : tag.attributes) {
        const std::string value = AttributeValue(text, attribute);
        std::string replacement;
        bool replace = false;
        if (attribute.name.starts_with("on")) {
            replace = true;
        } else if (attribute.name == "style") {
            replacement = BlockCssUrls(value);
            replace = replacement != value;
            if (replace) replacement = attribute.name + "=\"" + HtmlEscaped(replacement) + "\"";
        } else if (attribute.name == "srcset" || attribute.name == "imagesrcset") {
            replace = HasRemoteCandidate(value);
        } else if (!(link && (attribute.name == "href" || attribute.name == "xlink:href"))) {
            // A link's address is followed only when clicked; any other remote address in a
            // tag may be fetched (src, background, a style sheet's or a base's href, ...).
            replace = IsRemoteUrl(value);
        }
        if (!replace) continue;
        if (replacement.empty() && !attribute.name.starts_with("on")) {
            replacement = attribute.name + "=\"" + std::string(kBlockedUrl) + "\"";
        }
        out.append(text.substr(copied, attribute.begin - copied));
        out += replacement;
        copied = attribute.end;
    }
    out.append(text.substr(copied, tag.end - copied));
    return out;
}

}  // namespace

std::string StripActiveContent(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    std::size_t copied = 0;
    std::size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string_view::npos) {
        std::size_t end = 0;
        if (OpensTag(html, pos, "script")) {
            end = RawElementEnd(html, ReadTag(html, pos));
        } else if (OpensTag(html, pos, "meta")) {
            const THtmlTag tag = ReadTag(html, pos);
            if (HarmlessMeta(html, pos, tag)) {
                pos = tag.end;
                continue;
            }
            end = tag.end;
        } else {
            ++pos;
            continue;
        }
        // Every tag after a dropped one is still looked at: what this scan takes for a tag
        // inside another one's value may be a tag to the browser.
        out.append(html.substr(copied, pos - copied));
        out += ' ';
        copied = pos = end;
    }
    out.append(html.substr(copied));
    return out;
}

std::string BlockRemoteReferences(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    std::size_t copied = 0;
    std::size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string_view::npos) {
        if (html.substr(pos, 4) == "<!--") {
            // A comment is never fetched from.
            const std::size_t close = html.find("-->", pos + 4);
            pos = close == std::string_view::npos ? html.size() : close + 3;
            continue;
        }
        const THtmlTag tag = ReadTag(html, pos);
        if (tag.name.empty()) {
            ++pos;
            continue;
        }
        out.append(html.substr(copied, pos - copied));
        if (!tag.complete) {
            // A browser drops a tag the text ends inside.
            copied = pos = html.size();
            break;
        }
        out += tag.closing ? std::string(html.substr(pos, tag.end - pos)) : SafeTag(html, pos, tag);
        copied = pos = tag.end;
        if (!tag.closing && tag.name == "style") {
            const std::size_t close = FindEndTag(html, "style", pos);
            const std::size_t cssEnd = close == std::string_view::npos ? html.size() : close;
            out += BlockCssUrls(html.substr(pos, cssEnd - pos));
            copied = pos = cssEnd;
        }
    }
    out.append(html.substr(copied));
    return out;
}

std::string MessagePageHtml(const std::vector<std::string>& lines, bool html,
                            std::string_view css) {
    std::size_t size = 256 + css.size();
    for (const std::string& line : lines) size += line.size() + 1;
    const std::string style = "<style>" + std::string(css) + "</style>";
    std::string page;
    page.reserve(size);
    if (!html) {
        page += "<!DOCTYPE html><html><head><meta charset=\"utf-8\">" + style +
                "<style>body{overflow-wrap:anywhere;}</style></head><body>";
        for (const std::string& line : lines) {
            page += line;
            page += '\n';
        }
        page += "</body></html>";
        return page;
    }
    for (const std::string& line : lines) {
        page += line;
        page += '\n';
    }
    page = StripActiveContent(page);
    // The defaults go first, after a leading document type so the page keeps the rendering
    // mode it asks for.
    std::size_t at = 0;
    while (at < page.size() && std::isspace(static_cast<unsigned char>(page[at]))) ++at;
    if (at == page.size()) return page;
    if (StartsWithNoCase(std::string_view(page).substr(at), "<!doctype")) {
        const std::size_t close = page.find('>', at);
        if (close != std::string::npos) at = close + 1;
    }
    page.insert(at, style);
    return page;
}

}  // namespace kivo
