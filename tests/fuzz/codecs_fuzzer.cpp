// Fuzz target over the transfer encodings and header-field readers: every decoder and parser
// takes arbitrary bytes, and what the encoders write decodes back to the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mail/base64.h"
#include "mail/encodedword.h"
#include "mail/headerfields.h"
#include "mail/mserrors.h"
#include "mail/quotedprintable.h"
#include "mail/rfc822date.h"
#include "mail/uucode.h"

using namespace kivo;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Decoders: no crash, no hang, only the specified exception.
    DecodeBase64(input, Base64Errors::kSkip);
    try {
        DecodeBase64(input, Base64Errors::kRaise);
    } catch (const EMessageParserError&) {
    }
    DecodeQuotedPrintable(input);
    try {
        std::string out;
        DecodeUULine(input, out);
    } catch (const EMessageParserError&) {
    }
    IsUUBeginLine(input);
    UUBeginFileName(input);
    Check(DecodeEncodedWords(input).size() <= 255);

    // Header fields.
    StripQuotes(input);
    MainValue(input);
    ParameterValue("name", input);
    ParameterValue("boundary", input);
    const ParsedAddress address = ParseAddress(input);
    Check(address.name.size() <= 255 && address.address.size() <= 255);
    const Rfc822Date date = ParseRfc822Date(input);
    if (date.Valid()) Check(!FormatRfc822Date(date.date, date.zone).empty());

    // Round trips.
    Check(DecodeBase64(EncodeBase64Lines(input), Base64Errors::kRaise) == input);
    for (std::size_t at = 0; at < input.size(); at += kUULineBytes) {
        std::string out;
        std::string_view chunk = input.substr(at, kUULineBytes);
        DecodeUULine(EncodeUULine(chunk), out);
        Check(out == chunk);
    }
    for (bool wrapOnly : {false, true}) {
        for (const std::string& line : EncodeQuotedPrintable(input, wrapOnly)) {
            if (!wrapOnly) Check(line.size() <= 196);
        }
    }
    std::string decoded;
    for (const std::string& line : EncodeQuotedPrintable(input, false)) {
        DecodeQuotedPrintableLine(line, decoded);
    }
    // Line ends come back as CR LF: compare without them.
    std::string plain, back;
    for (char c : input) {
        if (c != '\r' && c != '\n') plain += c;
    }
    for (char c : decoded) {
        if (c != '\r' && c != '\n') back += c;
    }
    Check(plain == back);
    return 0;
}
