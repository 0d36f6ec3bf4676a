#include "store/compress.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "store/deletedlist.h"
#include "store/deletedmark.h"
#include "store/filewriter.h"
#include "store/indexfile.h"
#include "store/mailboxlock.h"
#include "store/mbxscanner.h"
#include "store/storefeedback.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowErrno(int err, const std::string& what, const fs::path& path) {
    throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

void SyncFolder(const fs::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The mailbox file opened once more, for copying its ranges.
struct SourceFile {
    int fd = -1;
    explicit SourceFile(const fs::path& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~SourceFile() {
        if (fd >= 0) ::close(fd);
    }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
};

// Where a line of a message text lies.
struct LineAt {
    std::size_t begin = 0;  // first byte
    std::size_t end = 0;    // past its line end
    std::string_view text;  // without the line end
};

bool NextLineAt(std::string_view text, std::size_t pos, LineAt& line) {
    if (pos >= text.size()) return false;
    const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
    std::size_t stop =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
    line.begin = pos;
    line.end = lf ? stop + 1 : stop;
    line.text = text.substr(pos, stop - pos);
    if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    return true;
}

// How a kept message's copy differs from the original: the bytes [begin, end) (a "Status:"
// line or the header end line) are replaced by `text`.
struct StatusEdit {
    bool found = false;  // a "Status:" line or the header end was reached
    bool replace = false;
    std::size_t begin = 0, end = 0;
    std::string text;
};

// Looks through the header block in `head` (the start of the message, all of it when
// `complete`) for its first "Status:" line.
StatusEdit FindStatusEdit(std::string_view head, bool complete, const std::string* indexStatus) {
    StatusEdit edit;
    LineAt line;
    if (!NextLineAt(head, 0, line)) return edit;
    std::size_t pos = line.end;
    while (NextLineAt(head, pos, line)) {
        if (!complete && line.end == head.size() && head.back() != '\n') return edit;  // cut
        if (TrimView(line.text).empty()) {
            // The header block ends before any "Status:" line: give the message one.
            edit = {true, true, line.begin, line.end,
                    (indexStatus ? *indexStatus : std::string("Status: ")) + "\r\n \r\n"};
            return edit;
        }
        if (line.text.starts_with("Status:")) {
            edit.found = true;
            if (indexStatus) {
                edit.replace = true;
                edit.begin = line.begin;
                edit.end = line.end;
                edit.text = *indexStatus + "\r\n";
            }
            return edit;
        }
        pos = line.end;
    }
    return edit;
}

// Text before the first message belongs to none, but it is the user's: it stays (a results
// mailbox keeps its mark there). Only blank lines are dropped, as they always were.
void CopyPreamble(int source, std::uint64_t length, TFileWriter& out) {
    if (length == 0) return;
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(length, 4096)), '\0');
    const ssize_t n = ::pread(source, head.data(), head.size(), 0);
    const bool blank = n == static_cast<ssize_t>(head.size()) && length <= head.size() &&
                       head.find_first_not_of(" \t\r\n") == std::string::npos;
    if (!blank) out.CopyRange(source, 0, length);
}

// Copies one kept message, handling its first "Status:" header line; most of it is copied
// inside the kernel. A message its header marks deleted (MessageMarkedDeleted) is left out;
// returns false for it.
bool CopyMessage(MbxScanner& scanner, int source, const std::string* indexStatus,
                 TFileWriter& out) {
    constexpr std::uint64_t kHead = 64 * 1024;
    const MbxSpan span = scanner.Current();
    bool headerEnds = false;
    bool deleted = MessageMarkedDeleted(scanner.Text(kHead), &headerEnds);
    if (!deleted && !headerEnds && span.length > kHead) deleted = MessageMarkedDeleted(scanner.Text());
    if (deleted) return false;
    StatusEdit edit = FindStatusEdit(scanner.Text(kHead), span.length <= kHead, indexStatus);
    if (!edit.found && span.length > kHead)
        edit = FindStatusEdit(scanner.Text(), true, indexStatus);
    if (!edit.replace) {
        out.CopyRange(source, span.offset, span.length);
        return true;
    }
    out.CopyRange(source, span.offset, edit.begin);
    out.Write(edit.text);
    out.CopyRange(source, span.offset + edit.end, span.length - edit.end);
    return true;
}

// Copies the mailbox without its deleted messages into the temporary file and puts it in
// place. Messages marked deleted only in their "Status:" line go in the same pass.
void CompressPass(const TMailboxFiles& files, int lockedFd, TStoreProgress& progress,
                  const TCompressStepHook& hook) {
    auto step = [&](std::string_view name) {
        if (hook) hook(name);
    };
    const TDeletedList deleted = TDeletedList::Load(files.Del);
    TIndexStatus status;
    std::error_code ec;
    try {
        // An index saved for an older state of the file numbers other messages: none.
        status = ReadCurrentIndexStatus(files, lockedFd);
    } catch (const std::exception&) {
        status = {};
    }
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(files.Mbx.c_str(), &st) == 0) mode = st.st_mode & 07777;

    const fs::path tmp = files.Tmp();
    try {
        TFileWriter out(tmp, mode);
        MbxScanner scanner(files.Mbx);
        if (!scanner.IsOpen() && scanner.OpenError() != std::errc::no_such_file_or_directory) {
            throw std::system_error(scanner.OpenError(), "cannot read " + files.Mbx.string());
        }
        SourceFile source(files.Mbx);
        bool first = true;
        while (scanner.Next()) {
            if (first) {
                CopyPreamble(source.fd, scanner.Current().offset, out);
                first = false;
            }
            progress.At(scanner.Current().offset);
            const int number = static_cast<int>(scanner.Current().number);
            if (deleted.Contains(number)) continue;
            CopyMessage(scanner, source.fd, status.Find(number), out);
        }
        if (first) {
            struct stat whole {};
            if (source.fd >= 0 && ::fstat(source.fd, &whole) == 0) {
                CopyPreamble(source.fd, static_cast<std::uint64_t>(whole.st_size), out);
            }
        }
        step("copied");
        out.Finish();
    } catch (...) {
        fs::remove(tmp, ec);
        throw;
    }
    step("synced");
    // The old deleted list numbers the old file: set it aside until the new file is in
    // place, so a crash never pairs it with the new file (see RecoverInterruptedCompression).
    const fs::path aside = files.Aside();
    const bool hadList = fs::exists(files.Del, ec);
    if (hadList) {
        if (::rename(files.Del.c_str(), aside.c_str()) != 0) {
            int err = errno;
            fs::remove(tmp, ec);
            ThrowErrno(err, "cannot set aside", files.Del);
        }
        step("list-set-aside");
    }
    if (::rename(tmp.c_str(), files.Mbx.c_str()) != 0) {
        int err = errno;
        if (hadList) ::rename(aside.c_str(), files.Del.c_str());
        fs::remove(tmp, ec);
        ThrowErrno(err, "cannot replace", files.Mbx);
    }
    SyncFolder(files.Mbx.parent_path());
    step("renamed");
    if (hadList) {
        fs::remove(aside, ec);
        SyncFolder(files.Mbx.parent_path());
    }
}

}  // namespace

void CompressMailbox(const fs::path& base, bool showStatus, TStoreFeedback& feedback,
                     const TCompressStepHook& hook) {
    const TMailboxFiles files = TMailboxFiles::Of(base);
    TMailboxLock lock(files);
    struct stat st {};
    const std::uint64_t size = ::fstat(lock.fd(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    // The status and the bar go away also when the compression fails.
    TStoreProgress progress(feedback, size, showStatus ? "Compressing mailbox..." : "");
    CompressPass(files, lock.fd(), progress, hook);
    if (hook) hook("done");
}

}  // namespace kivo
