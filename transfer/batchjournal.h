#pragma once
// A note of a batch of fetched mail on its way into In, kept beside the leave-on-server list.
// It is written before the batch's first byte is appended and removed once the list records
// the batch. A run killed in between leaves it, and the next run finds out from the mail
// itself whether the batch got there: if so its entries are recorded then, and the mail is
// not fetched a second time; if not, nothing is recorded and the mail is fetched again.
// The batch is looked for at its place in In first, and then by the content of its messages,
// since the user may delete, move, compress or repair before the next run: the append is all
// or nothing, so one message of the batch found anywhere in the mail folder means all of it
// got there. None found (never appended, or all of it deleted for good) fetches it again:
// when in doubt, mail comes twice rather than never.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/leaveonserver.h"

namespace kivo {

struct TBatchJournal {
    std::filesystem::path mailbox;
    std::uint64_t start = 0;   // where the batch's bytes begin in the mailbox file
    std::uint64_t length = 0;  // how many there are
    std::uint64_t digest = 0;  // DigestOf(those bytes)
    std::string user;          // the account's block in the leave-on-server list
    std::string server;
    std::vector<LeaveOnServerEntry> entries;
    // MessageDigest() of each message the batch stores (a filter may have dropped some).
    std::vector<std::uint64_t> messages;

    // A digest of the batch's first and last bytes and its length: enough to tell the batch
    // from anything else that could stand at its place.
    static std::uint64_t DigestOf(std::string_view bytes);
    // A digest of one stored message that stays the same wherever the store takes it: its
    // separator line, its "Status:" lines (rewritten as it is read and compressed) and the
    // blank lines at its end are left out.
    static std::uint64_t MessageDigest(const std::vector<std::string>& lines);

    // Writes the note; throws std::system_error.
    void Write(const std::filesystem::path& file) const;
    // The note in `file`; nullopt when there is none or it is not a whole note (a note
    // broken off was never acted on: nothing of its batch was appended yet).
    static std::optional<TBatchJournal> Read(const std::filesystem::path& file);
    // Whether the batch got into the mailbox: at its place, else one of its messages in any
    // mailbox of the mailbox's folder and the folders below. Looks under the mailbox's lock,
    // which first cuts back an append that was never finished. Throws std::system_error.
    bool Appended() const;
};

// Settles the note a killed run left in `journal`, if any: records the entries of a batch
// that reached its mailbox in the leave-on-server list, tells `settled` whether the batch got
// there, then removes the note. Returns how many entries it recorded. Throws
// std::system_error when the list cannot be read or saved (or `settled` throws); the note
// then stays for the next run.
std::size_t SettleBatchJournal(const std::filesystem::path& journal,
                               const std::filesystem::path& leaveOnServer,
                               const std::function<void(bool appended)>& settled = {});

}  // namespace kivo
