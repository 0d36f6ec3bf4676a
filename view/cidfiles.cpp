// "cid:" references of HTML mail resolved to the message's saved pictures.

#include "base/bytes.h"
#include "view/KivoMsg.h"
#include "view/msghtml.h"

namespace kivo {

namespace {

// The Content-ID a "cid:" reference names: without the scheme and angle brackets, its
// %-escapes decoded.
std::string ContentIdOf(std::string_view reference) {
    std::string_view text = TrimView(reference);
    if (StartsWithNoCase(text, "cid:")) text.remove_prefix(4);
    std::string id = Trim(PercentDecoded(text));
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
    return id;
}

// The saved file's name an X-Content-File line gives for `id`, or empty text.
std::string NamedFile(std::string_view line, std::string_view id) {
    std::string_view value = TrimView(line.substr(kContentFileField.size()));
    if (!value.starts_with('<')) return {};
    const std::size_t close = value.find('>');
    if (close == std::string_view::npos || value.substr(1, close - 1) != id) return {};
    value = TrimView(value.substr(close + 1));
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return {};
    return AttachmentFileName(value.substr(1, value.size() - 2));
}

const TMsgAttachment* FoundNamed(const std::vector<TMsgAttachment>& attachments,
                                 std::string_view name) {
    for (const TMsgAttachment& item : attachments) {
        if (item.Found && !name.empty() && EqualsNoCase(item.FileName, name)) return &item;
    }
    return nullptr;
}

}  // namespace

std::optional<std::filesystem::path> CidFile(std::string_view reference,
                                             const std::vector<std::string>& headers,
                                             const std::vector<TMsgAttachment>& attachments) {
    const std::string id = ContentIdOf(reference);
    if (id.empty()) return std::nullopt;
    bool tied = false;
    for (const std::string& line : headers) {
        if (!StartsWithNoCase(line, kContentFileField)) continue;
        const std::string name = NamedFile(line, id);
        if (name.empty()) continue;
        tied = true;
        if (const TMsgAttachment* item = FoundNamed(attachments, name)) return item->File;
    }
    if (tied) return std::nullopt;  // its file is missing
    if (const TMsgAttachment* item = FoundNamed(attachments, id)) return item->File;
    if (const TMsgAttachment* item = FoundNamed(attachments, id.substr(0, id.find('@'))))
        return item->File;
    return std::nullopt;
}

}  // namespace kivo
