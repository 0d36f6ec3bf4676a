// Fuzz target for the RTF-to-HTML converter: any bytes give HTML or a list-index error, and
// the HTML grows at most by a fixed factor over the input (no tag is written twice for one
// token of input).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "compose/rtf2html.h"

using namespace kivo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    try {
        const std::string html = rtf2html::Convert(input);
        if (html.size() > 200 * size + 16) std::abort();
    } catch (const EListError&) {
    }
    return 0;
}
