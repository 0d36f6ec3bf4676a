// Styled HTML lines: the steps from the body's RTF to the finished lines of the message.

#include "compose/styledhtml.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "compose/filenames.h"
#include "compose/rtf2html.h"

namespace kivo {

namespace {

constexpr int kMaxTempNames = 10000;

std::string EscapeAngles(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '>') {
            out += "&gt;";
        } else if (c == '<') {
            out += "&lt;";
        } else {
            out += c;
        }
    }
    return out;
}

std::string ColourText(std::uint32_t colour, std::uint32_t system, const char* systemText) {
    return colour == system ? systemText : HexRgb(colour);
}

// The line that ends the body's table and opens the signature's, with its font tag.
std::string SignatureStart(const TStyleState& state, int messageFontSize) {
    std::string line = "</font></td></tr></table><table><tr><td>";
    const TCharFormat& font = state.sigFont;
    const bool face = state.defaultSigFont || state.sigFontChanged;
    if (state.sigColourSet || face) {
        line += "<font ";
        if (face) {
            line += "face=\"" + font.font + "\" ";
            if (font.size != messageFontSize)
                line += "size=\"" + std::to_string(rtf2html::HtmlSize(font.size)) + "\" ";
        }
        if (state.sigColourSet)
            line += "color=\"#" + ColourText(font.colour, kWindowTextColour, "000000") + "\"";
        line += ">";
    }
    line += "<br>";
    if (font.bold) line += "<b>";
    if (font.italic) line += "<i>";
    if (font.underline) line += "<u>";
    return line;
}

bool StartsWithLower(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t k = 0; k < prefix.size(); ++k) {
        if (LowerChar(text[at + k]) != prefix[k]) return false;
    }
    return true;
}

bool StartsUrl(std::string_view text, std::size_t at) {
    return StartsWithLower(text, at, "http://") || StartsWithLower(text, at, "ftp://") ||
           StartsWithLower(text, at, "news://");
}

// Where a URL starting at `at` ends. The entities the program itself writes ("&nbsp;" for
// blanks, "&gt;" and "&lt;" for angle brackets) end it too, so a URL typed as <http://...>
// or followed by two blanks keeps a working address.
std::size_t UrlEnd(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end + 1 < text.size()) {
        const char c = text[end];
        if (c == '\r' || c == '\n' || c == ' ' || c == '(' || c == ')' || c == ';' || c == '<')
            break;
        if (c == '&' && (StartsWithLower(text, end, "&nbsp;") ||
                         StartsWithLower(text, end, "&gt;") || StartsWithLower(text, end, "&lt;")))
            break;
        ++end;
    }
    return end;
}

}  // namespace

std::string KeepBlanks(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t k = 0; k < line.size(); ++k) {
        if (line[k] == ' ' && k + 1 < line.size() && line[k + 1] == ' ') {
            out += "&nbsp;&nbsp;";
            ++k;
        } else {
            out += line[k];
        }
    }
    return out;
}

std::string LinkUrls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t k = 0;
    while (k < text.size()) {
        if (!StartsUrl(text, k) || (k >= 7 && StartsWithLower(text, k - 6, "href=\"")) ||
            (k >= 1 && text[k - 1] == '>')) {
            out += text[k++];
            continue;
        }
        const std::size_t end = UrlEnd(text, k);
        const std::string_view url = text.substr(k, end - k);
        out += "<a href=\"";
        out += url;
        out += "\">";
        out += url;
        out += "</a>";
        // The character after the URL ends it and cannot start another one.
        if (end < text.size()) out += text[end];
        k = end + 1;
    }
    return out;
}

std::vector<std::string> StyledHtmlLines(const std::vector<std::string>& rtfLines,
                                         const TStyleState& state,
                                         const std::vector<std::string>* signature,
                                         int messageFontSize) {
    std::string rtf;
    for (const std::string& line : rtfLines) rtf += EscapeAngles(line) + "\r\n";
    const std::vector<std::string> body = SplitLines(rtf2html::Convert(rtf));

    std::vector<std::string> lines{"<html><head></head>"};
    if (state.defaultBackground) {
        lines.push_back("<body bgcolor=\"#" +
                        ColourText(state.background, kWindowColour, "FFFFFF") + "\">");
    } else {
        lines.emplace_back("<body>");
    }
    if (signature) lines.emplace_back("<table><tr><td>");
    lines.insert(lines.end(), body.begin(), body.end());
    if (signature) {
        lines.push_back(SignatureStart(state, messageFontSize));
        for (const std::string& line : *signature) lines.push_back(EscapeAngles(line) + "<br>");
        lines.emplace_back("</td></tr></table>");
    }
    std::string text;
    for (std::string& line : lines) {
        if (line.starts_with("From ")) line.insert(0, "&gt;");
        if (!text.empty()) text += "\r\n";
        text += KeepBlanks(line);
    }
    return SplitLines(LinkUrls(text));
}

std::filesystem::path CreateNumberedTempFile(const std::filesystem::path& folder) {
    std::string name = "~kiv001";
    for (int tries = 0;; ++tries) {
        std::filesystem::path path = folder / (name + ".tmp");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST || tries >= kMaxTempNames)
            throw std::system_error(errno, std::generic_category(), path.string());
        NextNumberedName(name, kShortTextMax);
    }
}

std::vector<std::string> RtfLinesThroughFile(std::string_view rtf,
                                             const std::filesystem::path& folder) {
    const std::filesystem::path path = CreateNumberedTempFile(folder);
    try {
        WriteFileAtomic(path, rtf);
        const std::vector<std::string> lines = SplitLines(ReadFileBytes(path));
        std::filesystem::remove(path);
        return lines;
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        throw;
    }
}

}  // namespace kivo
