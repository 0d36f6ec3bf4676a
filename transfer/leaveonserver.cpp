#include "transfer/leaveonserver.h"

#include <stdexcept>
#include <unordered_set>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

namespace {
constexpr std::string_view kUserPrefix = "# USER: ";
constexpr std::string_view kCreatorLine = "Creator: Kivo, v1.0";

// A value is stored on one line of its own.
std::string OneLine(std::string_view value) {
    std::string line = Trim(value);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}
}  // namespace

LeaveOnServerList::LeaveOnServerList(std::filesystem::path file) : file_(std::move(file)) {
    lines_ = SplitLines(ReadFileOrEmpty(file_));
}

bool LeaveOnServerList::SelectExisting(std::string_view user, std::string_view server) {
    const std::string header =
        std::string(kUserPrefix) + std::string(user) + "@" + std::string(server);
    for (std::size_t i = lines_.size(); i-- > 0;) {
        if (lines_[i] == header) {
            header_ = i;
            selected_ = true;
            return true;
        }
    }
    return false;
}

void LeaveOnServerList::SelectAccount(std::string_view user, std::string_view server) {
    if (SelectExisting(user, server)) return;
    const std::string header =
        std::string(kUserPrefix) + std::string(user) + "@" + std::string(server);
    selected_ = true;
    if (lines_.empty()) {
        lines_ = {std::string(kCreatorLine), "", header};
        header_ = 2;
    } else {
        lines_.push_back("");
        lines_.push_back(header);
        header_ = lines_.size() - 1;
        lines_.push_back("");
    }
}

std::size_t LeaveOnServerList::BlockEnd() const {
    std::size_t end = header_ + 1;
    while (end < lines_.size() && !lines_[end].starts_with(kUserPrefix)) ++end;
    return end;
}

std::size_t LeaveOnServerList::Find(const LeaveOnServerEntry& entry) const {
    if (!selected_) throw std::logic_error("no account selected in the leave-on-server list");
    const std::string uid = OneLine(entry.uid);
    const std::string id = OneLine(entry.messageId);
    const std::string date = OneLine(entry.date);
    if (uid.empty() && id.empty() && date.empty()) return std::string::npos;
    const std::size_t end = BlockEnd();
    // Entries are whole triples right after the block's header line.
    for (std::size_t i = header_ + 1; i + 2 < end; i += 3) {
        if (lines_[i] == uid && lines_[i + 1] == id && lines_[i + 2] == date) return i;
    }
    return std::string::npos;
}

bool LeaveOnServerList::Contains(const LeaveOnServerEntry& entry) const {
    return Find(entry) != std::string::npos;
}

bool LeaveOnServerList::Remove(const LeaveOnServerEntry& entry) {
    const std::size_t at = Find(entry);
    if (at == std::string::npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                 lines_.begin() + static_cast<std::ptrdiff_t>(at + 3));
    return true;
}

void LeaveOnServerList::Insert(const LeaveOnServerEntry& entry) {
    Insert(std::vector<LeaveOnServerEntry>{entry});
}

void LeaveOnServerList::Insert(const std::vector<LeaveOnServerEntry>& entries) {
    if (!selected_) throw std::logic_error("no account selected in the leave-on-server list");
    std::vector<std::string> block;
    block.reserve(entries.size() * 3);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        block.push_back(OneLine(it->uid));
        block.push_back(OneLine(it->messageId));
        block.push_back(OneLine(it->date));
    }
    const auto at = lines_.begin() + static_cast<std::ptrdiff_t>(header_ + 1);
    lines_.insert(at, std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
}

std::size_t LeaveOnServerList::RemoveUnlisted(const std::vector<std::string>& ids) {
    if (!selected_) throw std::logic_error("no account selected in the leave-on-server list");
    std::unordered_set<std::string> listed;
    for (const std::string& id : ids) listed.insert(OneLine(id));
    const std::size_t end = BlockEnd();
    std::vector<std::string> kept(lines_.begin(),
                                  lines_.begin() + static_cast<std::ptrdiff_t>(header_ + 1));
    std::size_t i = header_ + 1;
    for (; i + 2 < end; i += 3) {
        const bool gone = ids.empty() || (!lines_[i].empty() && !listed.contains(lines_[i]));
        if (gone) continue;
        for (std::size_t k = i; k < i + 3; ++k) kept.push_back(std::move(lines_[k]));
    }
    const std::size_t dropped = (i - header_ - 1) / 3 - (kept.size() - header_ - 1) / 3;
    kept.insert(kept.end(),
                std::make_move_iterator(lines_.begin() + static_cast<std::ptrdiff_t>(i)),
                std::make_move_iterator(lines_.end()));
    lines_ = std::move(kept);
    return dropped;
}

void LeaveOnServerList::Save() const {
    if (!lines_.empty()) WriteFileAtomic(file_, JoinLinesCrLf(lines_), FileAccess::Private);
}

}  // namespace kivo
