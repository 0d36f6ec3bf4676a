#pragma once
// The lexical rules of KivoScript: a line is cut into tokens only when it is about to run,
// and literal tokens are turned into their text with backslash escapes.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Splits one script line into tokens: comments in braces are skipped at the start of a
// token, a double quote starts a literal (kept with its opening quote, without the closing
// one), each of ! < = > ^ is a token of its own, and everything else runs to the next blank
// or operator character. Empty tokens are dropped.
std::vector<std::string> GetTokens(std::string_view line);

// The text of a literal token: the opening double quote is dropped, \" becomes ", \\ one
// backslash and \n (or \N) CR LF; any other backslash stays as it is.
std::string ProcessString(std::string_view token);

}  // namespace kivo
