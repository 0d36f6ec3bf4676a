#include "store/repair_duplicates.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <optional>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "store/deletedlist.h"
#include "store/mailboxlock.h"
#include "store/mbxscanner.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

// What makes two stored messages the same one: its Message-ID and a digest of its lines but
// the "Status:" ones (compression rewrites those).
using TKey = std::pair<std::string, std::uint64_t>;

TKey KeyOf(std::string_view text) {
    std::string id;
    std::uint64_t digest = kFnvStart;
    bool header = true;
    MbxLines lines(text);
    std::string_view line;
    bool first = true;
    while (lines.Next(line)) {
        if (header && !first && TrimView(line).empty()) header = false;
        first = false;
        if (header && StartsWithNoCase(line, "Status:")) continue;
        if (header && id.empty() && StartsWithNoCase(line, "Message-ID:")) {
            id = LowerCase(std::string(TrimView(line.substr(11))));
        }
        digest = Fnv1a(line, Fnv1a("\n", digest));
    }
    return {id, digest};
}

// The live messages of a mailbox file (its lock held as `fd`): number by key.
std::multimap<TKey, int> LiveMessages(const TMailboxFiles& files, int fd) {
    std::multimap<TKey, int> keys;
    const TDeletedList deleted = TDeletedList::Load(files, fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw std::system_error(errno, std::generic_category(), "");
    MbxScanner scanner(files.Mbx, {0, static_cast<std::uint64_t>(st.st_size), 0});
    while (scanner.Next()) {
        const int number = static_cast<int>(scanner.Current().number);
        if (!deleted.Contains(number)) keys.emplace(KeyOf(scanner.Text()), number);
    }
    return keys;
}

// How many of `mine` (number by key) `other` holds too; their numbers in `numbers`.
int Matches(const std::multimap<TKey, int>& mine, const std::multimap<TKey, int>& other,
            std::vector<int>& numbers) {
    int count = 0;
    for (auto it = mine.begin(); it != mine.end();) {
        const auto range = mine.equal_range(it->first);
        const auto have = static_cast<std::size_t>(std::distance(range.first, range.second));
        const std::size_t there = other.count(it->first);
        std::size_t take = std::min(have, there);
        for (auto m = range.first; m != range.second && take > 0; ++m, --take) {
            numbers.push_back(m->second);
            ++count;
        }
        it = range.second;
    }
    return count;
}

// Every mailbox file of the mail folder and its folders.
std::vector<fs::path> MailboxFiles(const fs::path& mailFolder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(mailFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && name.size() > 4 &&
            EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".mbx")) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string BaseOf(const fs::path& mbx) {
    std::string base = mbx.string();
    base.resize(base.size() - 4);
    return base;
}

}  // namespace

std::vector<TDuplicates> FindDuplicates(const TMailboxFiles& files, const fs::path& mailFolder,
                                        bool mend) {
    std::vector<TDuplicates> found;
    std::error_code ec;
    for (const fs::path& mbx : MailboxFiles(mailFolder)) {
        if (fs::equivalent(mbx, files.Mbx, ec)) continue;
        const TMailboxFiles other = TMailboxFiles::Of(BaseOf(mbx));
        const bool trash = mbx.parent_path() == mailFolder && EqualsNoCase(other.Name(), "trash");
        // Both locks, so the numbers marked are the ones compared.
        TMailboxPairLock locks(files, other);
        const std::multimap<TKey, int> mine = LiveMessages(files, locks.A().fd());
        if (mine.empty()) break;
        std::vector<int> numbers;
        const int count = Matches(mine, LiveMessages(other, locks.B().fd()), numbers);
        if (count == 0) continue;
        std::string name = mbx.lexically_relative(mailFolder).replace_extension().generic_string();
        if (trash) name = "Trash";
        TDuplicates dup{name, count, false};
        if (mend && trash) {
            TDeletedList list = TDeletedList::Load(files, locks.A().fd());
            for (int n : numbers) list.Add(n);
            list.Save(files, locks.A().fd());
            dup.marked = true;
        }
        found.push_back(dup);
    }
    return found;
}

std::vector<std::string> DuplicateLines(const std::string& name,
                                        const std::vector<TDuplicates>& found) {
    std::vector<std::string> lines;
    for (const TDuplicates& dup : found) {
        const bool one = dup.count == 1;
        std::string line = name + ": " + std::to_string(dup.count) + (one ? " message is" : " messages are") +
                           " in " + dup.mailbox + " too";
        if (dup.marked) {
            line += " (marked deleted here, as the delete meant)";
        } else if (dup.mailbox == "Trash") {
            line += " (kivo repair --yes marks them deleted here)";
        } else {
            line += " (kept in both)";
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace kivo
