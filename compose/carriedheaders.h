#pragma once
// The header lines an answer or a redirected message takes from the stored message it was
// made from: a reply's In-Reply-To and References, a forward's References, so that the
// recipients' programs put it in its conversation, and a bounce's original Date and
// Message-ID with the Resent block that says who redirected it when.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The value of the first field `name` (no colon; any letter case) among raw header lines,
// its continuation lines joined with one blank. Empty when there is no such field.
std::string RawFieldValue(const std::vector<std::string>& headers, std::string_view name);

// The message identifiers of a field value, each with its angle brackets, in order; text
// outside brackets (comments, garbage) and tokens with blanks inside are left out.
std::vector<std::string> MessageIds(std::string_view value);

// One header field of `items` separated by blanks (or by ", " when `comma`), folded before
// an item that would take the line past 78 characters. Each returned line is one header
// line; continuations begin with a blank. Empty when there are no items.
std::vector<std::string> FoldedField(std::string_view name, const std::vector<std::string>& items,
                                     bool comma = false);

// In-Reply-To (when `inReplyTo`) and References for a message that answers the one with
// these header lines (RFC 5322 3.6.4): References is the original's References, or its
// In-Reply-To when that names one message, followed by its Message-ID. A long thread keeps
// its first identifier and the latest ones. An original without any of these fields gives
// no lines.
std::vector<std::string> ThreadLines(const std::vector<std::string>& originalHeaders,
                                     bool inReplyTo);

}  // namespace kivo
