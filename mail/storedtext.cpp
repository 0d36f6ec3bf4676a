#include "mail/storedtext.h"

#include "base/bytes.h"
#include "base/displaytext.h"
#include "mail/base64.h"
#include "mail/headerfields.h"
#include "mail/quotedprintable.h"
#include "mail/utf8text.h"

namespace kivo {

namespace {

constexpr std::size_t kWrappedPieceMax = 65;
constexpr std::size_t kWrappedPiecesMax = 64;

bool CouldStartAttachmentLine(std::string_view line) {
    const std::string_view prefix = kStoredAttachmentPrefix;
    if (line.size() > kWrappedPieceMax) return false;
    // The older form cut before a blank, so a piece may end inside the prefix itself.
    return line.size() >= prefix.size() ? line.starts_with(prefix)
                                        : line.size() >= 10 && prefix.starts_with(line);
}

// A whole attachment line: the prefix and a path in double quotes, nothing after it.
bool WholeAttachmentLine(std::string_view line) {
    const std::string_view prefix = kStoredAttachmentPrefix;
    if (!line.starts_with(prefix)) return false;
    const std::string_view rest = TrimView(line.substr(prefix.size()));
    return rest.size() >= 2 && rest.front() == '"' && rest.back() == '"';
}

// The value of the last header line named `name` (colon included).
std::string LastValue(const std::vector<std::string>& headers, std::string_view name) {
    std::string value;
    for (const std::string& line : headers) {
        if (StartsWithNoCase(line, name)) value = Trim(std::string_view(line).substr(name.size()));
    }
    return value;
}

}  // namespace

void JoinWrappedAttachmentLines(std::vector<std::string>& body) {
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (WholeAttachmentLine(body[i]) || !CouldStartAttachmentLine(body[i])) continue;
        std::string joined = body[i];
        for (std::size_t j = i + 1; j < body.size() && j - i <= kWrappedPiecesMax; ++j) {
            joined += body[j];
            if (WholeAttachmentLine(joined)) {
                body[i] = std::move(joined);
                body.erase(body.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           body.begin() + static_cast<std::ptrdiff_t>(j) + 1);
                break;
            }
            if (body[j].size() > kWrappedPieceMax) break;
        }
    }
}

std::vector<std::string> StoredBodyText(const std::vector<std::string>& headers,
                                        std::vector<std::string> body) {
    const std::string type = LastValue(headers, "Content-Type:");
    const std::string coding = LowerCase(LastValue(headers, "Content-Transfer-Encoding:"));
    const bool text = type.empty() || StartsWithNoCase(type, "text/");
    const bool quotedPrintable = coding == "quoted-printable";
    if (!text || (!quotedPrintable && coding != "base64")) return body;
    std::string bytes = quotedPrintable ? DecodeQuotedPrintable(JoinLinesCrLf(body))
                                        : DecodeBase64(JoinLinesCrLf(body));
    if (!IsValidUtf8(bytes)) bytes = ToUtf8(bytes, StripQuotes(ParameterValue("charset", type)));
    body = SplitLines(bytes);
    JoinWrappedAttachmentLines(body);
    return body;
}

}  // namespace kivo
