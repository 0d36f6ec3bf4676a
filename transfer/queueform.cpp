#include "transfer/queueform.h"

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/files.h"
#include "mail/headerfields.h"
#include "mail/outgoingid.h"
#include "mail/quotedprintable.h"
#include "mail/storedtext.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {

bool IsBlankLine(std::string_view line) {
    return TrimView(line).empty();
}

// The value of a header line that starts with `name` (colon included), without regard to
// case; none when the line is another one.
std::optional<std::string> LineValue(std::string_view line, std::string_view name) {
    if (!StartsWithNoCase(line, name)) return std::nullopt;
    return Trim(line.substr(name.size()));
}

// The path of an "Attachment Converted:" line: the text between its double quotes.
std::string AttachmentPath(std::string_view line) {
    std::string_view rest = line.substr(std::string_view(kAttachmentLinePrefix).size());
    const std::size_t open = rest.find('"');
    const std::size_t close = rest.rfind('"');
    if (open == std::string_view::npos || close <= open) return Trim(rest);
    return std::string(rest.substr(open + 1, close - open - 1));
}

}  // namespace

std::vector<std::string> QueueLines(const TmsMessage& message, const TQueueOptions& options) {
    TmsMessage copy = message;
    // The identity is fixed here, so every attempt to send the message, a retry after a
    // failed or killed run too, carries the same Message-ID and recipients can drop doubles.
    AddMissingIdentity(copy.Headers(), copy.Sender().Address(), DateTime::Now());
    if (options.smtp) copy.Headers().Add("X-SMTP: " + *options.smtp);
    if (copy.BCC().Count() > 0) {
        std::vector<std::string> bcc;
        for (const TmsMailAddress& address : copy.BCC()) bcc.push_back(address.Address());
        copy.Headers().Add("X-Bcc: " + ToCommaText(bcc));
        copy.BCC().Clear();
    }
    for (const std::filesystem::path& file : options.attachments)
        copy.Body().push_back(kAttachmentLinePrefix + ("\"" + file.string() + "\""));

    std::string text;
    {
        WrapOnlyScope wrapOnly;
        text = copy.SaveToString();
    }
    std::vector<std::string> lines = {"", kQueueSeparator};
    if (options.signatureLines)
        lines.push_back("X-Sig-Local: " + std::to_string(*options.signatureLines));
    lines.push_back("Status: RQ");
    for (std::string& line : SplitLines(text)) {
        if (IsSeparator(line)) line.insert(0, ">");
        lines.push_back(std::move(line));
    }
    return lines;
}

void QueueMessage(const TmsMessage& message, const TQueueOptions& options,
                  const std::filesystem::path& mailFolder) {
    AppendToFile(QueueLines(message, options), FindFileNoCase(mailFolder, "out.mbx"));
}

TQueuedMessage ReadQueued(std::vector<std::string> lines, Platform* platform) {
    TQueuedMessage queued;
    std::vector<std::string> bcc;
    std::size_t i = 0;
    while (i < lines.size() && IsBlankLine(lines[i])) ++i;
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i));
    if (!lines.empty() && IsSeparator(lines.front())) lines.erase(lines.begin());
    for (i = 0; i < lines.size() && !IsBlankLine(lines[i]);) {
        if (auto server = LineValue(lines[i], "X-SMTP:")) {
            queued.server = *server;
        } else if (auto list = LineValue(lines[i], "X-Bcc:")) {
            bcc = FromCommaText(*list);
        } else if (!LineValue(lines[i], "X-Sig-Local:")) {
            ++i;
            continue;
        }
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (i < lines.size()) lines[i].clear();
    // The empty line that opens the next queued message is no part of this one.
    while (lines.size() > i + 1 && IsBlankLine(lines.back())) lines.pop_back();

    TmsMessage& message = queued.message;
    {
        const std::string raw = JoinLinesCrLf(lines);
        std::vector<std::string>().swap(lines);  // a large message is not held three times
        message.LoadFromBytes(raw, platform);
    }
    for (const std::string& item : bcc) {
        ParsedAddress parsed = ParseAddress(item);
        if (!parsed.address.empty()) message.BCC().AddAddress(parsed.address, parsed.name);
    }
    std::vector<std::string>& body = message.Body();
    JoinWrappedAttachmentLines(body);
    for (auto it = body.begin(); it != body.end();) {
        if (!it->starts_with(kAttachmentLinePrefix)) {
            ++it;
            continue;
        }
        const std::string path = AttachmentPath(*it);
        std::error_code ec;
        if (!path.empty() && std::filesystem::is_regular_file(path, ec))
            message.Attachments().AddFile(path);
        it = body.erase(it);
    }
    return queued;
}

}  // namespace kivo
