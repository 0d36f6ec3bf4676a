#include "view/writemessage.h"

#include "base/bytes.h"
#include "base/displaytext.h"
#include "mail/msmsg.h"
#include "store/mbxfile.h"
#include "view/msghtml.h"

namespace kivo {

namespace {

std::string ContentType(const std::vector<std::string>& headers) {
    return LowerCase(HeaderValue("Content-Type:", headers));
}

// The header and body lines as one raw message for the decoder. The separator line is not
// part of the message, and one empty line ends the header block, so the decoder finds the
// body's boundary lines whether or not a preamble line comes first.
std::string RawMessage(const std::vector<std::string>& headers,
                       const std::vector<std::string>& body) {
    std::string raw;
    for (const std::string& line : headers) {
        if (IsSeparator(line)) continue;
        raw += line;
        raw += "\r\n";
    }
    raw += "\r\n";
    raw += JoinLinesCrLf(body);
    return raw;
}

}  // namespace

bool IsHtmlType(const std::vector<std::string>& headers) {
    return ContentType(headers).find("text/html") != std::string::npos;
}

bool IsAlternativeType(const std::vector<std::string>& headers) {
    return ContentType(headers).find("multipart/alternative") != std::string::npos;
}

TShownText ShownText(const std::vector<std::string>& headers,
                     const std::vector<std::string>& body) {
    TShownText shown{body, IsHtmlType(headers)};
    if (!IsAlternativeType(headers)) return shown;
    TmsMessage decoded;
    decoded.LoadFromBytes(RawMessage(headers, body));
    if (decoded.Attachments().Count() == 0) return shown;
    const TmsAttItem& first = decoded.Attachments().Items(0);
    const std::string type = LowerCase(first.ContentType());
    if (!type.starts_with("text")) return shown;
    shown.lines = SplitLines(first.Data());
    if (type.starts_with("text/html")) shown.html = true;
    return shown;
}

std::vector<std::string> MessageHtml(const std::vector<std::string>& headers,
                                     const std::vector<std::string>& body, bool showHeaders,
                                     bool rawView, bool* isHtml) {
    TShownText shown = ShownText(headers, body);
    if (rawView) shown.html = false;
    std::vector<std::string> html;
    html.reserve(shown.lines.size() + (showHeaders ? headers.size() + 2 : 0));
    if (showHeaders) {
        html.emplace_back(kHeaderTableStart);
        for (const std::string& line : headers) html.push_back(HeaderLineToHtml(line));
        html.emplace_back(kHeaderTableEnd);
    }
    for (std::string& line : shown.lines) {
        html.push_back(shown.html ? std::move(line) : TextLineToHtml(line));
    }
    if (!shown.html) LinkUrls(html);
    for (std::string& line : html) {
        if (!IsValidUtf8(line)) line = DisplayText(line);
    }
    if (isHtml) *isHtml = shown.html;
    return html;
}

}  // namespace kivo
