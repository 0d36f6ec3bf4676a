#include "view/labels.h"

#include "base/displaytext.h"
#include "mail/encodedword.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {
bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
}  // namespace

std::string LabelText(std::string_view name, const std::vector<std::string>& headers) {
    return TerminalText(DecodeEncodedWords(HeaderValue(name, headers)));
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) count += IsContinuation(c) ? 0 : 1;
    return count;
}

std::string Utf8Prefix(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t seen = 0; pos < text.size(); ++pos) {
        if (!IsContinuation(text[pos]) && seen++ == count) break;
    }
    return std::string(text.substr(0, pos));
}

}  // namespace kivo
