// Fuzz target over the script tokenizer and literal text: any line cuts into non-empty
// tokens, literals keep their escapes' rules, and the value readers take any bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/scriptvalues.h"
#include "script/tokenizer.h"

using namespace kivo;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::string& token : GetTokens(input)) {
        Check(!token.empty());
        Check(token.size() <= input.size());
        const std::string text = ProcessString(token);
        // Only \n grows (to CR LF); everything else keeps or shrinks the length.
        Check(text.size() <= 2 * token.size());
    }
    for (const std::string& line : ValueLines(input)) {
        Check(line.find_first_of("\r\n") == std::string::npos);
    }
    int value = 0;
    if (ReadScriptInt(input, value)) Check(ReadScriptInt(std::to_string(value), value));
    StrToBool(input);
    return 0;
}
