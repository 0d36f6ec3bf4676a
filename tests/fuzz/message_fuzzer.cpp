// Fuzz target over message decoding: any bytes decode without a crash or a hang, what the
// decoder holds stays proportional to the input, and the decoded message encodes and decodes
// again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/msmsg.h"

using namespace kivo;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Bytes held by a decoded message.
std::size_t HeldBytes(const TmsMessage& message) {
    std::size_t total = 0;
    for (const std::string& line : message.Headers()) total += line.size() + 16;
    for (const std::string& line : message.Body()) total += line.size() + 16;
    for (const TmsAttItem& item : message.Attachments()) total += item.Data().size() + 64;
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    TmsMessage message;
    message.LoadFromBytes(input);
    // Every input byte may become a line of its own (16 bytes of bookkeeping counted each),
    // be copied into "original.eml" and gain a line end in a text part.
    Check(HeldBytes(message) <= 64 * size + 4096);
    (void)message.ContentType();

    std::string encoded = message.SaveToString();
    TmsMessage again;
    again.LoadFromBytes(encoded);
    (void)again.ContentType();

    TmsArticle article;
    article.LoadFromBytes(input);
    return 0;
}
