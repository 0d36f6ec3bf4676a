#include "store/orphanattachments.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarks[] = {"Attachment Converted:", "X-Content-File:"};

// The file name of the quoted path on a line that names an attachment file.
void AddNamed(std::string_view line, std::unordered_set<std::string>& named) {
    for (std::string_view mark : kMarks) {
        const std::size_t at = line.find(mark);
        if (at == std::string_view::npos) continue;
        const std::size_t open = line.find('"', at + mark.size());
        const std::size_t close = open == std::string_view::npos ? open : line.find('"', open + 1);
        if (close == std::string_view::npos) continue;
        const std::string_view path = line.substr(open + 1, close - open - 1);
        // Either separator: a path written on another system still names its file.
        const std::size_t slash = path.find_last_of("/\\");
        named.emplace(slash == std::string_view::npos ? path : path.substr(slash + 1));
    }
}

bool IsMailbox(const fs::path& file) {
    const std::string name = file.filename().string();
    return name.size() > 4 && EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".mbx");
}

}  // namespace

std::vector<fs::path> OrphanAttachments(const fs::path& attachFolder, const fs::path& mailFolder) {
    std::unordered_set<std::string> named;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(mailFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec) || !IsMailbox(it->path())) continue;
        TFileLineReader reader(it->path());
        std::string_view line;
        while (reader.Next(line)) {
            if (line.find(':') != std::string_view::npos) AddNamed(line, named);
        }
    }
    if (ec) throw std::system_error(ec, mailFolder.string());

    std::vector<fs::path> orphans;
    for (fs::directory_iterator it(attachFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with('.') || !it->is_regular_file(ec)) continue;
        if (!named.contains(name)) orphans.push_back(it->path());
    }
    std::sort(orphans.begin(), orphans.end());
    return orphans;
}

}  // namespace kivo
