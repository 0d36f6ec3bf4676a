#include "store/msgops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <system_error>
#include <unordered_set>

#include "base/bytes.h"
#include "base/files.h"
#include "store/KivoIndex.h"
#include "store/compress.h"
#include "store/deletedlist.h"
#include "store/mailboxlock.h"
#include "store/mbxfile.h"
#include "store/mbxscanner.h"
#include "store/storefeedback.h"
#include "store/transferintent.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

// Appends are handed to the file in pieces of whole messages, so a huge selection never sits
// in memory at once; the target's lock and one transaction cover all of them.
constexpr std::size_t kBatch = std::size_t{8} << 20;

bool SamePath(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    return EqualsNoCase(a.lexically_normal().string(), b.lexically_normal().string());
}

// The files of the mailbox whose messages are in `mbx`.
TMailboxFiles FilesOfMbx(const fs::path& mbx) {
    std::string base = mbx.string();
    if (base.size() > 4 && EqualsNoCase(std::string_view(base).substr(base.size() - 4), ".mbx")) {
        base.resize(base.size() - 4);
    }
    return TMailboxFiles::Of(base);
}

// What a system error says, without the file name the program knows anyway.
std::string Reason(const std::exception& e) {
    if (const auto* sys = dynamic_cast<const std::system_error*>(&e)) return sys->code().message();
    return e.what();
}

// The mailbox a file belongs to as the user names it: its path in the mail folder.
std::string DisplayName(const fs::path& mbx, const fs::path& mailFolder) {
    std::error_code ec;
    fs::path rel = mbx.lexically_relative(mailFolder);
    if (rel.empty() || rel.native().starts_with("..")) rel = mbx.filename();
    std::string name = rel.replace_extension().generic_string();
    for (std::string_view system : {"In", "Out", "Sent", "Trash"}) {
        if (EqualsNoCase(name, system)) return std::string(system);
    }
    return name;
}

// Appends the messages `wanted` of the source file (whose lock the caller holds) through
// `append`, each exactly as stored.
void AppendMessages(const fs::path& from, int fromFd, const std::vector<int>& numbers,
                    TAppendTransaction& append, int targetFd, TStoreFeedback& feedback) {
    const std::unordered_set<int> wanted(numbers.begin(), numbers.end());
    // Only what the file held when it was locked: a copy into the same mailbox never reads
    // its own copies.
    struct stat st {};
    if (::fstat(fromFd, &st) != 0) throw std::system_error(errno, std::generic_category(), "");
    MbxScanner scanner(from, MbxScanner::Range{0, static_cast<std::uint64_t>(st.st_size), 0});
    std::string batch;
    // Glued to an unfinished last line, the separator would not start a line.
    if (EndsWithoutLineEnd(targetFd)) batch = "\r\n";
    std::size_t left = wanted.size();
    while (left > 0 && scanner.Next()) {
        if (!wanted.contains(static_cast<int>(scanner.Current().number))) continue;
        --left;
        std::string_view text = scanner.Text();
        batch.append(text);
        if (!text.ends_with('\n')) batch.append("\r\n");
        if (batch.size() >= kBatch) {
            append.Write(batch);
            batch.clear();
        }
        feedback.Pump();
    }
    if (batch != "\r\n") append.Write(batch);
}

// Adds the numbers to the deleted list of the window's mailbox, whose lock the caller holds
// as `lockedFd`. Throws ECopyError.
void MarkDeleted(const TFrmIndex& window, int lockedFd, const std::vector<int>& numbers,
                 TStoreFeedback& feedback) {
    const TMailboxFiles files = window.Files();
    const std::string& name = window.MailboxName;
    // A list that cannot be read fails as itself, naming its file.
    TDeletedList deleted = TDeletedList::Load(files, lockedFd);
    try {
        deleted.SetBasis(window.Basis);
        const std::size_t total = numbers.size();
        for (std::size_t done = 0; done < total; ++done) {
            deleted.Add(numbers[done]);
            if (done % 20 == 0) {
                feedback.Progress(
                    total < 2 ? 100
                              : static_cast<int>(std::lround(100.0 * static_cast<double>(done) /
                                                             static_cast<double>(total - 1))));
            }
        }
        deleted.Save(files, lockedFd);
    } catch (const std::exception& e) {
        throw ECopyError("Could not update the deleted list of the mailbox " + name +
                             ",\rmost likely due to lack of free space!",
                         "cannot write the deleted list of the mailbox " + name + ": " + Reason(e) +
                             "; nothing was changed");
    }
}

// The copy failure of a target mailbox as ECopyError.
ECopyError CopyFailure(const std::string& boxName, const std::string& name,
                       const std::exception& e) {
    return ECopyError(CopyFailedText(boxName), "cannot add the messages to the mailbox " + name +
                                                   ": " + Reason(e) + "; nothing was changed");
}

// Copies the messages `numbers` of `source` to the mailbox file `to` under both mailboxes'
// locks, after checking that the source's index still numbers its file. With `markDeleted`
// the originals are then marked deleted in the source's deleted list, and the copy and the
// mark are one change, also when the process is killed in between (see TTransferIntent).
void CopyLocked(const TFrmIndex& source, const std::vector<int>& numbers, const fs::path& to,
                const std::string& boxName, TStoreFeedback& feedback, bool markDeleted = false) {
    const TMailboxFiles from = source.Files();
    const TMailboxFiles toFiles = FilesOfMbx(to);
    const std::string toName = DisplayName(toFiles.Mbx, source.Folder);
    std::optional<TMailboxPairLock> locks;
    try {
        locks.emplace(from, toFiles);
    } catch (const std::system_error& e) {
        throw CopyFailure(boxName, toName, e);
    }
    const int fromFd = locks->A().fd();
    CheckIndexCurrent(source, fromFd);
    TAppendTransaction append(locks->B());
    // Destroyed before `append`: its record goes before the copy is taken back.
    std::optional<TTransferIntent> intent;
    try {
        if (markDeleted) intent.emplace(from, fromFd, numbers, toFiles.Mbx, append);
        AppendMessages(from.Mbx, fromFd, numbers, append, locks->B().fd(), feedback);
        append.Flush();
        if (intent) intent->Copied();
    } catch (const std::exception& e) {
        throw CopyFailure(boxName, toName, e);
    }
    if (intent) MarkDeleted(source, fromFd, numbers, feedback);
    const bool committed = append.Commit();
    if (intent && committed) intent->Finish();
}

// Deletes the selected messages of `window`, copying them to `target` first when given, as
// one change under both mailboxes' locks.
void TransferSelected(TFrmIndex& window, const std::optional<fs::path>& target,
                      const std::string& boxName, TStoreFeedback& feedback) {
    const std::vector<int> numbers = window.SelectedNumbers();
    if (target) {
        CopyLocked(window, numbers, *target, boxName, feedback, true);
        return;
    }
    TMailboxLock lock(window.Files());
    CheckIndexCurrent(window, lock.fd());
    MarkDeleted(window, lock.fd(), numbers, feedback);
}

// Runs a change of the selected messages with the status text and progress bar of a delete,
// then drops their entries.
void DeleteWith(TFrmIndex& window, TStoreFeedback& feedback, const std::function<void()>& change) {
    feedback.Progress(0);
    feedback.StatusText("Deleting selected messages...");
    const int focus = std::max(window.Focused(), 0);
    try {
        change();
    } catch (...) {
        feedback.Progress(-1);
        feedback.StatusText("");
        throw;
    }
    window.DeletedCount += static_cast<int>(window.RemoveSelected().size());
    window.Saved = false;
    const int rows = window.RowCount();
    if (rows > 0) window.SelectOnly(std::min(focus, rows - 1));
    feedback.Progress(-1);
    feedback.StatusText("");
}

}  // namespace

std::string CopyFailedText(std::string_view targetName) {
    if (targetName.empty()) return std::string(kAppendFailedText);
    return "Could not add the message to the mailbox " + std::string(targetName) +
           ",\rmost likely due to lack of free space!";
}

void CopyToFile(const TFrmIndex& source, const TFrmIndex* target, const fs::path& targetPath,
                TStoreFeedback& feedback) {
    if (source.ItemCount() == 0) return;
    const fs::path to = target ? target->Files().Mbx : targetPath;
    const std::vector<int> numbers = source.SelectedNumbers();
    const TMailboxFiles from = source.Files();
    std::error_code ec;
    if (numbers.empty() || !fs::exists(from.Mbx, ec)) return;

    CopyLocked(source, numbers, to, target ? target->MailboxName : "", feedback);
}

void DeleteSelected(TFrmIndex& window, bool toTrash, TStoreFeedback& feedback) {
    if (window.RowCount() == 0 || window.SelectedRows().empty()) return;
    std::optional<fs::path> trash;
    if (toTrash && !EqualsNoCase(window.MailboxName, "trash")) {
        trash = FindFileNoCase(window.Folder, "trash.mbx");
    }
    DeleteWith(window, feedback, [&] { TransferSelected(window, trash, "", feedback); });
}

void MoveMessage(TFrmIndex& source, const fs::path& targetPath, const TFrmIndex* target,
                 TStoreFeedback& feedback) {
    if (target ? EqualsNoCase(target->MailboxName, source.MailboxName)
               : SamePath(targetPath, source.Files().Mbx)) {
        return;
    }
    if (source.ItemCount() == 0 || source.SelectedRows().empty()) return;
    const fs::path to = target ? target->Files().Mbx : targetPath;
    DeleteWith(source, feedback,
               [&] { TransferSelected(source, to, target ? target->MailboxName : "", feedback); });
}

void EmptyTrash(const fs::path& mailFolder) {
    const TMailboxFiles files = TMailboxFiles::Of(mailFolder / "trash");
    TMailboxLock lock(files);
    // The list goes before the messages it numbers: a crash in between leaves deleted
    // messages in the Trash, never numbers that the next messages there would inherit.
    std::error_code ec;
    fs::remove(files.Del, ec);
    if (ec) throw std::system_error(ec, "cannot remove " + files.Del.string());
    if (::ftruncate(lock.fd(), 0) != 0 || ::fsync(lock.fd()) != 0) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot empty " + files.Mbx.string());
    }
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
    shown.number = number;
    return shown;
}

TShownLines ExtractForView(const TFrmIndex& window, int number) {
    const TMailboxFiles files = window.Files();
    TMailboxLock lock(files);
    CheckIndexCurrent(window, lock.fd());
    return ExtractForView(files.Mbx, number);
}

std::string SelectedMessagesText(const TFrmIndex& window) {
    TMessageReader reader(window.Files().Mbx);
    std::string text;
    for (int number : window.SelectedNumbers()) {
        std::vector<std::string> lines;
        reader.Extract(number, lines);
        StripMsgTop(lines);
        StripMsgBottom(lines);
        text += JoinLinesCrLf(lines);
        text += "\r\n";
    }
    return text;
}

}  // namespace kivo
