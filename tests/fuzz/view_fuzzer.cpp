// Fuzz target over the message view: any stored lines render without a crash or a hang, the
// HTML is valid UTF-8 and stays proportional to the input, and HTML mail reduces to text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/displaytext.h"
#include "view/htmltext.h"
#include "view/msghtml.h"
#include "view/writemessage.h"

using namespace kivo;

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    // Header lines up to the first empty line, the body after it.
    std::vector<std::string> lines = SplitLines(text);
    std::vector<std::string> headers;
    std::size_t i = 0;
    for (; i < lines.size() && !lines[i].empty(); ++i) headers.push_back(lines[i]);
    std::vector<std::string> body(
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(i + 1, lines.size())), lines.end());
    TakeAttachmentLines(body);
    const std::vector<std::string> html = MessageHtml(headers, body, flags & 1, flags & 2);
    std::size_t out = 0;
    for (const std::string& line : html) {
        Check(IsValidUtf8(line));
        out += line.size();
    }
    // Escaping and linking grow text at most a few times (a link doubles its address);
    // the converted alternative of a multipart message is bounded by the input too.
    Check(out <= 40 * size + 4096);
    std::size_t textSize = 0;
    for (const std::string& line : HtmlToText(body)) textSize += line.size();
    Check(textSize <= 4 * size + 64);
    return 0;
}
