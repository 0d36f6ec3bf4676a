#include "mail/encodedword.h"

#include <algorithm>

#include "base/bytes.h"
#include "mail/base64.h"
#include "mail/outcharset.h"
#include "mail/quotedprintable.h"
#include "mail/utf8text.h"

namespace kivo {
namespace {

bool IsEncodingLetter(char c) {
    return c == 'B' || c == 'b' || c == 'Q' || c == 'q';
}

// Position of the "?=" that closes a well-formed word opened at `open` ("=?charset?B?text?="
// with the letter B or Q in either case), or npos. Anything else is no encoded word and stays
// text (RFC 2047 6.2).
// `lastEnd` is the text's last "?=" (or npos): a word opening after it is not looked for, so
// hostile text of many broken words is read in one pass.
std::size_t FindWordEnd(std::string_view text, std::size_t open, std::size_t lastEnd) {
    const std::size_t q = text.find('?', open + 2);
    if (q == std::string_view::npos || q + 2 >= text.size()) return std::string_view::npos;
    if (!IsEncodingLetter(text[q + 1]) || text[q + 2] != '?') return std::string_view::npos;
    if (lastEnd == std::string_view::npos || lastEnd < q + 3) return std::string_view::npos;
    return text.find("?=", q + 3);
}

// Q words are quoted-printable with "_" for a blank ("=5F" stays an underscore).
void DecodeQ(std::string_view text, std::string& out) {
    std::string raw(text);
    std::replace(raw.begin(), raw.end(), '_', ' ');
    UnescapeQuotedPrintable(raw, out);
}

// Decodes the inside of one word ("charset?E?text") and appends its text in UTF-8.
void DecodeWord(std::string_view inner, std::string& out) {
    std::size_t q = inner.find('?');
    if (q == std::string_view::npos || q + 1 >= inner.size()) return;
    const char letter = inner[q + 1];
    std::string_view text = q + 3 <= inner.size() ? inner.substr(q + 3) : std::string_view();
    std::string bytes;
    if (letter == 'B' || letter == 'b') {
        // A damaged word must not make the whole header unreadable: bad characters are skipped.
        Base64Decoder decoder(Base64Errors::kSkip);
        decoder.Decode(text, bytes);
        decoder.Finish(bytes);
    } else if (letter == 'Q' || letter == 'q') {
        DecodeQ(text, bytes);
    }
    out.append(ToUtf8(bytes, inner.substr(0, q)));
}

// Cuts `text` to at most `max` bytes without leaving half a UTF-8 character at the end.
void CutAtCharacter(std::string& text, std::size_t max) {
    if (text.size() <= max) return;
    std::size_t cut = max;
    const bool utf8 = IsValidUtf8(text);
    while (utf8 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string DecodeEncodedWords(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    const std::size_t lastEnd = value.rfind("?=");
    std::size_t at = 0;
    while (at < value.size()) {
        std::size_t open = value.find("=?", at);
        if (open == std::string_view::npos) {
            out.append(value.substr(at));
            break;
        }
        std::size_t end = FindWordEnd(value, open, lastEnd);
        out.append(value.substr(at, open - at));
        if (end == std::string_view::npos) {
            // A broken or unterminated word is text as it stands.
            out.append("=?");
            at = open + 2;
            continue;
        }
        DecodeWord(value.substr(open + 2, end - open - 2), out);
        at = end + 2;
        // Blanks between two encoded words are folding, not text.
        std::size_t next = at;
        while (next < value.size() && IsBlank(value[next])) ++next;
        if (next > at && value.compare(next, 2, "=?") == 0 &&
            FindWordEnd(value, next, lastEnd) != std::string_view::npos) {
            at = next;
        }
    }
    CutAtCharacter(out, kShortTextMax);
    return out;
}

std::string ISO2022JPWord(std::string_view text) {
    if (text.empty() || text[0] != '\x1b') return std::string(text);
    return "=?ISO-2022-JP?B?" + EncodeBase64(text) + "?=";
}

}  // namespace kivo
