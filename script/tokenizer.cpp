#include "script/tokenizer.h"

namespace kivo {

namespace {

bool IsBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 33 || u == 127;
}

bool IsOperator(char c) {
    return c == '!' || c == '<' || c == '=' || c == '>' || c == '^';
}

// A quoted literal from its opening quote: up to the next quote not preceded by a backslash,
// or to the end of the line. Moves `pos` past the closing quote.
std::string ReadLiteral(std::string_view line, std::size_t& pos) {
    const std::size_t start = pos;
    ++pos;
    while (pos < line.size() && !(line[pos] == '"' && line[pos - 1] != '\\')) ++pos;
    std::string token(line.substr(start, pos - start));
    if (pos < line.size()) ++pos;
    return token;
}

}  // namespace

std::vector<std::string> GetTokens(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos >= line.size()) break;
        const char c = line[pos];
        if (c == '{') {
            const std::size_t close = line.find('}', pos + 1);
            pos = close == std::string_view::npos ? line.size() : close + 1;
        } else if (c == '"') {
            tokens.push_back(ReadLiteral(line, pos));
        } else if (IsOperator(c)) {
            tokens.emplace_back(1, c);
            ++pos;
        } else {
            const std::size_t start = pos;
            while (pos < line.size() && !IsBlank(line[pos]) && !IsOperator(line[pos])) ++pos;
            tokens.emplace_back(line.substr(start, pos - start));
        }
    }
    std::erase_if(tokens, [](const std::string& t) { return t.empty(); });
    return tokens;
}

std::string ProcessString(std::string_view token) {
    if (!token.empty() && token.front() == '"') token.remove_prefix(1);
    std::string text;
    text.reserve(token.size());
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char c = token[i];
        if (c != '\\' || i + 1 >= token.size()) {
            text += c;
            continue;
        }
        const char next = token[i + 1];
        if (next == '"' || next == '\\') {
            text += next;
        } else if (next == 'n' || next == 'N') {
            text += "\r\n";
        } else {
            text += c;
            text += next;
        }
        ++i;
    }
    return text;
}

}  // namespace kivo
