#include "store/repairchecks.h"

#include <sys/stat.h>

#include <charconv>
#include <cstring>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "store/deletedlist.h"
#include "store/deletedmark.h"
#include "store/mbxscanner.h"

namespace kivo {

namespace {

// The header block of a message text (after its separator line) with continuation lines
// joined, and where its body starts.
struct HeaderBlock {
    std::vector<std::string> fields;
    std::size_t bodyStart = 0;
};

HeaderBlock ReadHeaderBlock(std::string_view text) {
    HeaderBlock block;
    block.bodyStart = text.size();
    std::size_t pos = 0;
    bool separator = true;
    while (pos < text.size()) {
        const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const std::size_t stop =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
        std::string_view line = text.substr(pos, stop - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = lf ? stop + 1 : stop;
        if (separator) {
            separator = false;
        } else if (TrimView(line).empty()) {
            block.bodyStart = pos;
            break;
        } else if ((line[0] == ' ' || line[0] == '\t') && !block.fields.empty()) {
            block.fields.back() += std::string(line);
        } else {
            block.fields.emplace_back(line);
        }
    }
    return block;
}

// The value of the first field `name` (with its colon, any letter case), or empty.
std::string FieldValue(const HeaderBlock& block, std::string_view name) {
    for (const std::string& field : block.fields) {
        if (StartsWithNoCase(field, name)) return Trim(field.substr(name.size()));
    }
    return {};
}

// The boundary of a multipart Content-Type value, or empty.
std::string Boundary(const std::string& contentType) {
    const std::string lower = LowerCase(contentType);
    if (!lower.starts_with("multipart/")) return {};
    const std::size_t at = lower.find("boundary=");
    if (at == std::string::npos) return {};
    std::string_view value = std::string_view(contentType).substr(at + 9);
    if (value.starts_with('"')) {
        value.remove_prefix(1);
        return std::string(value.substr(0, value.find('"')));
    }
    return std::string(value.substr(0, value.find_first_of("; \t")));
}

bool HasLowerCaseD(const HeaderBlock& block) {
    for (const std::string& field : block.fields) {
        if (field.starts_with("Status:") && field.find('d', 7) != std::string::npos) return true;
    }
    return false;
}

// "message 3 is" or "messages 3, 7 are".
std::string NumbersAre(const std::vector<int>& numbers) {
    std::string text = numbers.size() == 1 ? "message " : "messages ";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(numbers[i]);
    }
    return text + (numbers.size() == 1 ? " is" : " are");
}

}  // namespace

TMessageFindings CheckMessages(const TMailboxFiles& files, const TDeletedList& deleted) {
    TMessageFindings findings;
    MbxScanner scanner(files.Mbx);
    if (!scanner.IsOpen()) throw std::system_error(scanner.OpenError(), files.Mbx.string());
    while (scanner.Next()) {
        const int number = static_cast<int>(scanner.Current().number);
        findings.lastMessage = number;
        const std::string_view text = scanner.Text();
        const HeaderBlock block = ReadHeaderBlock(text);
        const std::string_view body = text.substr(block.bodyStart);
        const std::string boundary = Boundary(FieldValue(block, "Content-Type:"));
        if (!boundary.empty() && body.find("--" + boundary + "--") == std::string_view::npos) {
            findings.partsNotClosed.push_back(number);
        }
        std::uint64_t length = 0;
        const std::string declared = FieldValue(block, "Content-Length:");
        const auto [end, ec] =
            std::from_chars(declared.data(), declared.data() + declared.size(), length);
        if (!declared.empty() && ec == std::errc() && end == declared.data() + declared.size() &&
            body.size() < length) {
            findings.shorterThanLength.push_back(number);
        }
        if (MessageMarkedDeleted(text)) {
            if (!deleted.Contains(number)) findings.markedNotListed.push_back(number);
        } else if (HasLowerCaseD(block)) {
            findings.lowerCaseD.push_back(number);
        }
        findings.endsMidLine = !text.empty() && text.back() != '\n';
    }
    return findings;
}

void MendMessages(const FileLock& lock, TMessageFindings& findings) {
    if (!findings.endsMidLine) return;
    TAppendTransaction append(lock);
    append.Write("\r\n");
    append.Commit();
    findings.lineEnded = true;
}

std::vector<std::string> MessageFindingLines(const std::string& name,
                                             const TMessageFindings& findings, bool canMend) {
    std::vector<std::string> lines;
    const std::string at = name + ": ";
    if (findings.endsMidLine) {
        std::string line = at + "message " + std::to_string(findings.lastMessage) +
                           " is cut short: the file ends in the middle of its last line";
        if (findings.lineEnded) {
            line += "; the line was ended, so no later message joins it";
        } else if (canMend) {
            line += " (--yes ends the line, so no later message joins it)";
        }
        lines.push_back(line);
    }
    if (!findings.partsNotClosed.empty()) {
        lines.push_back(at + NumbersAre(findings.partsNotClosed) +
                        " cut short: the MIME parts never close; kept as they are");
    }
    if (!findings.shorterThanLength.empty()) {
        lines.push_back(at + NumbersAre(findings.shorterThanLength) +
                        " cut short: the body is shorter than Content-Length says; kept as "
                        "they are");
    }
    if (!findings.lowerCaseD.empty()) {
        lines.push_back(at + NumbersAre(findings.lowerCaseD) +
                        " not deleted: a lower-case d in a Status line is another program's "
                        "letter (as in Status: Read); kept");
    }
    if (!findings.markedNotListed.empty()) {
        lines.push_back(at + NumbersAre(findings.markedNotListed) +
                        " marked deleted in a Status line but not on the deleted list; now "
                        "listed there, removed at the next compression");
    }
    return lines;
}

}  // namespace kivo
