#include "store/mailboxstate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <system_error>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

namespace {

constexpr std::uint64_t kTailBytes = 4096;
constexpr std::string_view kPrefix = "v2:";

// FNV-1a over the last bytes before `end`; a change in place near the end of what the index
// covers (where appends and rewrites land) changes it.
std::uint64_t TailDigest(int fd, std::uint64_t end) {
    const std::uint64_t start = end > kTailBytes ? end - kTailBytes : 0;
    const std::size_t want = static_cast<std::size_t>(end - start);
    const std::string bytes = ReadFileAt(fd, start, want, "mailbox");
    const std::uint64_t hash = Fnv1a(bytes);
    // Fewer bytes than the length says: the file was cut short meanwhile.
    return bytes.size() == want ? hash : ~hash;
}

struct stat StatOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw std::system_error(errno, std::generic_category(), "reading mailbox");
    return st;
}

std::int64_t MtimeNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

template <typename T>
bool Field(std::string_view& text, T& value, int base = 10) {
    const std::size_t colon = text.find(':');
    const std::string_view word = text.substr(0, colon);
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (ec != std::errc() || end != word.data() + word.size()) return false;
    text.remove_prefix(colon == std::string_view::npos ? text.size() : colon + 1);
    return true;
}

}  // namespace

TMailboxState TMailboxState::Read(int fd) {
    const struct stat st = StatOf(fd);
    TMailboxState state;
    state.known = true;
    state.dev = static_cast<std::uint64_t>(st.st_dev);
    state.ino = static_cast<std::uint64_t>(st.st_ino);
    state.size = static_cast<std::uint64_t>(st.st_size);
    state.mtimeNs = MtimeNs(st);
    state.tail = TailDigest(fd, state.size);
    return state;
}

std::string TMailboxState::Text() const {
    char tail[17];
    auto [end, ec] = std::to_chars(tail, tail + sizeof tail, this->tail, 16);
    (void)ec;
    return std::string(kPrefix) + std::to_string(dev) + ":" + std::to_string(ino) + ":" +
           std::to_string(size) + ":" + std::to_string(mtimeNs) + ":" + std::to_string(messages) +
           ":" + std::string(tail, end);
}

std::optional<TMailboxState> TMailboxState::Parse(std::string_view text) {
    if (!text.starts_with(kPrefix)) return std::nullopt;
    text.remove_prefix(kPrefix.size());
    TMailboxState state;
    state.known = true;
    if (!Field(text, state.dev) || !Field(text, state.ino) || !Field(text, state.size) ||
        !Field(text, state.mtimeNs) || !Field(text, state.messages) ||
        !Field(text, state.tail, 16) || !text.empty()) {
        return std::nullopt;
    }
    return state;
}

TStateChange CompareState(const TMailboxState& basis, int fd, bool strictTime) {
    const struct stat st = StatOf(fd);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (static_cast<std::uint64_t>(st.st_dev) != basis.dev ||
        static_cast<std::uint64_t>(st.st_ino) != basis.ino || size < basis.size ||
        TailDigest(fd, basis.size) != basis.tail) {
        return TStateChange::Changed;
    }
    if (size > basis.size) return TStateChange::Appended;
    if (strictTime && MtimeNs(st) != basis.mtimeNs) return TStateChange::Changed;
    return TStateChange::Same;
}

}  // namespace kivo
