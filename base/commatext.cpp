#include "base/commatext.h"

namespace kivo {

namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';

// Blanks and control characters: they end an unquoted item and are skipped between items.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool NeedsQuotes(std::string_view item) {
    for (char c : item) {
        if (IsBlank(c) || c == kQuote || c == kComma) return true;
    }
    return false;
}

void AppendQuoted(std::string& out, std::string_view item) {
    out += kQuote;
    for (char c : item) {
        if (c == kQuote) out += kQuote;
        out += c;
    }
    out += kQuote;
}

// Reads a quoted run starting at the opening quote; doubled quotes stand for one. A run
// without its closing quote takes the rest of the text.
std::string ReadQuoted(std::string_view text, std::size_t& pos) {
    std::string item;
    ++pos;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c != kQuote) {
            item += c;
        } else if (pos < text.size() && text[pos] == kQuote) {
            item += kQuote;
            ++pos;
        } else {
            break;
        }
    }
    return item;
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

}  // namespace

std::string ToCommaText(const std::vector<std::string>& items) {
    // Without the quotes the single empty item would read back as an empty list.
    if (items.size() == 1 && items[0].empty()) return {kQuote, kQuote};
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += kComma;
        if (NeedsQuotes(items[i])) {
            AppendQuoted(out, items[i]);
        } else {
            out += items[i];
        }
    }
    return out;
}

std::vector<std::string> FromCommaText(std::string_view text) {
    std::vector<std::string> items;
    std::size_t pos = 0;
    SkipBlanks(text, pos);
    while (pos < text.size()) {
        if (text[pos] == kQuote) {
            items.push_back(ReadQuoted(text, pos));
        } else {
            std::size_t start = pos;
            while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != kComma) ++pos;
            items.emplace_back(text.substr(start, pos - start));
        }
        SkipBlanks(text, pos);
        // One comma ends the item; nothing after the last comma means no further item.
        if (pos < text.size() && text[pos] == kComma) {
            ++pos;
            SkipBlanks(text, pos);
        }
    }
    return items;
}

}  // namespace kivo
