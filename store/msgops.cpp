#include "store/msgops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "base/bytes.h"
#include "base/files.h"
#include "store/KivoIndex.h"
#include "store/compress.h"
#include "store/deletedlist.h"
#include "store/mbxfile.h"
#include "store/mbxscanner.h"
#include "store/storefeedback.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

// Appends are made in batches of whole messages, each under the target's lock and cut back
// when it fails, so a huge selection never sits in memory at once.
constexpr std::size_t kBatch = std::size_t{8} << 20;

// True when the file is not empty and its last byte is not a line feed.
bool EndsWithoutLineEnd(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char last = '\n';
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        if (::pread(fd, &last, 1, st.st_size - 1) != 1) last = '\n';
    }
    ::close(fd);
    return last != '\n';
}

bool SamePath(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    return EqualsNoCase(a.lexically_normal().string(), b.lexically_normal().string());
}

}  // namespace

std::string CopyFailedText(std::string_view targetName) {
    if (targetName.empty()) return std::string(kAppendFailedText);
    return "Could not add the message to the mailbox " + std::string(targetName) +
           ",\rmost likely due to lack of free space!";
}

void CopyToFile(const TFrmIndex& source, const TFrmIndex* target, const fs::path& targetPath,
                TStoreFeedback& feedback) {
    if (source.Items().empty()) return;
    const fs::path to = target ? target->Files().Mbx : targetPath;
    std::vector<int> numbers = source.SelectedNumbers();
    const std::unordered_set<int> wanted(numbers.begin(), numbers.end());
    const fs::path from = source.Files().Mbx;
    std::error_code ec;
    if (wanted.empty() || !fs::exists(from, ec)) return;

    const std::string failText = CopyFailedText(target ? target->MailboxName : "");
    try {
        MbxScanner scanner(from);
        std::string batch;
        if (EndsWithoutLineEnd(to)) batch = "\r\n";
        std::size_t left = wanted.size();
        while (left > 0 && scanner.Next()) {
            if (!wanted.contains(static_cast<int>(scanner.Current().number))) continue;
            --left;
            std::string_view text = scanner.Text();
            batch.append(text);
            if (!text.ends_with('\n')) batch.append("\r\n");
            if (batch.size() >= kBatch) {
                AppendLocked(to, batch);
                batch.clear();
            }
            feedback.Pump();
        }
        if (!batch.empty() && batch != "\r\n") AppendLocked(to, batch);
    } catch (const std::exception&) {
        throw ECopyError(failText);
    }
}

void DeleteSelected(TFrmIndex& window, bool toTrash, TStoreFeedback& feedback) {
    if (window.RowCount() == 0 || window.SelectedRows().empty()) return;
    feedback.Progress(0);
    feedback.StatusText("Deleting selected messages...");
    const int focus = std::max(window.Focused(), 0);
    if (toTrash && !EqualsNoCase(window.MailboxName, "trash")) {
        try {
            CopyToFile(window, nullptr, FindFileNoCase(window.Folder, "trash.mbx"), feedback);
        } catch (...) {
            feedback.Progress(-1);
            feedback.StatusText("");
            throw;
        }
    }
    const TMailboxFiles files = window.Files();
    RecoverInterruptedCompression(files);
    {
        // The lock keeps a compression in another process from renumbering the file while
        // the list changes.
        FileLock lock(files.Mbx);
        TDeletedList deleted = TDeletedList::Load(files.Del);
        const std::vector<TIndexItem> removed = window.RemoveSelected();
        const std::size_t total = removed.size();
        for (std::size_t done = 0; done < total; ++done) {
            deleted.Add(removed[done].Number);
            ++window.DeletedCount;
            if (done % 20 == 0) {
                feedback.Progress(
                    total < 2 ? 100
                              : static_cast<int>(std::lround(100.0 * static_cast<double>(done) /
                                                             static_cast<double>(total - 1))));
            }
        }
        deleted.Save(files.Del);
    }
    window.Saved = false;
    const int rows = window.RowCount();
    if (rows > 0) window.SelectOnly(std::min(focus, rows - 1));
    feedback.Progress(-1);
    feedback.StatusText("");
}

void MoveMessage(TFrmIndex& source, const fs::path& targetPath, const TFrmIndex* target,
                 TStoreFeedback& feedback) {
    if (target ? EqualsNoCase(target->MailboxName, source.MailboxName)
               : SamePath(targetPath, source.Files().Mbx)) {
        return;
    }
    CopyToFile(source, target, targetPath, feedback);
    DeleteSelected(source, false, feedback);
}

void EmptyTrash(const fs::path& mailFolder) {
    const TMailboxFiles files = TMailboxFiles::Of(mailFolder / "trash");
    {
        FileLock lock(files.Mbx);
        if (::ftruncate(lock.fd(), 0) != 0 || ::fsync(lock.fd()) != 0) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot empty " + files.Mbx.string());
        }
    }
    std::error_code ec;
    fs::remove(files.Del, ec);
}

TShownLines ExtractForView(const fs::path& mbx, int number) {
    TShownLines shown;
    std::vector<std::string> lines;
    ExtractMsg(number, mbx, lines);
    StripMsgBottom(lines);
    StripMsgTop(lines);
    ExtractHeaders(shown.headers, lines);
    StripMsgTop(lines);
    shown.body = std::move(lines);
    return shown;
}

std::string SelectedMessagesText(const TFrmIndex& window) {
    const fs::path mbx = window.Files().Mbx;
    std::string text;
    for (int number : window.SelectedNumbers()) {
        std::vector<std::string> lines;
        ExtractMsg(number, mbx, lines);
        StripMsgTop(lines);
        StripMsgBottom(lines);
        text += JoinLinesCrLf(lines);
        text += "\r\n";
    }
    return text;
}

}  // namespace kivo
