#pragma once
// A note of a batch of fetched mail on its way into In, kept beside the leave-on-server list.
// It is written before the batch's first byte is appended and removed once the list records
// the batch. A run killed in between leaves it, and the next run finds out from In itself
// whether the batch got there: if so its entries are recorded then, and the mail is not
// fetched a second time; if not, nothing is recorded and the mail is fetched again.

#include <cstdint>
#include <filesystem>
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

    // A digest of the batch's first and last bytes and its length: enough to tell the batch
    // from anything else that could stand at its place.
    static std::uint64_t DigestOf(std::string_view bytes);

    // Writes the note; throws std::system_error.
    void Write(const std::filesystem::path& file) const;
    // The note in `file`; nullopt when there is none or it is not a whole note (a note
    // broken off was never acted on: nothing of its batch was appended yet).
    static std::optional<TBatchJournal> Read(const std::filesystem::path& file);
    // Whether the mailbox holds the batch now. Looks under the mailbox's lock, which first
    // cuts back an append that was never finished. Throws std::system_error.
    bool Appended() const;
};

// Settles the note a killed run left in `journal`, if any: records the entries of a batch
// that reached its mailbox in the leave-on-server list, then removes the note. Returns how
// many entries it recorded. Throws std::system_error when the list cannot be read or saved;
// the note then stays for the next run.
std::size_t SettleBatchJournal(const std::filesystem::path& journal,
                               const std::filesystem::path& leaveOnServer);

}  // namespace kivo
