#include "mail/uucode.h"

#include <stdexcept>

#include "base/bytes.h"
#include "mail/mserrors.h"

namespace kivo {
namespace {

char UUChar(unsigned v) {
    return v == 0 ? '`' : static_cast<char>(32 + v);
}

unsigned UUValue(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u == '`' || u == ' ') return 0;
    if (u > ' ' && u <= '_') return u - 32;
    throw EMessageParserError("Invalid Character");
}

}  // namespace

std::string EncodeUULine(std::string_view bytes) {
    if (bytes.size() > kUULineBytes) {
        throw std::invalid_argument("a uuencoded line holds at most 45 bytes");
    }
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::string line;
    line.reserve(1 + (n * 4 + 2) / 3);
    line.push_back(UUChar(static_cast<unsigned>(n)));
    for (std::size_t i = 0; i < n; i += 3) {
        unsigned v = b[i] << 16;
        if (i + 1 < n) v |= b[i + 1] << 8;
        if (i + 2 < n) v |= b[i + 2];
        const std::size_t chars = n - i >= 3 ? 4 : n - i + 1;  // 1 byte: 2, 2 bytes: 3
        for (std::size_t k = 0; k < chars; ++k) line.push_back(UUChar((v >> (18 - 6 * k)) & 63));
    }
    return line;
}

void DecodeUULine(std::string_view line, std::string& out) {
    if (line.empty()) return;
    std::size_t count = UUValue(line[0]);
    std::string_view data = line.substr(1);
    for (std::size_t i = 0; i < data.size() && count > 0; i += 4) {
        // A short final group is completed with zero bits.
        unsigned v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            v = (v << 6) | (i + k < data.size() ? UUValue(data[i + k]) : 0);
        }
        const char bytes[3] = {static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                               static_cast<char>(v)};
        std::size_t take = count < 3 ? count : 3;
        out.append(bytes, take);
        count -= take;
    }
}

bool IsUUBeginLine(std::string_view line) {
    if (line.size() <= 8 || !StartsWithNoCase(line, "begin")) return false;
    std::string_view rest = TrimView(line.substr(5));
    if (rest.size() < 3) return false;
    int mode = 0;
    return ParseInt(rest.substr(0, 3), mode);
}

std::string UUBeginFileName(std::string_view line) {
    if (line.size() <= 10) return {};
    std::string_view rest = line.substr(10);
    if (!rest.empty() && rest[0] == '"') {
        std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos) return {};
        return std::string(rest.substr(1, close - 1));
    }
    return std::string(rest.substr(0, rest.find(' ')));
}

}  // namespace kivo
