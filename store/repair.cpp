#include "store/repair.h"

#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "store/deletedlist.h"
#include "store/mbxscanner.h"

namespace kivo {

TRepairReport RepairMailbox(const TMailboxFiles& files, bool mend) {
    TRepairReport report;
    report.mend = mend;
    TMailboxLock lock(files);
    report.recovered = lock.Recovered();

    MbxScanner scanner(files.Mbx);
    if (!scanner.IsOpen()) throw std::system_error(scanner.OpenError(), files.Mbx.string());
    struct stat st {};
    if (::fstat(lock.fd(), &st) != 0) {
        throw std::system_error(errno, std::generic_category(), files.Mbx.string());
    }
    report.preambleBytes = static_cast<std::uint64_t>(st.st_size);
    if (scanner.Next()) {
        report.preambleBytes = scanner.Current().offset;
        report.messages = static_cast<int>(1 + scanner.CountRest());
    }

    // Loading keeps only what names messages of this file; saving writes that back stamped.
    const TDeletedList deleted = TDeletedList::Load(files, lock.fd());
    report.strayNumbers = deleted.Ignored();
    report.staleList = deleted.Stale();
    report.unstampedList = deleted.Unstamped();
    if (report.strayNumbers > 0 || report.staleList || report.unstampedList) {
        deleted.Save(files, lock.fd());
    }

    report.findings = CheckMessages(files, deleted);
    if (mend) MendMessages(lock.Lock(), report.findings);

    report.indexRemoved = ::unlink(files.Idx.c_str()) == 0;
    return report;
}

std::vector<std::string> RepairLines(const std::string& name, const TRepairReport& report) {
    std::vector<std::string> lines;
    const std::string at = name + ": ";
    if (report.recovered.cutBytes > 0) {
        lines.push_back(at + "cut an unfinished message of " +
                        std::to_string(report.recovered.cutBytes) + " bytes from the end");
    }
    if (report.recovered.staleList || report.staleList) {
        lines.push_back(at + "removed a deleted list that belonged to an earlier file of this "
                             "name; its numbers named other messages");
    }
    if (report.recovered.transfer == TTransferSettled::Marked) {
        lines.push_back(at + "finished an interrupted delete or move: its messages are marked "
                             "deleted here, their copies are kept");
    } else if (report.recovered.transfer == TTransferSettled::Undone) {
        lines.push_back(at + "an interrupted delete or move was undone: its messages stay here");
    }
    if (report.unstampedList && report.strayNumbers == 0) {
        lines.push_back(at + "the deleted list was written again with the file it belongs to");
    }
    if (report.recovered.listRestored) {
        lines.push_back(at + "an interrupted compression was undone");
    }
    for (const std::string& file : report.recovered.removed) {
        lines.push_back(at + "removed " + file + ", left behind by an interrupted program");
    }
    if (report.preambleBytes > 0) {
        lines.push_back(at + std::to_string(report.preambleBytes) +
                        " bytes of text before the first message (kept; no message holds them)");
    }
    if (report.strayNumbers > 0) {
        const bool one = report.strayNumbers == 1;
        lines.push_back(at + "dropped " + std::to_string(report.strayNumbers) +
                        (one ? " number" : " numbers") + " from the deleted list that " +
                        (one ? "names" : "name") + " no message");
    }
    for (std::string& line : MessageFindingLines(name, report.findings, !report.mend)) {
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace kivo
