#include "base/terminaltext.h"

#include <cstdio>

namespace kivo {

namespace {

void Append(std::string& out, std::string_view text, bool keepTabs, bool blankBreaks) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\t' && keepTabs) {
            out += '\t';
        } else if (blankBreaks && (c == '\t' || c == '\r' || c == '\n')) {
            out += ' ';
        } else if (c < 0x20 || c == 0x7F) {
            out += '^';
            out += static_cast<char>(c ^ 0x40);
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F: CSI (U+009B) and OSC (U+009D) act on some terminals.
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned char>(text[++i]));
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
}

}  // namespace

std::string VisibleControls(std::string_view text, bool keepTabs) {
    std::string out;
    out.reserve(text.size());
    Append(out, text, keepTabs, false);
    return out;
}

std::string FieldText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    Append(out, text, false, true);
    return out;
}

}  // namespace kivo
