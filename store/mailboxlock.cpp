#include "store/mailboxlock.h"

#include <fcntl.h>
#include <unistd.h>

#include "store/KivoIndex.h"
#include "store/deletedlist.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

void SyncFolder(const fs::path& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Exists(const fs::path& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

void RemoveStale(const fs::path& path, TRecoveryReport& report) {
    if (Exists(path) && ::unlink(path.c_str()) == 0) {
        report.removed.push_back(path.filename().string());
    }
}

}  // namespace

TRecoveryReport RecoverMailbox(const TMailboxFiles& files, const FileLock& lock) {
    TRecoveryReport report;
    report.cutBytes = lock.CutBack();
    // A compression killed after it set the deleted list aside: with its new file not yet in
    // place the old list still numbers the old file and comes back; otherwise it is spent.
    const fs::path aside = files.Aside();
    if (Exists(aside)) {
        if (Exists(files.Tmp())) {
            if (::rename(aside.c_str(), files.Del.c_str()) == 0) report.listRestored = true;
        } else {
            RemoveStale(aside, report);
        }
    }
    // Nobody writes these without the lock, so any that exist now were left by a killed
    // process.
    RemoveStale(files.Tmp(), report);
    RemoveStale(StaleTempPath(files.Idx), report);
    RemoveStale(StaleTempPath(files.Del), report);
    RemoveStale(StaleTempPath(files.Mbx), report);
    RemoveStale(StaleTempPath(TTransferRecord::PendingPath(files)), report);
    // A list stamped for another file would number other messages: it goes.
    if (Exists(files.Del)) {
        try {
            if (TDeletedList::IsStale(files, lock.fd()) && ::unlink(files.Del.c_str()) == 0) {
                report.staleList = true;
            }
        } catch (const std::system_error&) {
            // Unreadable now: whoever reads it next reports it.
        }
    }
    try {
        report.transfer = SettleTransfer(files, lock.fd());
    } catch (const std::system_error&) {
        // The record stays and is settled at the next lock.
    }
    if (!report.Empty()) SyncFolder(files.Mbx.parent_path());
    return report;
}

TMailboxLock::TMailboxLock(const TMailboxFiles& files)
    : lock_(files.Mbx), report_(RecoverMailbox(files, lock_)) {}

TMailboxPairLock::TMailboxPairLock(const TMailboxFiles& a, const TMailboxFiles& b)
    : locks_(a.Mbx, b.Mbx) {
    RecoverMailbox(a, locks_.A());
    if (!Same()) RecoverMailbox(b, locks_.B());
}

EMailboxChanged::EMailboxChanged(const std::string& mailbox)
    : std::runtime_error("The mailbox " + mailbox +
                         " was changed by another program; its list has been read again and "
                         "nothing was done. Please check the list and try again.") {}

void CheckIndexCurrent(const TFrmIndex& window, int lockedFd) {
    if (!window.Basis.known) return;
    if (CompareState(window.Basis, lockedFd, false) == TStateChange::Changed) {
        throw EMailboxChanged(window.MailboxName);
    }
}

}  // namespace kivo
