#pragma once
// MIME encoded words in header values ("=?charset?Q?text?=" and "=?charset?B?text?="). Their
// text is read in UTF-8, converted from the charset each word names.

#include <string>
#include <string_view>

namespace kivo {

// Decodes every encoded word of a header value, left to right; decoded text is never read
// again. Blanks between two adjacent encoded words are dropped; an unterminated "=?" cuts the
// value before it. The result is cut to 255 bytes, never inside a UTF-8 character. Never
// throws.
std::string DecodeEncodedWords(std::string_view value);

// Text that begins with the escape character (code 27) becomes one base64 word
// "=?ISO-2022-JP?B?...?="; any other text is returned unchanged.
std::string ISO2022JPWord(std::string_view text);

}  // namespace kivo
