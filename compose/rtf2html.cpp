// The RTF-to-HTML scanner: a cursor over the text, a handful of state numbers and the two
// tables, with one small function per kind of token.

#include "compose/rtf2html.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "base/bytes.h"
#include "base/displaytext.h"
#include "mail/utf8text.h"

namespace kivo::rtf2html {

namespace {

constexpr std::string_view kBreak = "\r\n";
constexpr std::size_t kFontNameMax = 63;
// "#" and three parameters of at most eight hex digits: a colour that keeps growing from
// repeated "\green" words stops here, so neither the table nor the font tags grow without end.
constexpr std::size_t kColourTextMax = 25;

// A character style: off, switched on but not written, on and written, switched off but not
// written.
enum TStyle { stOff, stPending, stOn, stClosing };
enum TParagraph { paPlain, paListStart, paListItem, paItemEnd, paListEnd };
enum TAlign { alLeft, alRight, alCenter };

std::string Hex2(long long value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto v = static_cast<std::uint32_t>(value);
    std::string text;
    do {
        text.insert(text.begin(), kDigits[v & 15]);
        v >>= 4;
    } while (v != 0);
    if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

bool EndsWord(char c) {
    return c == ' ' || c == '-' || (c >= '0' && c <= '9') || c == ';' || c == '\\' || c == '{' ||
           c == '}';
}

bool InParameter(char c) {
    return c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

// Characters copied straight after an emitted one: anything but markup and control codes.
bool CopiesDirectly(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 128 || (u >= 32 && c != '<' && c != '>' && c != '\\' && c != '{' && c != '}');
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Groups of a word processor's RTF that hold no document text (style sheets, document
// information, list and revision tables, pictures, headers and footers): passed over whole.
bool IsSkippedDestination(std::string_view word) {
    static constexpr std::string_view kWords[] = {
        "stylesheet", "info",   "listtable", "listoverridetable", "rsidtbl",  "revtbl",
        "pict",       "object", "header",    "headerl",           "headerr",  "headerf",
        "footer",     "footerl", "footerr",  "footerf",           "xmlnstbl", "pgdsctbl",
        "fldinst",    "shp",    "nonshppict", "footnote",         "annotation", "filetbl",
        "latentstyles", "themedata", "datastore", "generator",    "listtext", "pntext"};
    return std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords);
}

const std::string& Entry(const std::vector<std::string>& table, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return table[static_cast<std::size_t>(index)];
}

class TConverter {
  public:
    explicit TConverter(std::string_view rtf)
        : s_(rtf), standard_(rtf.find("\\deflang") == std::string_view::npos) {}
    std::string Run();

  private:
    // The formatting a group may change and its end gives back (standard RTF only).
    struct TGroupFormat {
        bool bold, italic, underline;
        int font, size, colour;
    };
    void StandardWord(const std::string& word, std::string_view param, bool groupStart);
    void StandardFontTable();
    void StandardColourTable();
    void EndHeader();
    void OpenGroup();
    void CloseGroup();
    void SwitchStyle(TStyle& state, bool on);
    void AddByte(char code);
    void FlushBytes();
    void ControlSequence();
    void ControlWord(const std::string& word, std::string_view param);
    void FontTableEntry();
    void SkipGroup();
    void SkipGroupRaw(long long outer);
    void Emit(const char* c);
    void EmitParagraph();
    void EmitStyles();
    void Unicode(long long unit);
    void SkipFallback();
    static void CloseWritten(std::string& out, TStyle& state, const char* tag);

    std::string_view s_;
    // RTF that lacks the rich-edit control's "\deflang" (as word processors write it) is read
    // by the general rules: letters-only control words, tables read as groups, formatting
    // scoped by groups, and table entries looked up leniently.
    bool standard_;
    std::size_t i_ = 0;
    std::vector<TGroupFormat> groups_;
    std::map<int, std::string> fontMap_;  // standard RTF: font number to name
    // "\'xx" bytes in the document's code page ("\ansicpgN", Windows-1252 when none),
    // collected so that a two-byte character of an East Asian code page converts whole.
    std::string codePage_ = "windows-1252";
    std::string bytes_;
    std::unique_ptr<Utf8Converter> converter_;
    std::string converterPage_;
    long long deepGroups_ = 0;
    std::string out_;
    long long depth_ = 0;
    std::vector<std::string> fonts_;
    std::vector<std::string> colours_;
    std::string colour_;
    bool inFontTable_ = false;
    int defaultFont_ = 0;
    int font_ = 0;
    int colourNumber_ = 0;
    int size_ = 0;
    bool fontPending_ = false;
    TStyle bold_ = stOff, italic_ = stOff, underline_ = stOff;
    bool styleWritten_ = false;
    TParagraph paragraph_ = paPlain;
    bool paragraphWritten_ = false;
    TAlign align_ = alLeft;
    // "\uN": the characters after it that stand in for readers without Unicode ("\ucN"),
    // and a high surrogate waiting for its low half.
    int fallback_ = 1;
    char32_t highSurrogate_ = 0;
};

std::string TConverter::Run() {
    out_.reserve(s_.size());
    while (i_ < s_.size()) {
        const char c = s_[i_];
        if (!bytes_.empty() && !(c == '\\' && i_ + 1 < s_.size() && s_[i_ + 1] == '\'')) {
            FlushBytes();
        }
        if (static_cast<unsigned char>(c) < 32) {
            ++i_;
        } else if (c == '\\') {
            ControlSequence();
        } else if (c == '{') {
            ++depth_;
            ++i_;
            if (standard_) OpenGroup();
        } else if (c == '}') {
            --depth_;
            ++i_;
            if (standard_) CloseGroup();
        } else {
            Emit(&c);
            ++i_;
            const std::size_t start = i_;
            while (i_ < s_.size() && CopiesDirectly(s_[i_])) ++i_;
            out_.append(s_.substr(start, i_ - start));
        }
    }
    FlushBytes();
    // An empty paragraph before another one becomes the closing tag of the paragraph before.
    static constexpr std::string_view kEmpty = "\r\n<P>\r\n<P";
    std::string result;
    result.reserve(out_.size());
    for (std::size_t k = 0; k < out_.size();) {
        if (out_.compare(k, kEmpty.size(), kEmpty) == 0) {
            result += "</P>";
            k += 6;
        } else {
            result += out_[k++];
        }
    }
    return result;
}

void TConverter::ControlSequence() {
    const std::size_t n = s_.size();
    const char next = i_ + 1 < n ? s_[i_ + 1] : '\0';
    if (next == '\\' || next == '{' || next == '}') {
        Emit(&next);
        i_ += 2;
    } else if (next == '\'') {
        const int high = i_ + 2 < n ? HexDigit(s_[i_ + 2]) : 0;
        const int low = i_ + 3 < n ? HexDigit(s_[i_ + 3]) : 0;
        AddByte(static_cast<char>(high * 16 + low));
        i_ = std::min(i_ + 4, n);
    } else if (next == '*') {
        i_ += 2;
        SkipGroup();
    } else if (standard_) {
        const bool groupStart = i_ > 0 && s_[i_ - 1] == '{';
        std::size_t j = i_ + 1;
        while (j < n && IsLetter(s_[j])) ++j;
        const std::string word(s_.substr(i_ + 1, j - i_ - 1));
        const std::size_t paramStart = j;
        if (j < n && s_[j] == '-') ++j;
        while (j < n && s_[j] >= '0' && s_[j] <= '9') ++j;
        std::string_view param = s_.substr(paramStart, j - paramStart);
        if (param == "-") {
            param = {};
            j = paramStart;
        }
        if (word.empty()) {
            // A control symbol: "\~" a fixed blank, "\_" a fixed hyphen, "\-" an optional
            // hyphen (nothing), a backslash before a line break a paragraph.
            const char symbol = j < n ? s_[j] : '\0';
            i_ = std::min(j + 1, n);
            if (symbol == '~') Emit(" ");
            if (symbol == '_') Emit("-");
            if (symbol == '\n' || symbol == '\r') ControlWord("\\par", {});
            return;
        }
        if (j < n && s_[j] == ' ') ++j;
        i_ = j;
        StandardWord(word, param, groupStart);
    } else {
        std::size_t j = i_ + 1;
        while (j < n && !EndsWord(s_[j])) ++j;
        const std::string word(s_.substr(i_, j - i_));
        const std::size_t paramStart = j;
        while (j < n && InParameter(s_[j])) ++j;
        const std::string_view param = s_.substr(paramStart, j - paramStart);
        if (j < n && s_[j] == ' ') ++j;
        while (j < n && (s_[j] == ';' || s_[j] == '{' || s_[j] == '}')) ++j;
        i_ = j;
        ControlWord(word, param);
    }
}

// Passes over the rest of the current group: up to the "}" that closes it.
void TConverter::SkipGroup() {
    const long long level = depth_;
    SkipGroupRaw(level - 1);
    if (standard_ && depth_ < level) CloseGroup();
}

// Passes over characters until the group depth falls to `outer`; in standard RTF an escaped
// brace ("\{", "\}") is text, not a group.
void TConverter::SkipGroupRaw(long long outer) {
    while (i_ < s_.size() && depth_ > outer) {
        if (standard_ && s_[i_] == '\\') {
            i_ += 2;
            continue;
        }
        if (s_[i_] == '{') ++depth_;
        if (s_[i_] == '}') --depth_;
        ++i_;
    }
    i_ = std::min(i_, s_.size());
}

// A font table entry: the font family words up to the next blank, then the name up to ";".
void TConverter::FontTableEntry() {
    const std::size_t n = s_.size();
    while (i_ < n && s_[i_] != ' ') ++i_;
    if (i_ < n) ++i_;
    const std::size_t start = i_;
    while (i_ < n && s_[i_] != ';') ++i_;
    fonts_.emplace_back(s_.substr(start, std::min(i_ - start, kFontNameMax)));
    if (i_ < n) ++i_;
    --depth_;
}

void TConverter::AddByte(char code) {
    bytes_ += code;
}

void TConverter::FlushBytes() {
    if (bytes_.empty()) return;
    if (!converter_ || converterPage_ != codePage_) {
        converter_ = std::make_unique<Utf8Converter>(codePage_);
        converterPage_ = codePage_;
    }
    const std::string text = converter_->Convert(bytes_);
    bytes_.clear();
    for (const char c : text) Emit(&c);
}

void TConverter::SwitchStyle(TStyle& state, bool on) {
    const bool isOn = state == stOn || state == stPending;
    if (on == isOn) return;
    styleWritten_ = false;
    if (on) {
        state = state == stClosing ? stOn : stPending;
    } else {
        state = state == stPending ? stOff : stClosing;
    }
}

void TConverter::OpenGroup() {
    // Nesting this deep is no document: the formatting of deeper groups is not kept.
    static constexpr std::size_t kGroupsMax = 1000;
    if (groups_.size() >= kGroupsMax) {
        ++deepGroups_;
        return;
    }
    const auto on = [](TStyle state) { return state == stOn || state == stPending; };
    groups_.push_back({on(bold_), on(italic_), on(underline_), font_, size_, colourNumber_});
}

void TConverter::CloseGroup() {
    if (deepGroups_ > 0) {
        --deepGroups_;
        return;
    }
    if (groups_.empty()) return;
    const TGroupFormat saved = groups_.back();
    groups_.pop_back();
    SwitchStyle(bold_, saved.bold);
    SwitchStyle(italic_, saved.italic);
    SwitchStyle(underline_, saved.underline);
    if (saved.font != font_ || saved.size != size_ || saved.colour != colourNumber_) {
        font_ = saved.font;
        size_ = saved.size;
        colourNumber_ = saved.colour;
        fontPending_ = true;
        styleWritten_ = false;
    }
}

// What the rich-edit control's "\deflang" does: the header is over, the text starts plain.
void TConverter::EndHeader() {
    inFontTable_ = false;
    align_ = alLeft;
    paragraph_ = paPlain;
    paragraphWritten_ = false;
    font_ = defaultFont_;
    size_ = 3;
    colourNumber_ = 0;
    bold_ = italic_ = underline_ = stOff;
    styleWritten_ = false;
    fontPending_ = false;
}

// The rest of the group a "\fonttbl" opened: "\fN" starts an entry, ";" ends its name;
// "\*" groups inside (alternative names, font data) are passed over.
void TConverter::StandardFontTable() {
    const std::size_t n = s_.size();
    long long level = 0;
    int number = -1;
    std::string name;
    while (i_ < n) {
        const char c = s_[i_];
        if (c == '{') {
            if (s_.substr(i_, 3) == "{\\*") {
                ++i_;
                const long long outer = depth_;
                ++depth_;
                SkipGroupRaw(outer);
                continue;
            }
            ++level;
            ++i_;
        } else if (c == '}') {
            ++i_;
            if (level-- == 0) break;
        } else if (c == '\\') {
            std::size_t j = i_ + 1;
            while (j < n && IsLetter(s_[j])) ++j;
            const std::string_view word = s_.substr(i_ + 1, j - i_ - 1);
            const std::size_t paramStart = j;
            while (j < n && (s_[j] == '-' || (s_[j] >= '0' && s_[j] <= '9'))) ++j;
            if (word == "f") {
                number = ToIntDef(s_.substr(paramStart, j - paramStart), 0);
                name.clear();
            }
            if (word.empty()) j = std::min(i_ + (j < n && s_[j] == '\'' ? 4 : 2), n);
            if (j < n && s_[j] == ' ' && !word.empty()) ++j;
            i_ = j;
        } else if (c == ';') {
            if (number >= 0) fontMap_[number] = Trim(name).substr(0, kFontNameMax);
            number = -1;
            ++i_;
        } else {
            if (static_cast<unsigned char>(c) >= 32 && name.size() < 4 * kFontNameMax) name += c;
            ++i_;
        }
    }
    --depth_;
    CloseGroup();
    EndHeader();
}

// The rest of the group a "\colortbl" opened: one entry per ";", an entry without colour
// words being the automatic colour (no COLOR attribute).
void TConverter::StandardColourTable() {
    const std::size_t n = s_.size();
    std::string colour;
    while (i_ < n && s_[i_] != '}') {
        if (s_[i_] == ';') {
            colours_.push_back(colour);
            colour.clear();
            ++i_;
        } else if (s_[i_] == '\\') {
            std::size_t j = i_ + 1;
            while (j < n && IsLetter(s_[j])) ++j;
            const std::string_view word = s_.substr(i_ + 1, j - i_ - 1);
            const std::size_t paramStart = j;
            while (j < n && s_[j] >= '0' && s_[j] <= '9') ++j;
            const int value = ToIntDef(s_.substr(paramStart, j - paramStart), 0) & 255;
            if (word == "red") colour = "#" + Hex2(value) + "0000";
            if (word == "green" && colour.size() == 7) colour.replace(3, 2, Hex2(value));
            if (word == "blue" && colour.size() == 7) colour.replace(5, 2, Hex2(value));
            if (word.empty()) j = std::min(i_ + 2, n);
            if (j < n && s_[j] == ' ') ++j;
            i_ = j;
        } else {
            ++i_;
        }
    }
    if (i_ < n) {
        ++i_;
        --depth_;
        CloseGroup();
    }
}

void TConverter::StandardWord(const std::string& word, std::string_view param, bool groupStart) {
    if (groupStart && IsSkippedDestination(word)) {
        SkipGroup();
        return;
    }
    const bool off = param == "0";
    if (word == "fonttbl") {
        StandardFontTable();
    } else if (word == "colortbl") {
        StandardColourTable();
    } else if (word == "b") {
        SwitchStyle(bold_, !off);
    } else if (word == "i") {
        SwitchStyle(italic_, !off);
    } else if (word == "ul") {
        SwitchStyle(underline_, !off);
    } else if (word == "ulnone") {
        SwitchStyle(underline_, false);
    } else if (word == "ql" || word == "qj") {
        align_ = alLeft;
        paragraphWritten_ = false;
    } else if (word == "line") {
        Emit(nullptr);
        out_ += "<BR>";
    } else if (word == "sect" || word == "page" || word == "row") {
        ControlWord("\\par", {});
    } else if (word == "cell") {
        Emit("\t");
    } else if (word == "f" || word == "fs" || word == "cf" || word == "par" || word == "plain" ||
               word == "tab" || word == "qc" || word == "qr" || word == "pard" || word == "u" ||
               word == "uc" || word == "deff" || word == "ansicpg") {
        ControlWord("\\" + word, param);
    }
}

void TConverter::ControlWord(const std::string& word, std::string_view param) {
    const auto number = [&](int fallback) { return ToIntDef(param, fallback); };
    const auto switchOn = [&](TStyle& state) {
        styleWritten_ = false;
        if (state == stOff) state = stPending;
    };
    if (word == "\\par") {
        if (paragraph_ == paListItem) paragraph_ = paItemEnd;
        paragraphWritten_ = false;
    } else if (word == "\\f") {
        if (inFontTable_) {
            FontTableEntry();
            return;
        }
        const int value = number(0);
        if (value != font_) {
            font_ = value;
            fontPending_ = true;
            styleWritten_ = false;
        }
    } else if (word == "\\plain") {
        for (TStyle* state : {&bold_, &italic_, &underline_}) {
            if (*state == stOn) *state = stClosing;
        }
        const bool closing = bold_ == stClosing || italic_ == stClosing || underline_ == stClosing;
        if (closing || colourNumber_ != 0) {
            const bool coloured = colourNumber_ != 0;
            colourNumber_ = 0;
            styleWritten_ = false;
            Emit(nullptr);
            // Text after "\plain" is in the default colour again: the next text gets a new
            // font tag, written once the words after "\plain" have set its font and size.
            if (coloured) {
                fontPending_ = true;
                styleWritten_ = false;
            }
        }
    } else if (word == "\\fs") {
        const int value = HtmlSize(number(11) / 2);
        if (value != size_) {
            size_ = value;
            styleWritten_ = false;
            fontPending_ = true;
        }
    } else if (word == "\\tab") {
        const char tab = '\t';
        Emit(&tab);
    } else if (word == "\\ul") {
        switchOn(underline_);
    } else if (word == "\\b") {
        switchOn(bold_);
    } else if (word == "\\i") {
        switchOn(italic_);
    } else if (word == "\\cf") {
        const int value = number(0);
        if (value != colourNumber_) {
            colourNumber_ = value;
            styleWritten_ = false;
            fontPending_ = true;
        }
    } else if (word == "\\qc" || word == "\\qr") {
        align_ = word == "\\qc" ? alCenter : alRight;
        paragraphWritten_ = false;
    } else if (word == "\\pntext") {
        paragraphWritten_ = false;
        paragraph_ = paListItem;
        SkipGroup();
    } else if (word == "\\fi") {
        paragraphWritten_ = false;
        paragraph_ = paListStart;
        Emit(nullptr);
    } else if (word == "\\pard") {
        align_ = alLeft;
        if (paragraph_ != paPlain) paragraph_ = paListEnd;
        paragraphWritten_ = false;
    } else if (word == "\\red") {
        colour_ = "#" + Hex2(number(255));
    } else if (word == "\\green" || word == "\\blue") {
        const std::string digits = Hex2(number(255));
        if (colour_.size() + digits.size() <= kColourTextMax) colour_ += digits;
        if (word == "\\blue") colours_.push_back(colour_);
    } else if (word == "\\u") {
        Unicode(ToIntDef(param, 0));
    } else if (word == "\\uc") {
        fallback_ = std::clamp(number(1), 0, 16);
    } else if (word == "\\deff") {
        defaultFont_ = number(0);
    } else if (word == "\\ansicpg") {
        if (number(0) > 0) codePage_ = "cp" + std::to_string(number(0));
    } else if (word == "\\fonttbl") {
        inFontTable_ = true;
    } else if (word == "\\deflang") {
        EndHeader();
    }
}

// A Unicode character as UTF-16 unit (signed, as RTF writes it): written as UTF-8, a
// surrogate pair as one character; the stand-in characters after it are passed over.
void TConverter::Unicode(long long unit) {
    const auto u = static_cast<char32_t>(unit < 0 ? unit + 0x10000 : unit) & 0xFFFFu;
    SkipFallback();
    if (u >= 0xD800 && u <= 0xDBFF) {
        highSurrogate_ = u;
        return;
    }
    char32_t cp = u;
    if (u >= 0xDC00 && u <= 0xDFFF) {
        if (highSurrogate_ == 0) return;
        cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (u - 0xDC00);
    }
    highSurrogate_ = 0;
    if (cp == 0) return;  // no character (a parameter that is no number)
    std::string bytes;
    AppendUtf8(bytes, cp);
    Emit(&bytes[0]);
    out_.append(bytes, 1);
}

void TConverter::SkipFallback() {
    const std::size_t n = s_.size();
    for (int k = 0; k < fallback_ && i_ < n; ++k) {
        const char c = s_[i_];
        if (c == '\\' && i_ + 1 < n && s_[i_ + 1] == '\'') {
            i_ = std::min(i_ + 4, n);
        } else if (c == '\\' || c == '{' || c == '}') {
            return;
        } else {
            ++i_;
        }
    }
}

void TConverter::CloseWritten(std::string& out, TStyle& state, const char* tag) {
    if (state != stOn && state != stClosing) return;
    out += tag;
    if (state == stClosing) state = stOff;
}

void TConverter::EmitParagraph() {
    CloseWritten(out_, bold_, "</B>");
    CloseWritten(out_, italic_, "</I>");
    CloseWritten(out_, underline_, "</U>");
    switch (paragraph_) {
        case paPlain:
            out_ += kBreak;
            out_ += align_ == alRight ? "<P ALIGN=RIGHT>"
                                      : (align_ == alCenter ? "<P ALIGN=CENTER>" : "<P>");
            break;
        case paListStart:
            out_ += kBreak;
            out_ += "<UL>";
            break;
        case paListItem:
            out_ += kBreak;
            out_ += "<LI>";
            break;
        case paItemEnd:
            out_ += "</LI>";
            break;
        case paListEnd:
            out_ += kBreak;
            out_ += "</UL>";
            paragraph_ = paPlain;
            break;
    }
    if (bold_ == stOn) out_ += "<B>";
    if (italic_ == stOn) out_ += "<I>";
    if (underline_ == stOn) out_ += "<U>";
    paragraphWritten_ = true;
}

void TConverter::EmitStyles() {
    if (fontPending_ && standard_) {
        // Word processors number fonts freely and start the colour table with "automatic":
        // what the tables do not give is left out of the tag.
        const auto face = fontMap_.find(font_);
        const bool colour = colourNumber_ >= 0 &&
                            static_cast<std::size_t>(colourNumber_) < colours_.size() &&
                            !colours_[static_cast<std::size_t>(colourNumber_)].empty();
        out_ += "<FONT";
        if (face != fontMap_.end()) out_ += " FACE=\"" + face->second + "\"";
        if (colour) out_ += " COLOR=\"" + colours_[static_cast<std::size_t>(colourNumber_)] + "\"";
        out_ += " SIZE=\"" + std::to_string(size_) + "\">";
        fontPending_ = false;
    }
    if (fontPending_) {
        out_ += "<FONT FACE=\"" + Entry(fonts_, font_) + "\" COLOR=\"" +
                Entry(colours_, colourNumber_) + "\" SIZE=\"" + std::to_string(size_) + "\">";
        fontPending_ = false;
    }
    const auto open = [&](TStyle& state, const char* on, const char* off) {
        if (state == stPending) {
            out_ += on;
            state = stOn;
        } else if (state == stClosing) {
            out_ += off;
            state = stOff;
        }
    };
    open(bold_, "<B>", "</B>");
    open(italic_, "<I>", "</I>");
    open(underline_, "<U>", "</U>");
    styleWritten_ = true;
}

// Writes the pending paragraph and style tags, then the character when there is one.
void TConverter::Emit(const char* c) {
    if (!paragraphWritten_) EmitParagraph();
    if (!styleWritten_) EmitStyles();
    if (c == nullptr) return;
    if (*c == '<') {
        out_ += "&lt;";
    } else if (*c == '>') {
        out_ += "&gt;";
    } else {
        out_ += *c;
    }
}

}  // namespace

int HtmlSize(int points) {
    if (points >= 1 && points <= 5) return 1;
    if (points >= 6 && points <= 9) return 2;
    if (points >= 10 && points <= 11) return 3;
    if (points >= 12 && points <= 13) return 4;
    if (points >= 14 && points <= 15) return 5;
    return 6;
}

std::string Convert(std::string_view rtf) {
    return TConverter(rtf).Run();
}

}  // namespace kivo::rtf2html
