#include "store/transferintent.h"

#include <unistd.h>

#include <random>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "store/deletedlist.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTokenWord = "Kivo transfer ";
constexpr std::string_view kLastLine = "end";

std::string NewToken() {
    std::random_device random;
    return std::string(kTokenWord) + std::to_string(::getpid()) + "-" +
           std::to_string(random()) + "-" + std::to_string(random());
}

bool Exists(const fs::path& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// Whether the target's append record still points at the record `token`: its copy is not
// settled yet, and the done record must stay until it is.
bool TargetStillWaits(const fs::path& target, const std::string& token) {
    try {
        return ReadFileOrEmpty(AppendRecordPath(target)).find(token + "\t") != std::string::npos;
    } catch (const std::system_error&) {
        return true;
    }
}

// Once the mark is made, a record that must stay for its target's sake names no numbers: a
// later lock of a source file rewritten with the same bytes never marks them a second time.
void KeepForTargetOnly(TTransferRecord record, const fs::path& file) {
    record.numbers.clear();
    try {
        record.Write(file);
    } catch (const std::system_error&) {
        // Marking again is harmless while the file is unchanged; the record still keeps the copy.
    }
}

}  // namespace

fs::path TTransferRecord::PendingPath(const TMailboxFiles& source) {
    return fs::path(source.Mbx.string() + ".transfer");
}

fs::path TTransferRecord::DonePath(const TMailboxFiles& source) {
    return fs::path(source.Mbx.string() + ".transferred");
}

void TTransferRecord::Write(const fs::path& file) const {
    std::string text = token + "\r\n" + target.string() + "\r\n" + source.Text() + "\r\n";
    for (int n : numbers) text += std::to_string(n) + "\r\n";
    text += std::string(kLastLine) + "\r\n";
    WriteFileAtomicLocked(file, text);
}

std::optional<TTransferRecord> TTransferRecord::Read(const fs::path& file) {
    std::vector<std::string> lines;
    try {
        lines = SplitLines(ReadFileOrEmpty(file));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    if (lines.size() < 4 || !lines[0].starts_with(kTokenWord) || lines.back() != kLastLine) {
        return std::nullopt;
    }
    TTransferRecord record;
    record.token = lines[0];
    record.target = lines[1];
    const std::optional<TMailboxState> source = TMailboxState::Parse(lines[2]);
    if (record.target.empty() || !source) return std::nullopt;
    record.source = *source;
    for (std::size_t i = 3; i + 1 < lines.size(); ++i) {
        int n = 0;
        if (!ParseInt(lines[i], n)) return std::nullopt;
        record.numbers.push_back(n);
    }
    return record;
}

TTransferIntent::TTransferIntent(const TMailboxFiles& source, int sourceFd,
                                 std::vector<int> numbers, const fs::path& target,
                                 TAppendTransaction& append)
    : source_(source), target_(target) {
    TTransferRecord record{NewToken(), target, TMailboxState::Read(sourceFd), std::move(numbers)};
    record.Write(TTransferRecord::PendingPath(source_));
    append.KeepIf(TTransferRecord::DonePath(source_), record.token);
}

TTransferIntent::~TTransferIntent() {
    if (finished_) return;
    // Gone before the copy is taken back, so a crash in between never keeps a mark without
    // its copy.
    ::unlink((copied_ ? TTransferRecord::DonePath(source_) : TTransferRecord::PendingPath(source_))
                 .c_str());
}

void TTransferIntent::Copied() {
    const fs::path done = TTransferRecord::DonePath(source_);
    if (::rename(TTransferRecord::PendingPath(source_).c_str(), done.c_str()) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot record the copy in " +
                                                                    source_.Mbx.string());
    }
    copied_ = true;
}

void TTransferIntent::Finish() {
    finished_ = true;
    // While the target's append record still points here, the record keeps the copy.
    const fs::path done = TTransferRecord::DonePath(source_);
    const std::optional<TTransferRecord> record = TTransferRecord::Read(done);
    if (record && TargetStillWaits(target_, record->token)) {
        KeepForTargetOnly(*record, done);
        return;
    }
    ::unlink(done.c_str());
}

TTransferSettled SettleTransfer(const TMailboxFiles& files, int lockedFd) {
    TTransferSettled settled = TTransferSettled::None;
    const fs::path pending = TTransferRecord::PendingPath(files);
    if (Exists(pending) && ::unlink(pending.c_str()) == 0) settled = TTransferSettled::Undone;
    const fs::path donePath = TTransferRecord::DonePath(files);
    if (!Exists(donePath)) return settled;
    const std::optional<TTransferRecord> done = TTransferRecord::Read(donePath);
    if (!done) {
        ::unlink(donePath.c_str());  // renamed only when whole: never a done record
        return settled;
    }
    // The numbers name messages only while the file is the one they were taken from.
    if (CompareState(done->source, lockedFd, false) != TStateChange::Changed) {
        TDeletedList list = TDeletedList::Load(files, lockedFd);
        bool added = false;
        for (int n : done->numbers) added = list.Add(n) || added;
        if (added) {
            list.Save(files, lockedFd);
            settled = TTransferSettled::Marked;
        }
    }
    if (!TargetStillWaits(done->target, done->token)) {
        ::unlink(donePath.c_str());
    } else if (!done->numbers.empty()) {
        KeepForTargetOnly(*done, donePath);
    }
    return settled;
}

}  // namespace kivo
