#include "store/indexfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <system_error>
#include <unordered_set>

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/datetime.h"
#include "base/files.h"
#include "store/KivoIndex.h"
#include "store/deletedlist.h"
#include "store/filewriter.h"
#include "store/mailboxlock.h"
#include "store/mbxscanner.h"
#include "store/populate.h"

namespace kivo {

namespace {

constexpr std::size_t kFields = 10;

std::string ExactStamp(const struct stat& st) {
    return std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_ino);
}

// Applies the deleted list's thresholds after a load.
void CountDeleted(TFrmIndex& window, const TDeletedList& deleted) {
    const int count = deleted.Count();
    if (window.ItemCount() / 10 < count || count > 100) {
        window.NeedsCompress = true;
        window.Saved = false;
    }
    window.DeletedCount += count;
}

// Gives entries to the messages appended after `basis` (the lock is held on `fd`); returns
// the state the entries now describe.
TMailboxState PickUpAppended(TFrmIndex& window, const TMailboxFiles& files, int fd,
                             TMailboxState basis, TDeletedList& deleted) {
    if (basis.messages < 0) {
        MbxScanner counter(files.Mbx, {0, basis.size, 0});
        basis.messages = counter.CountRest();
    }
    // Entries of messages this window appended itself (a check) before the index was saved.
    std::unordered_set<int> present;
    for (int i = 0; i < window.ItemCount(); ++i) {
        const int number = window.Item(i).Number;
        if (number > basis.messages) present.insert(number);
    }
    TMailboxState now = TMailboxState::Read(fd);
    MbxScanner scanner(files.Mbx, {basis.size, now.size, basis.messages});
    now.messages = basis.messages;
    bool listChanged = false;
    TIndexItem item;
    while (scanner.Next()) {
        const int number = static_cast<int>(scanner.Current().number);
        now.messages = number;
        if (present.contains(number) || deleted.Contains(number)) continue;
        if (EntryFromStoredMessage(scanner.Text(), number, item)) {
            window.AddIndexItem(item);
        } else {
            listChanged = deleted.Add(number) || listChanged;
        }
    }
    if (listChanged) deleted.Save(files.Del);
    window.Saved = false;  // the index file does not hold them yet
    return now;
}

void SyncFolderOf(const std::filesystem::path& file) {
    const std::filesystem::path dir = file.parent_path().empty() ? "." : file.parent_path();
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Which messages of a file an index's entries name, to tell an index that describes the file
// from one cut short or filled with numbers that cannot be (not counting, 0, twice, past the
// end): a byte per message the stamp counts, no more.
class TIndexCoverage {
  public:
    explicit TIndexCoverage(std::int64_t messages)
        : seen_(static_cast<std::size_t>(std::max<std::int64_t>(messages, 0)) + 1, 0) {}
    // False for a number no entry can have.
    bool Add(int number) {
        if (number < 1) return false;
        if (static_cast<std::size_t>(number) >= seen_.size()) {
            beyond_.push_back(number);
            return true;
        }
        if (seen_[static_cast<std::size_t>(number)]) return false;
        seen_[static_cast<std::size_t>(number)] = 1;
        return true;
    }
    // True when each message the stamp counts has an entry or is on the deleted list, and
    // the entries past them (messages appended by the window itself) are within `messagesNow`
    // and named once.
    bool Complete(const TDeletedList& deleted, int messagesNow) {
        for (std::size_t n = 1; n < seen_.size(); ++n) {
            if (!seen_[n] && !deleted.Contains(static_cast<int>(n))) return false;
        }
        std::sort(beyond_.begin(), beyond_.end());
        if (std::adjacent_find(beyond_.begin(), beyond_.end()) != beyond_.end()) return false;
        return beyond_.empty() || beyond_.back() <= messagesNow;
    }

  private:
    std::vector<char> seen_;
    std::vector<int> beyond_;
};

}  // namespace

bool StampNamesFile(std::string_view line) {
    const std::size_t tab = line.find('\t');
    return tab != std::string_view::npos && !TrimView(line.substr(tab + 1)).empty();
}

std::string StampFor(const TMailboxState& state) {
    const auto seconds = static_cast<std::time_t>(state.mtimeNs / 1000000000);
    return FormatProgramDate(DateTime::FromTimeT(seconds)) + "\t" + state.Text();
}

std::string MailboxStamp(const std::filesystem::path& mbx) {
    const int fd = ::open(mbx.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "0";
    std::string stamp;
    try {
        TMailboxState state = TMailboxState::Read(fd);
        MbxScanner counter(mbx, {0, state.size, 0});
        state.messages = counter.CountRest();
        stamp = StampFor(state);
    } catch (const std::exception&) {
        stamp = "0";
    }
    ::close(fd);
    return stamp;
}

TStateChange ReadStamp(std::string_view line, int fd, TMailboxState& basis) {
    const std::size_t tab = line.find('\t');
    std::optional<DateTime> date = ParseProgramDate(TrimView(line.substr(0, tab)));
    if (!date) throw EIndexFileInvalid();
    const std::string_view exact =
        tab == std::string_view::npos ? std::string_view() : TrimView(line.substr(tab + 1));
    if (std::optional<TMailboxState> state = TMailboxState::Parse(exact)) {
        basis = *state;
        return CompareState(basis, fd, true);
    }
    // An older stamp: the modification time to the second, and time, size and identity when
    // it has them. It gives no message count.
    basis = TMailboxState::Read(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || *date != DateTime::FromTimeT(st.st_mtim.tv_sec)) {
        return TStateChange::Changed;
    }
    if (tab != std::string_view::npos && exact != ExactStamp(st)) return TStateChange::Changed;
    return TStateChange::Same;
}

bool StampMatches(std::string_view line, const std::filesystem::path& mbx) {
    const int fd = ::open(mbx.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool matches = false;
    try {
        TMailboxState basis;
        matches = ReadStamp(line, fd, basis) != TStateChange::Changed;
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return matches;
}

std::string IndexLine(const TIndexItem& item) {
    return ToCommaText({std::to_string(item.Number), std::to_string(item.Icon), item.Subject,
                        item.From, item.Date, item.Size, item.To, item.Priority,
                        item.Unread ? "1" : "0", item.HasAttachment ? "1" : "0"});
}

void LoadIndex(TFrmIndex& window) {
    const TMailboxFiles files = window.Files();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(files.Idx, ec)) throw EIndexFileInvalid();
    // Read in blocks: an index of millions of entries is never held whole.
    std::optional<TFileLineReader> lines;
    std::string_view line;
    try {
        lines.emplace(files.Idx);
        if (!lines->Next(line)) throw EIndexFileInvalid();
    } catch (const std::system_error&) {
        throw EIndexFileInvalid();
    }
    // Under the lock the file, its deleted list and the index agree: no compression runs
    // in between, and an append a killed process left unfinished is cut back first.
    TMailboxLock lock(files);
    // An index that does not describe this file goes, so the rebuild that follows neither
    // trusts it nor compresses with its flags.
    auto reject = [&] {
        std::filesystem::remove(files.Idx, ec);
        throw EIndexFileInvalid();
    };
    TMailboxState basis;
    const TStateChange change = ReadStamp(line, lock.fd(), basis);
    // A stamp of a date alone could be any mailbox's written in the same second.
    if (change == TStateChange::Changed || !StampNamesFile(line)) reject();
    if (basis.messages < 0) {
        MbxScanner counter(files.Mbx, {0, basis.size, 0});
        basis.messages = counter.CountRest();
    }
    TDeletedList deleted = TDeletedList::Load(files.Del);
    TIndexCoverage coverage(basis.messages);
    const std::string now = FormatProgramDate(DateTime::Now());
    while (lines->Next(line)) {
        if (TrimView(line).empty()) continue;  // no entry at all, not message 1
        std::vector<std::string> f = FromCommaText(line);
        if (f.size() < kFields) f.resize(kFields);
        int number = 0;
        int size = 1;
        int icon = 0;
        if (!ParseInt(f[0], number) || !coverage.Add(number)) reject();
        // Deleted since the index was saved (the index could not be saved after the delete).
        if (deleted.Contains(number)) continue;
        const std::string sizeText = ParseInt(f[5], size) ? f[5] : "1";
        if (!ParseInt(f[1], icon)) icon = 0;
        std::string date = ParseProgramDate(f[4]) ? f[4] : now;
        const char letter = GroupLetter(icon);
        window.AddIndexItem(MakeIndexItem(f[2], IndexBool(f[9]), IndexBool(f[8]),
                                          letter ? std::string(1, letter) : std::string(), date,
                                          number, sizeText, f[7], f[6], f[3]));
    }
    if (change == TStateChange::Appended) {
        basis = PickUpAppended(window, files, lock.fd(), basis, deleted);
    }
    // Every message the stamp counts has an entry or is deleted; entries past it name
    // messages this window appended itself.
    if (!coverage.Complete(deleted, static_cast<int>(basis.messages))) reject();
    window.Basis = basis;
    CountDeleted(window, deleted);
}

bool SaveIndex(TFrmIndex& window, std::string* failure) {
    if (window.MailboxName.empty()) return true;
    const TMailboxFiles files = window.Files();
    try {
        TMailboxLock lock(files);
        TMailboxState basis = window.Basis;
        if (!basis.known) {
            basis = TMailboxState::Read(lock.fd());  // entries filled by hand
        } else if (CompareState(basis, lock.fd(), false) == TStateChange::Changed) {
            return false;  // they number a file that is gone
        }
        // Written line by line into the temporary file, flushed and put in place.
        const std::filesystem::path temp = StaleTempPath(files.Idx);
        try {
            TFileWriter out(temp, 0644);
            out.Write(StampFor(basis) + "\r\n");
            for (int i = 0; i < window.ItemCount(); ++i) {
                out.Write(IndexLine(window.Item(i)));
                out.Write("\r\n");
            }
            out.Finish();
            if (::rename(temp.c_str(), files.Idx.c_str()) != 0) {
                throw std::system_error(errno, std::generic_category(), "cannot replace");
            }
        } catch (...) {
            ::unlink(temp.c_str());
            throw;
        }
        SyncFolderOf(files.Idx);
    } catch (const std::system_error& e) {
        if (failure) *failure = e.code().message();
        return false;
    } catch (const std::exception& e) {
        if (failure) *failure = e.what();
        return false;
    }
    window.Saved = true;
    return true;
}

namespace {

// The eight status lines: unread or read, times the four icon groups.
const std::string& StatusLineOfCode(std::uint8_t code) {
    static const std::string lines[8] = {StatusLineFor(false, 2),  StatusLineFor(false, 6),
                                         StatusLineFor(false, 10), StatusLineFor(false, 14),
                                         StatusLineFor(true, 0),   StatusLineFor(true, 4),
                                         StatusLineFor(true, 8),   StatusLineFor(true, 12)};
    return lines[code & 7];
}

}  // namespace

void TIndexStatus::Add(int number, bool unread, int icon) {
    const int group = icon >= 0 && icon < 16 ? icon / 4 : 0;
    codes_.emplace_back(number, static_cast<std::uint8_t>((unread ? 4 : 0) + group));
}

const std::string* TIndexStatus::Find(int number) const {
    auto it =
        std::lower_bound(codes_.begin(), codes_.end(), std::make_pair(number, std::uint8_t{0}));
    if (it == codes_.end() || it->first != number) return nullptr;
    return &StatusLineOfCode(it->second);
}

TIndexStatus ReadIndexStatusLines(const std::filesystem::path& idx, bool strict) {
    TIndexStatus status;
    std::error_code ec;
    if (!std::filesystem::exists(idx, ec)) return status;
    TFileLineReader lines(idx);
    std::string_view line;
    lines.Next(line);  // the time stamp
    std::vector<std::string> f;
    while (lines.Next(line)) {
        f = FromCommaText(line);
        if (f.size() < 9) continue;
        int number = 0;
        if (!ParseInt(f[0], number)) continue;
        int icon = 0;
        if (!ParseInt(f[1], icon)) {
            if (strict) throw EIndexFileInvalid();
            icon = 0;
        }
        status.Add(number, f[8] == "1", icon);
    }
    // A later line of the same number wins, as it did when the lines were read one by one.
    auto& codes = status.codes_;
    std::stable_sort(codes.begin(), codes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<int, std::uint8_t>> unique;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i + 1 < codes.size() && codes[i + 1].first == codes[i].first) continue;
        unique.push_back(codes[i]);
    }
    codes = std::move(unique);
    return status;
}

TIndexStatus ReadCurrentIndexStatus(const TMailboxFiles& files, int lockedFd, bool strict) {
    std::error_code ec;
    if (!std::filesystem::exists(files.Idx, ec)) return {};
    std::string first;
    try {
        TFileLineReader lines(files.Idx);
        std::string_view line;
        if (lines.Next(line)) first = line;
    } catch (const std::system_error&) {
        return {};
    }
    TMailboxState basis;
    try {
        if (ReadStamp(TrimView(first), lockedFd, basis) == TStateChange::Changed) return {};
    } catch (const EIndexFileInvalid&) {
        return {};
    }
    return ReadIndexStatusLines(files.Idx, strict);
}

}  // namespace kivo
