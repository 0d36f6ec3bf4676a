#include "search/mailsearch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "base/platform.h"
#include "store/deletedlist.h"
#include "store/deletedmark.h"
#include "store/indexfile.h"
#include "store/mailboxfiles.h"
#include "store/mailboxlock.h"
#include "store/mbxscanner.h"
#include "store/resultsmark.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

// Matches are written to the spool in batches of whole messages.
constexpr std::size_t kBatch = std::size_t{8} << 20;

struct Range {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // end of its text (before the line end)
};

// What the search needs to know about one message's lines.
struct MessageShape {
    std::vector<Range> status;    // the "Status:" header lines
    std::size_t afterSecond = 0;  // where the third line starts
    bool deleted = false;         // a "Status:" line marks it deleted (StatusLineMarksDeleted)
};

MessageShape Shape(std::string_view text) {
    MessageShape shape;
    std::size_t pos = 0;
    int lineNo = 0;
    bool inHeader = true;
    shape.afterSecond = text.size();
    while (pos < text.size() && (inHeader || lineNo < 2)) {
        const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const std::size_t stop =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
        std::size_t end = stop;
        if (end > pos && text[end - 1] == '\r') --end;
        const std::string_view line = text.substr(pos, end - pos);
        ++lineNo;
        if (lineNo > 1 && inHeader) {
            if (TrimView(line).empty()) {
                inHeader = false;
            } else if (line.starts_with("Status:")) {
                shape.deleted = shape.deleted || StatusLineMarksDeleted(line);
                shape.status.push_back({pos, end});
            }
        }
        pos = lf ? stop + 1 : stop;
        if (lineNo == 2) shape.afterSecond = pos;
    }
    return shape;
}

// The mailbox's path relative to the mail folder, as the tree names it ("In", "Work/Alpha").
std::string RelativeName(const fs::path& mailFolder, const fs::path& base) {
    std::string rel = base.lexically_relative(mailFolder).generic_string();
    if (rel.empty() || rel.starts_with("..")) rel = base.filename().string();
    static constexpr std::string_view kSystem[] = {"In", "Out", "Sent", "Trash"};
    for (std::string_view name : kSystem) {
        if (EqualsNoCase(rel, name)) return std::string(name);
    }
    return rel;
}

bool CanMatchALine(std::string_view needle) {
    return needle.find_first_of("\r\n") == std::string_view::npos;
}

}  // namespace

// The matches of a running search, in an unnamed file beside the results mailbox: the
// results get all of them at the end in one append, or none, and a killed search leaves
// nothing behind.
class TMailSearch::Spool {
  public:
    explicit Spool(const fs::path& folder) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            // File systems without unnamed files: a named one, removed at once.
            std::string name = (folder / ".kivo-find-XXXXXX").string();
            fd_ = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd_ >= 0) ::unlink(name.c_str());
        }
        if (fd_ < 0) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot create a temporary file in " + folder.string());
        }
    }
    ~Spool() { ::close(fd_); }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void Write(std::string_view data) {
        while (!data.empty()) {
            const ssize_t n = ::write(fd_, data.data(), data.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                throw std::system_error(n == 0 ? ENOSPC : errno, std::generic_category(),
                                        "cannot write the results");
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    void AppendTo(TAppendTransaction& append) const {
        std::vector<char> chunk(kBatch);
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(fd_, chunk.data(), chunk.size(), at);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                throw std::system_error(errno, std::generic_category(), "cannot read the results");
            }
            if (n == 0) return;
            append.Write(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
            at += n;
        }
    }

  private:
    int fd_ = -1;
};

TMailSearch::~TMailSearch() = default;

TMailSearch::TMailSearch(fs::path mailFolder, const TSearchText& text, Platform& platform,
                         TSearchProgress& progress)
    : mailFolder_(std::move(mailFolder)),
      find_(text.find, text.findIgnoreCase),
      exclude_(text.exclude, text.excludeIgnoreCase),
      useExclude_(!TrimView(text.exclude).empty()),
      platform_(platform),
      progress_(progress) {}

namespace {

// Takes away a results mailbox a failed search made: it exists now, did not before, and holds
// no message (another search may have added some meanwhile: then it stays).
void RemoveIfMadeEmpty(const TMailboxFiles& results) {
    std::error_code ec;
    if (!fs::exists(results.Mbx, ec)) return;
    try {
        TMailboxLock lock(results);
        MbxScanner scanner(results.Mbx);
        if (scanner.Next()) return;
        ::unlink(results.Mbx.c_str());
        fs::remove(results.Idx, ec);
        fs::remove(results.Del, ec);
    } catch (const std::exception&) {
        // It stays; the failure that ended the search is what is reported.
    }
}

}  // namespace

void TMailSearch::IterateMailboxes(const fs::path& folder, const fs::path& resultsBase) {
    const TMailboxFiles results = TMailboxFiles::Of(resultsBase);
    std::error_code ec;
    const bool resultsExisted = fs::exists(results.Mbx, ec);
    copied_ = 0;
    found_ = 0;
    bool canceled = false;
    try {
        Spool spool(results.Mbx.parent_path().empty() ? fs::path(".") : results.Mbx.parent_path());
        spool_ = &spool;
        try {
            Walk(folder, resultsBase);
        } catch (const ECanceled&) {
            canceled = true;  // what was found so far still goes to the results
        }
        Flush();
        TMailboxLock lock(results);
        TAppendTransaction append(lock.Lock());
        struct stat st {};
        if (::fstat(lock.fd(), &st) == 0 && st.st_size == 0) {
            append.Write(std::string(kResultsMark) + "\r\n");
        }
        spool.AppendTo(append);
        append.Commit();
        spool_ = nullptr;
    } catch (...) {
        spool_ = nullptr;
        batch_.clear();
        if (!resultsExisted) RemoveIfMadeEmpty(results);
        throw;
    }
    copied_ = found_;
    if (canceled) throw ECanceled();
}

void TMailSearch::Flush() {
    if (!batch_.empty()) spool_->Write(batch_);
    batch_.clear();
}

void TMailSearch::Walk(const fs::path& folder, const fs::path& resultsBase) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    std::vector<fs::directory_entry> entries;
    for (const auto& entry : fs::directory_iterator(folder)) entries.push_back(entry);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return LowerCase(a.path().filename().string()) < LowerCase(b.path().filename().string());
    });
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory(ec)) {
            Walk(entry.path(), resultsBase);
        } else if (name.size() > 4 &&
                   EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".mbx")) {
            SearchMailbox(entry.path().parent_path() / name.substr(0, name.size() - 4),
                          resultsBase);
        }
    }
}

void TMailSearch::SearchMailbox(const fs::path& mailboxBase, const fs::path& resultsBase) {
    const TMailboxFiles files = TMailboxFiles::Of(mailboxBase);
    const fs::path results = TMailboxFiles::Of(resultsBase).Mbx;
    std::error_code ec;
    // Never search the mailbox the results go to: it would find its own copies.
    if (fs::exists(results, ec) && fs::equivalent(files.Mbx, results, ec)) return;
    // A mailbox that is listed but cannot be read (a link to nowhere or to itself) ends the
    // search with its name: skipping it would report its messages as not found.
    const bool present = fs::exists(files.Mbx, ec);
    if (ec || (!present && fs::is_symlink(files.Mbx))) {
        throw std::system_error(ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory),
                                "cannot read " + files.Mbx.string());
    }
    if (!present) return;
    if (IsResultsMailbox(files.Mbx)) return;
    const std::string rel = RelativeName(mailFolder_, mailboxBase);
    progress_.Searching(rel);
    // The deleted list, the index's status lines and the file read agree: they are taken
    // under the mailbox's lock, and the scan reads that file up to that length.
    TDeletedList deleted;
    TIndexStatus status;
    std::optional<MbxScanner> scan;
    {
        TMailboxLock lock(files);
        deleted = TDeletedList::Load(files.Del);
        status = ReadCurrentIndexStatus(files, lock.fd(), true);
        struct stat st {};
        if (::fstat(lock.fd(), &st) != 0) {
            throw std::system_error(errno, std::generic_category(), "cannot read " + rel);
        }
        scan.emplace(files.Mbx, MbxScanner::Range{0, static_cast<std::uint64_t>(st.st_size), 0});
    }
    MbxScanner& scanner = *scan;
    if (!scanner.IsOpen()) {
        throw std::system_error(scanner.OpenError(), "cannot read " + files.Mbx.string());
    }

    const bool findable = CanMatchALine(find_.Needle());
    const bool excludable = useExclude_ && CanMatchALine(exclude_.Needle());
    std::string& batch = batch_;
    PumpThrottle throttle(platform_);
    {
        while (scanner.Next()) {
            const int number = static_cast<int>(scanner.Current().number);
            throttle.Tick();
            if (number % 10 == 0) progress_.MessageNumber(number);
            if (progress_.CancelRequested() || platform_.AbortRequested()) throw ECanceled();
            if (deleted.Contains(number)) continue;
            const std::string_view text = scanner.Text();
            const MessageShape shape = Shape(text);
            if (shape.deleted) continue;
            const std::string* found = status.Find(number);
            const std::string* replacement = (found && !shape.status.empty()) ? found : nullptr;
            // A line holds the text when the message does outside the replaced lines, or
            // the replacement does (a text holds no line end, so it never spans lines).
            auto holds = [&](const TTextFinder& finder) {
                if (replacement && finder.FoundIn(*replacement)) return true;
                for (std::size_t pos = 0;;) {
                    const std::size_t hit = finder.Find(text, pos);
                    if (hit == std::string_view::npos) return false;
                    const bool inStatus =
                        replacement &&
                        std::any_of(shape.status.begin(), shape.status.end(),
                                    [&](const Range& r) { return hit >= r.begin && hit < r.end; });
                    if (!inStatus) return true;
                    pos = hit + 1;
                }
            };
            if (!findable || !holds(find_) || (excludable && holds(exclude_))) continue;

            // Copy it with the index's status and the "X-Found:" line as its third line.
            std::size_t pos = 0;
            bool inserted = false;
            auto insertFound = [&] {
                if (!batch.empty() && batch.back() != '\n') batch += "\r\n";
                batch += "X-Found: " + rel + "\r\n";
                inserted = true;
            };
            for (const Range& r : replacement ? shape.status : std::vector<Range>{}) {
                if (!inserted && shape.afterSecond <= r.begin) {
                    batch.append(text.substr(pos, shape.afterSecond - pos));
                    pos = shape.afterSecond;
                    insertFound();
                }
                batch.append(text.substr(pos, r.begin - pos));
                batch += *replacement;
                pos = r.end;
            }
            if (!inserted) {
                const std::size_t at = std::max(pos, shape.afterSecond);
                batch.append(text.substr(pos, at - pos));
                pos = at;
                insertFound();
            }
            batch.append(text.substr(pos));
            if (batch.back() != '\n') batch += "\r\n";
            ++found_;
            if (batch.size() >= kBatch) Flush();
        }
    }
}

}  // namespace kivo
