#pragma once
// What a mailbox's index was built from: the identity of the mailbox file, its length then,
// the number of messages in that length and a digest of the bytes just before its end.
// Operations that act on message numbers compare it with the file under the mailbox's lock:
// bytes appended by another process keep every number valid; a file replaced (compression)
// or changed in place does not, and the index must be built again before numbers mean
// anything.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

struct TMailboxState {
    bool known = false;  // false for entries that were never read from a file
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t messages = -1;  // separator lines within `size`; -1 when not counted
    std::uint64_t tail = 0;      // digest of the last bytes before `size`

    // The state of the open file `fd` as it is now (messages not counted). Throws
    // std::system_error.
    static TMailboxState Read(int fd);
    // One word for the index file's first line, and back; nullopt for another text.
    std::string Text() const;
    static std::optional<TMailboxState> Parse(std::string_view text);
    bool operator==(const TMailboxState&) const = default;
};

enum class TStateChange {
    Same,      // the file is as it was
    Appended,  // the same file with bytes added at its end: every number is still valid
    Changed,   // replaced, cut short or changed in place
};

// How the file open as `fd` differs from `basis`. A new modification time at the same length
// (the file was touched or rewritten in place) counts as changed only with `strictTime`.
TStateChange CompareState(const TMailboxState& basis, int fd, bool strictTime);

}  // namespace kivo
