#include "transfer/batchjournal.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <unordered_set>

#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxfile.h"
#include "store/mbxscanner.h"

namespace kivo {

namespace {

// Version 1 notes (without message digests) are still read: they are found at their place.
constexpr std::string_view kFirstLine = "Kivo batch journal 2";
constexpr std::string_view kFirstLineV1 = "Kivo batch journal 1";
constexpr std::string_view kLastLine = "end";
constexpr std::uint64_t kEdgeBytes = 4096;

// A value on a line of its own.
std::string OneLine(std::string_view value) {
    std::string line(value);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

std::uint64_t Digest(std::string_view head, std::string_view tail, std::uint64_t length) {
    return Fnv1a(std::to_string(length), Fnv1a(tail, Fnv1a(head)));
}

bool ParseNumber(std::string_view word, std::uint64_t& value, int base = 10) {
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    return ec == std::errc() && end == word.data() + word.size() && !word.empty();
}

std::string Hex(std::uint64_t value) {
    char text[16];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, 16);
    return std::string(text, end);
}

bool IsMailbox(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    return name.size() > 4 && EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".mbx");
}

// Whether a message of `file` has one of the digests.
bool HoldsAny(const std::filesystem::path& file, const std::unordered_set<std::uint64_t>& digests) {
    MbxScanner scanner(file);
    while (scanner.Next()) {
        if (digests.contains(TBatchJournal::MessageDigest(scanner.Lines()))) return true;
    }
    return false;
}

}  // namespace

std::uint64_t TBatchJournal::MessageDigest(const std::vector<std::string>& lines) {
    std::size_t end = lines.size();
    while (end > 0 && Trim(lines[end - 1]).empty()) --end;
    std::uint64_t hash = kFnvStart;
    for (std::size_t i = 0; i < end; ++i) {
        if (i == 0 && IsSeparator(lines[i])) continue;
        if (lines[i].starts_with("Status:")) continue;
        hash = Fnv1a(lines[i], hash);
        hash = Fnv1a("\n", hash);
    }
    return hash;
}

std::uint64_t TBatchJournal::DigestOf(std::string_view bytes) {
    const std::size_t edge = std::min<std::size_t>(bytes.size(), kEdgeBytes);
    return Digest(bytes.substr(0, edge), bytes.substr(bytes.size() - edge), bytes.size());
}

void TBatchJournal::Write(const std::filesystem::path& file) const {
    std::vector<std::string> lines = {
        std::string(kFirstLine), mailbox.string(), std::to_string(start),
        std::to_string(length),  Hex(digest),      OneLine(user),
        OneLine(server)};
    std::string digests;
    for (std::uint64_t message : messages) digests += (digests.empty() ? "" : " ") + Hex(message);
    lines.push_back(digests);
    for (const LeaveOnServerEntry& entry : entries) {
        lines.push_back(OneLine(entry.uid));
        lines.push_back(OneLine(entry.messageId));
        lines.push_back(OneLine(entry.date));
    }
    lines.emplace_back(kLastLine);
    // It names what is left on the user's servers, like the list itself.
    WriteFileAtomic(file, JoinLinesCrLf(lines), FileAccess::Private);
}

std::optional<TBatchJournal> TBatchJournal::Read(const std::filesystem::path& file) {
    std::string text;
    try {
        text = ReadFileOrEmpty(file);
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    const std::vector<std::string> lines = SplitLines(text);
    const bool v1 = !lines.empty() && lines.front() == kFirstLineV1;
    const std::size_t kHead = v1 ? 7 : 8;
    if (lines.size() < kHead + 1 || (lines.front() != kFirstLine && !v1) ||
        lines.back() != kLastLine || (lines.size() - kHead - 1) % 3 != 0)
        return std::nullopt;
    TBatchJournal journal;
    journal.mailbox = lines[1];
    if (journal.mailbox.empty() || !ParseNumber(lines[2], journal.start) ||
        !ParseNumber(lines[3], journal.length) || !ParseNumber(lines[4], journal.digest, 16))
        return std::nullopt;
    journal.user = lines[5];
    journal.server = lines[6];
    if (!v1) {
        for (const std::string& word : SplitWords(lines[7])) {
            std::uint64_t digest = 0;
            if (!ParseNumber(word, digest, 16)) return std::nullopt;
            journal.messages.push_back(digest);
        }
    }
    for (std::size_t i = kHead; i + 1 < lines.size(); i += 3)
        journal.entries.push_back({lines[i], lines[i + 1], lines[i + 2]});
    return journal;
}

bool TBatchJournal::Appended() const {
    std::error_code ec;
    if (length == 0) return false;
    if (std::filesystem::exists(mailbox, ec)) {
        const FileLock lock(mailbox);
        const std::uint64_t edge = std::min(length, kEdgeBytes);
        const std::string head = ReadFileAt(lock.fd(), start, edge, mailbox);
        const std::string tail = ReadFileAt(lock.fd(), start + length - edge, edge, mailbox);
        if (head.size() == edge && tail.size() == edge && Digest(head, tail, length) == digest)
            return true;
        if (messages.empty()) return false;
        const std::unordered_set<std::uint64_t> wanted(messages.begin(), messages.end());
        if (HoldsAny(mailbox, wanted)) return true;
    }
    if (messages.empty()) return false;
    // Moved or deleted (to Trash) before the mailbox was compressed: anywhere in the folder.
    const std::unordered_set<std::uint64_t> wanted(messages.begin(), messages.end());
    const std::filesystem::path folder = mailbox.parent_path();
    for (auto it = std::filesystem::recursive_directory_iterator(
             folder, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || !IsMailbox(it->path())) continue;
        if (std::filesystem::equivalent(it->path(), mailbox, ec)) continue;
        if (HoldsAny(it->path(), wanted)) return true;
    }
    return false;
}

std::size_t SettleBatchJournal(const std::filesystem::path& journal,
                               const std::filesystem::path& leaveOnServer,
                               const std::function<void(bool appended)>& settled) {
    std::error_code ec;
    if (!std::filesystem::exists(journal, ec)) return 0;
    std::size_t recorded = 0;
    const std::optional<TBatchJournal> batch = TBatchJournal::Read(journal);
    const bool appended = batch && batch->Appended();
    if (appended) {
        LeaveOnServerList list(leaveOnServer);
        list.SelectAccount(batch->user, batch->server);
        std::vector<LeaveOnServerEntry> missing;
        for (const LeaveOnServerEntry& entry : batch->entries) {
            if (!list.Contains(entry)) missing.push_back(entry);
        }
        if (!missing.empty()) {
            list.Insert(missing);
            list.Save();
        }
        recorded = missing.size();
    }
    if (settled) settled(appended);
    std::filesystem::remove(journal, ec);
    return recorded;
}

}  // namespace kivo
