#include "store/mailboxfiles.h"

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

TMailboxFiles TMailboxFiles::Of(const std::filesystem::path& base) {
    TMailboxFiles files;
    files.Mbx = ResolveNoCase(std::filesystem::path(base.string() + ".mbx"));
    std::string stem = files.Mbx.string();
    stem.resize(stem.size() - 4);
    files.Idx = ResolveNoCase(std::filesystem::path(stem + ".idx"));
    files.Del = ResolveNoCase(std::filesystem::path(stem + ".d"));
    return files;
}

std::filesystem::path MailboxBase(const std::filesystem::path& mailFolder,
                                  std::string_view relativePath) {
    std::string rel(relativePath);
    for (char& c : rel) {
        if (c == '\\') c = '/';
    }
    return mailFolder / rel;
}

bool IsSystemMailbox(std::string_view relativePath) {
    return EqualsNoCase(relativePath, "in") || EqualsNoCase(relativePath, "out") ||
           EqualsNoCase(relativePath, "sent") || EqualsNoCase(relativePath, "trash");
}

}  // namespace kivo
