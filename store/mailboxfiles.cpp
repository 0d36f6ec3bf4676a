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

std::filesystem::path TMailboxFiles::Tmp() const {
    std::string stem = Mbx.string();
    stem.resize(stem.size() - 4);  // ".mbx"
    return stem + ".tmp";
}

std::string TMailboxFiles::Name() const {
    return Mbx.stem().string();
}

std::filesystem::path MailboxBase(const std::filesystem::path& mailFolder,
                                  std::string_view relativePath) {
    // Folders are matched without regard to case too, like the mailbox file itself.
    std::filesystem::path base = mailFolder;
    std::size_t start = 0;
    for (;;) {
        const std::size_t sep = relativePath.find_first_of("/\\", start);
        const std::string_view part = relativePath.substr(start, sep - start);
        if (sep == std::string_view::npos) return base / part;
        base = FindFileNoCase(base, part);
        start = sep + 1;
    }
}

bool IsSystemMailbox(std::string_view relativePath) {
    return EqualsNoCase(relativePath, "in") || EqualsNoCase(relativePath, "out") ||
           EqualsNoCase(relativePath, "sent") || EqualsNoCase(relativePath, "trash");
}

}  // namespace kivo
