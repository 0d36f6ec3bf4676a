// The rich-edit RTF of the composer's body: tables first, then the paragraphs, each run after
// the "\plain" group of words that sets its whole character format.

#include "compose/rtfwriter.h"

#include <algorithm>

#include "base/displaytext.h"

namespace kivo {

namespace {

constexpr int kBulletFont = 1;
constexpr std::string_view kBulletGroups =
    "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\fi-200\\li200";
constexpr std::string_view kBulletText = "{\\pntext\\f1\\'b7\\tab}";

// A font name as the font table can hold it: its entry ends at ";" and the table's groups at
// braces, so those go, as do control characters.
std::string TableFontName(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == ';' || c == '{' || c == '}' || c == '\\' || static_cast<unsigned char>(c) < 32)
            continue;
        out += c;
    }
    return out.empty() ? std::string("Arial") : out;
}

// The next character of UTF-8 text; a byte that starts no valid sequence stands for itself
// (as Latin-1), so no byte is ever dropped.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const std::size_t length = Utf8SequenceLength(text, at);
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    char32_t cp = 0;
    switch (length) {
        case 2:
            cp = (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
            break;
        case 3:
            cp = (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
            break;
        case 4:
            cp = (byte(0) & 0x07u) << 18 | (byte(1) & 0x3Fu) << 12 | (byte(2) & 0x3Fu) << 6 |
                 (byte(3) & 0x3Fu);
            break;
        default:
            cp = byte(0);
            at += 1;
            return cp;
    }
    at += length;
    return cp;
}

// "\uN?" for one UTF-16 unit: RTF's parameter is a signed 16-bit number.
void AppendUnit(std::string& out, unsigned unit) {
    const int value = unit > 0x7FFF ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    out += "\\u" + std::to_string(value) + "?";
}

class TWriter {
  public:
    explicit TWriter(const std::string& defaultFont) {
        fonts_ = {TableFontName(defaultFont), "Symbol"};
        colours_ = {0};
    }
    std::string Write(const std::vector<TRtfParagraph>& paragraphs);

  private:
    void Paragraph(const TRtfParagraph& paragraph, const TRtfParagraph* previous);
    void Format(const TRtfRun& run);
    void Text(std::string_view text);
    void Word(std::string_view word) {
        body_ += word;
        body_ += ' ';
        afterWord_ = true;
    }
    int FontIndex(const std::string& name);
    int ColourIndex(std::uint32_t colour);
    std::string Header() const;

    std::vector<std::string> fonts_;
    std::vector<std::uint32_t> colours_;
    std::string body_;
    const TRtfRun* format_ = nullptr;  // the character format in force
    bool afterWord_ = false;
};

int TWriter::FontIndex(const std::string& name) {
    const std::string entry = name.empty() ? fonts_.front() : TableFontName(name);
    if (entry == fonts_.front()) return 0;
    const auto found = std::find(fonts_.begin() + 2, fonts_.end(), entry);
    if (found != fonts_.end()) return static_cast<int>(found - fonts_.begin());
    fonts_.push_back(entry);
    return static_cast<int>(fonts_.size() - 1);
}

int TWriter::ColourIndex(std::uint32_t colour) {
    colour &= 0xFFFFFFu;
    const auto found = std::find(colours_.begin(), colours_.end(), colour);
    if (found != colours_.end()) return static_cast<int>(found - colours_.begin());
    colours_.push_back(colour);
    return static_cast<int>(colours_.size() - 1);
}

bool SameFormat(const TRtfRun& a, const TRtfRun& b) {
    return a.font == b.font && a.points == b.points && a.colour == b.colour && a.bold == b.bold &&
           a.italic == b.italic && a.underline == b.underline;
}

void TWriter::Format(const TRtfRun& run) {
    if (format_ && SameFormat(*format_, run)) return;
    format_ = &run;
    body_ += "\\plain\\f" + std::to_string(FontIndex(run.font));
    body_ += "\\fs" + std::to_string(std::clamp(run.points, 1, 1600) * 2);
    if (run.colour) body_ += "\\cf" + std::to_string(ColourIndex(*run.colour));
    if (run.bold) body_ += "\\b";
    if (run.italic) body_ += "\\i";
    if (run.underline) body_ += "\\ul";
    Word("");
}

void TWriter::Text(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto u = static_cast<unsigned char>(c);
        if (u >= 128) {
            const char32_t cp = NextCodePoint(text, at);
            if (cp > 0xFFFF) {
                const char32_t v = cp - 0x10000;
                AppendUnit(body_, 0xD800 + static_cast<unsigned>(v >> 10));
                AppendUnit(body_, 0xDC00 + static_cast<unsigned>(v & 0x3FF));
            } else {
                AppendUnit(body_, static_cast<unsigned>(cp));
            }
            afterWord_ = false;
            continue;
        }
        ++at;
        if (c == '\t') {
            Word("\\tab");
            continue;
        }
        if (u < 32) continue;  // line breaks are paragraphs; other controls have no text
        if (c == '\\' || c == '{' || c == '}') {
            body_ += '\\';
            body_ += c;
        } else if (c == ';' && afterWord_) {
            // The reader passes over ";" right after a control word.
            body_ += "\\'3b";
        } else {
            body_ += c;
        }
        afterWord_ = false;
    }
}

void TWriter::Paragraph(const TRtfParagraph& paragraph, const TRtfParagraph* previous) {
    // A list runs on from item to item; any other change of paragraph format starts afresh.
    const bool restart = !previous || paragraph.bulleted != previous->bulleted ||
                         (!paragraph.bulleted && (paragraph.alignment != previous->alignment ||
                                                  paragraph.firstIndent != previous->firstIndent));
    if (restart) {
        body_ += "\\pard";
        // The alignment comes before "\fi", which writes the list or indent tag at once.
        if (paragraph.alignment == TAlignment::Center) body_ += "\\qc";
        if (paragraph.alignment == TAlignment::Right) body_ += "\\qr";
        if (paragraph.bulleted) {
            body_ += kBulletGroups;
        } else if (paragraph.firstIndent != 0) {
            body_ += "\\fi" + std::to_string(paragraph.firstIndent);
        }
        // The character format is written again after the paragraph's words.
        format_ = nullptr;
    } else if (paragraph.bulleted) {
        body_ += kBulletText;
        afterWord_ = false;
    }
    for (const TRtfRun& run : paragraph.runs) {
        if (run.text.empty()) continue;
        Format(run);
        Text(run.text);
    }
    if (restart && !format_ && !paragraph.runs.empty()) Format(paragraph.runs.front());
    if (restart && !format_) Word("\\plain");
    body_ += "\r\n";
    Word("\\par");
}

std::string TWriter::Header() const {
    std::string header = "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl";
    for (std::size_t k = 0; k < fonts_.size(); ++k) {
        header += "{\\f" + std::to_string(k) +
                  (static_cast<int>(k) == kBulletFont ? "\\froman\\fcharset2 " : "\\fswiss ") +
                  fonts_[k] + ";}";
    }
    header += "}\r\n{\\colortbl";
    for (const std::uint32_t colour : colours_) {
        header += "\\red" + std::to_string(colour & 0xFF) + "\\green" +
                  std::to_string(colour >> 8 & 0xFF) + "\\blue" +
                  std::to_string(colour >> 16 & 0xFF) + ";";
    }
    header += "}\r\n\\deflang1033";
    return header;
}

std::string TWriter::Write(const std::vector<TRtfParagraph>& paragraphs) {
    const TRtfParagraph* previous = nullptr;
    for (const TRtfParagraph& paragraph : paragraphs) {
        Paragraph(paragraph, previous);
        previous = &paragraph;
    }
    return Header() + body_ + "}";
}

}  // namespace

std::string WriteRichEditRtf(const std::vector<TRtfParagraph>& paragraphs,
                             const std::string& defaultFont) {
    return TWriter(defaultFont).Write(paragraphs);
}

}  // namespace kivo
