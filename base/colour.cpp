#include "base/colour.h"

namespace kivo {

std::string HexRgb(std::uint32_t colour) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift : {0, 8, 16}) {
        const unsigned byte = (colour >> shift) & 255u;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

}  // namespace kivo
