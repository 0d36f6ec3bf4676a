#include "view/msghtml.h"

#include "base/bytes.h"

namespace kivo {

namespace {

constexpr std::string_view kAttachmentPrefix = "Attachment Converted: \"";
constexpr std::string_view kHttp = "http";  // followed by "://" or "s://"

bool EndsWithAt(std::string_view line, std::size_t pos, std::string_view tail) {
    return pos >= tail.size() && line.substr(pos - tail.size(), tail.size()) == tail;
}

// Where an address starting at `from` ends: the first character that cannot be part of it,
// or the start of an entity the text conversion wrote.
std::size_t UrlEnd(std::string_view line, std::size_t from) {
    static constexpr std::string_view kEntities[] = {"&gt;", "&lt;", "&nbsp;"};
    for (std::size_t i = from; i < line.size(); ++i) {
        switch (line[i]) {
            case ' ':
            case '(':
            case ')':
            case ';':
            case '<':
            case '\r':
            case '\n':
                return i;
            case '&':
                for (std::string_view entity : kEntities) {
                    if (line.substr(i, entity.size()) == entity) return i;
                }
                break;
            default:
                break;
        }
    }
    return line.size();
}

// Links the addresses of one line; `before` is how many characters of the whole text precede
// the line.
std::string LinkLine(std::string_view line, std::size_t before) {
    std::string out;
    std::size_t copied = 0;
    std::size_t pos = 0;
    while ((pos = FindNoCase(line, kHttp, pos)) != std::string_view::npos) {
        const std::string_view rest = line.substr(pos + kHttp.size());
        if (!rest.starts_with("://") && !StartsWithNoCase(rest, "s://")) {
            ++pos;
            continue;
        }
        const bool inHref =
            before + pos >= 7 && pos >= 6 && EqualsNoCase(line.substr(pos - 6, 6), "href=\"");
        const bool afterTag = EndsWithAt(line, pos, ">") || EndsWithAt(line, pos, "&gt;");
        if (inHref || afterTag) {
            ++pos;
            continue;
        }
        const std::size_t end = UrlEnd(line, pos);
        const std::string_view url = line.substr(pos, end - pos);
        out.append(line.substr(copied, pos - copied));
        out += "<a href=\"";
        out.append(url);
        out += "\">";
        out.append(url);
        out += "</a>";
        // The character that ended the address is passed over by the scan, not removed.
        copied = end;
        pos = end + 1;
        if (pos >= line.size()) break;
    }
    if (copied == 0) return std::string(line);
    out.append(line.substr(std::min(copied, line.size())));
    return out;
}

}  // namespace

std::string TextLineToHtml(std::string_view line) {
    std::string out;
    out.reserve(line.size() + 8);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '>') {
            out += "&gt;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == ' ' && i + 1 < line.size() && line[i + 1] == ' ') {
            out += "&nbsp;&nbsp;";
            ++i;
        } else {
            out += c;
        }
    }
    out += "<br>";
    return out;
}

std::string HeaderLineToHtml(std::string_view line) {
    std::string out;
    out.reserve(line.size() + 8);
    for (const char c : line) {
        if (c == '>') {
            out += "&gt;";
        } else if (c == '<') {
            out += "&lt;";
        } else {
            out += c;
        }
    }
    out += "<br>";
    return out;
}

void LinkUrls(std::vector<std::string>& lines) {
    std::size_t before = 0;
    for (std::string& line : lines) {
        const std::size_t length = line.size();
        if (FindNoCase(line, kHttp) != std::string::npos) line = LinkLine(line, before);
        before += length + 2;  // the line and its CR LF
    }
}

bool IsAttachmentLine(std::string_view line) {
    return line.starts_with(kAttachmentPrefix);
}

std::string AttachmentLinePath(std::string_view line) {
    if (line.size() <= kAttachmentPrefix.size()) return {};
    return std::string(
        line.substr(kAttachmentPrefix.size(), line.size() - kAttachmentPrefix.size() - 1));
}

std::string AttachmentFileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace kivo

namespace kivo {

std::vector<std::string> TakeAttachmentLines(std::vector<std::string>& body) {
    std::vector<std::string> paths;
    std::erase_if(body, [&](const std::string& line) {
        if (!IsAttachmentLine(line)) return false;
        paths.push_back(AttachmentLinePath(line));
        return true;
    });
    return paths;
}

}  // namespace kivo
