#include "store/deletedlist.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxscanner.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStampWord = "Mailbox ";

// The messages of the file `mbx` within its first `end` bytes, counted on from `from` when
// that is a state of the same file with its messages counted, else from the start.
std::int64_t CountMessages(const fs::path& mbx, const TMailboxState& from, std::uint64_t end) {
    MbxScanner::Range range{0, end, 0};
    if (from.known && from.messages >= 0 && from.size <= end) {
        range = {from.size, end, from.messages};
    }
    MbxScanner scanner(mbx, range);
    return range.numberBefore + scanner.CountRest();
}

// The files of the mailbox whose deleted list is `del`.
TMailboxFiles FilesOfList(const fs::path& del) {
    std::string stem = del.string();
    if (stem.size() > 2 && EqualsNoCase(std::string_view(stem).substr(stem.size() - 2), ".d")) {
        stem.resize(stem.size() - 2);
    }
    return TMailboxFiles::Of(stem);
}

// The mailbox file opened for reading, closed on every way out.
class OpenMbx {
  public:
    explicit OpenMbx(const fs::path& mbx) : fd_(::open(mbx.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenMbx() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenMbx(const OpenMbx&) = delete;
    OpenMbx& operator=(const OpenMbx&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

namespace {

// The numbers of a list file and what its stamp says about the file open as `fd`.
struct ListText {
    std::vector<int> numbers;
    std::optional<TMailboxState> stamp;
    bool damagedStamp = false;
    bool Stale(int fd) const {
        return !numbers.empty() &&
               (damagedStamp ||
                (stamp && CompareState(*stamp, fd, false) == TStateChange::Changed));
    }
};

ListText ReadList(const fs::path& del) {
    ListText list;
    for (const std::string& line : SplitLines(ReadFileOrEmpty(del))) {
        if (line.starts_with(kStampWord)) {
            list.stamp =
                TMailboxState::Parse(TrimView(std::string_view(line).substr(kStampWord.size())));
            list.damagedStamp = !list.stamp || list.stamp->messages < 0;
            continue;
        }
        int number = 0;
        if (ParseInt(Trim(line), number)) list.numbers.push_back(number);
    }
    return list;
}

}  // namespace

bool TDeletedList::IsStale(const TMailboxFiles& files, int lockedFd) {
    return ReadList(files.Del).Stale(lockedFd);
}

TDeletedList TDeletedList::Load(const TMailboxFiles& files, int lockedFd) {
    TDeletedList list;
    const ListText text = ReadList(files.Del);
    const std::vector<int>& numbers = text.numbers;
    const std::optional<TMailboxState>& stamp = text.stamp;
    if (numbers.empty()) return list;
    list.unstamped_ = !stamp && !text.damagedStamp;
    if (text.Stale(lockedFd)) {
        // Numbers of another file, or of contents since replaced: they name other messages.
        list.stale_ = true;
        list.ignored_ = static_cast<int>(numbers.size());
        return list;
    }
    TMailboxState basis;
    if (stamp) {
        basis = *stamp;
    } else {
        // An old list says nothing about the file it was written for: only numbers the file
        // has now can be taken.
        basis = TMailboxState::Read(lockedFd);
        basis.messages = CountMessages(files.Mbx, {}, basis.size);
    }
    for (int number : numbers) {
        if (number >= 1 && number <= basis.messages) {
            list.Add(number);
        } else {
            ++list.ignored_;
        }
    }
    list.basis_ = basis;
    return list;
}

TDeletedList TDeletedList::Load(const fs::path& path) {
    const TMailboxFiles files = FilesOfList(path);
    const OpenMbx mbx(files.Mbx);
    if (mbx.fd() < 0) {
        if (errno != ENOENT) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot read " + files.Mbx.string());
        }
        // A list without its mailbox file names nothing.
        TDeletedList list;
        list.ignored_ = static_cast<int>(ReadList(path).numbers.size());
        list.stale_ = list.ignored_ > 0;
        return list;
    }
    return Load(files, mbx.fd());
}

void TDeletedList::SetBasis(const TMailboxState& basis) {
    if (basis.known && basis.messages >= 0) basis_ = basis;
}

void TDeletedList::Save(const TMailboxFiles& files, int lockedFd) const {
    std::error_code ec;
    if (numbers_.empty()) {
        fs::remove(files.Del, ec);
        if (ec) throw std::system_error(ec, "cannot remove " + files.Del.string());
        return;
    }
    // The stamp: the list's basis while it still describes the file and counts every number,
    // else the file as it is now, counting only what came after the basis.
    const bool basisFits =
        basis_.known && CompareState(basis_, lockedFd, false) != TStateChange::Changed;
    TMailboxState stamp = basis_;
    const int highest = *std::max_element(numbers_.begin(), numbers_.end());
    if (!basisFits || highest > stamp.messages) {
        stamp = TMailboxState::Read(lockedFd);
        stamp.messages = CountMessages(files.Mbx, basisFits ? basis_ : TMailboxState{}, stamp.size);
    }
    std::string text = std::string(kStampWord) + stamp.Text() + "\r\n";
    bool any = false;
    for (int n : numbers_) {
        if (n < 1 || n > stamp.messages) continue;  // no message has it
        text += std::to_string(n) + "\r\n";
        any = true;
    }
    if (!any) {
        fs::remove(files.Del, ec);
        if (ec) throw std::system_error(ec, "cannot remove " + files.Del.string());
        return;
    }
    WriteFileAtomicLocked(files.Del, text);
}

void TDeletedList::Save(const fs::path& path) const {
    const TMailboxFiles files = FilesOfList(path);
    const OpenMbx mbx(files.Mbx);
    if (mbx.fd() < 0 && !numbers_.empty()) {
        throw std::system_error(errno, std::generic_category(), "cannot read " + files.Mbx.string());
    }
    Save(files, mbx.fd());
}

bool TDeletedList::Add(int number) {
    if (!set_.insert(number).second) return false;
    numbers_.push_back(number);
    return true;
}

}  // namespace kivo
