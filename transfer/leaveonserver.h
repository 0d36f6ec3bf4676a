#pragma once
// The leave-on-server list "lmos.dat": a record of the messages fetched but left on a POP3
// server, so that the next check does not fetch them again. The file holds one block per
// account ("# USER: user@server"), each with three-line entries (unique id, Message-ID,
// Date), newest first. Entries are matched as whole lines and only inside the account's own
// block: a prefix or another account's entry must never make a new message look seen, since
// that would leave it unread or even delete it from the server.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// What identifies one message on the server.
struct LeaveOnServerEntry {
    std::string uid;  // the "X-UIDL" header, else the unique id the server's UIDL reports
    std::string messageId;
    std::string date;
};

class LeaveOnServerList {
  public:
    // Reads the file; a missing file gives an empty list. Throws std::system_error when the
    // file is there but cannot be read.
    explicit LeaveOnServerList(std::filesystem::path file);

    // Makes the account's block current, appending a new block when there is none.
    void SelectAccount(std::string_view user, std::string_view server);
    // Makes the account's block current only when there is one; false otherwise.
    bool SelectExisting(std::string_view user, std::string_view server);

    // Whether the current block holds the entry. An entry of three empty values never
    // matches: nothing identifies that message.
    bool Contains(const LeaveOnServerEntry& entry) const;
    // Removes the entry's first occurrence from the current block; false when missing.
    bool Remove(const LeaveOnServerEntry& entry);
    // Adds the entry at the start of the current block.
    void Insert(const LeaveOnServerEntry& entry);
    // Adds the entries as one Insert each in turn would (the last one first), in one move.
    void Insert(const std::vector<LeaveOnServerEntry>& entries);
    // Drops the current block's entries of messages no longer on the server, given the unique
    // ids of all the messages it now holds (none: every entry goes). An entry without an id
    // stays while the server holds messages, as nothing tells whether it is one of them.
    // Returns how many entries were dropped.
    std::size_t RemoveUnlisted(const std::vector<std::string>& ids);

    bool Empty() const { return lines_.empty(); }
    const std::vector<std::string>& Lines() const { return lines_; }
    // Writes the file atomically when it has lines; throws std::system_error.
    void Save() const;

  private:
    // One past the current block's last line: the next block's header or the file's end.
    std::size_t BlockEnd() const;
    std::size_t Find(const LeaveOnServerEntry& entry) const;

    std::filesystem::path file_;
    std::vector<std::string> lines_;
    std::size_t header_ = 0;  // the current block's "# USER: " line
    bool selected_ = false;
};

}  // namespace kivo
