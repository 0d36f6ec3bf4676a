#include "base/scramble.h"

#include <limits>

#include "base/bytes.h"

namespace kivo {

namespace {

// The running key follows the scrambled byte, in both directions. When the signed 32-bit
// arithmetic of the key update would leave its range, the key stays as it was.
std::uint16_t NextKey(unsigned char scrambled, std::uint16_t key) {
    const std::int64_t product = (static_cast<std::int64_t>(scrambled) + key) * 41263;
    const std::int64_t sum = product + 20749;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (product > kMax || sum > kMax) return key;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerChar(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string Scramble(std::string_view text, std::uint16_t key) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text.substr(0, kShortTextMax)) {
        const auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ (key >> 8));
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        key = NextKey(b, key);
    }
    return out;
}

std::string Unscramble(std::string_view hex, std::uint16_t key) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) return {};
        const auto b = static_cast<unsigned char>(high * 16 + low);
        out += static_cast<char>(b ^ (key >> 8));
        key = NextKey(b, key);
    }
    return out;
}

}  // namespace kivo
