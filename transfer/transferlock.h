#pragma once
// One check and one send at a time per program folder: a run holds an exclusive flock on a
// lock file of its kind ("check.lock", "send.lock") in the program folder. Two checks at once
// would both fetch every message before either records it; two sends would both deliver the
// whole queue. The kernel drops the lock when the holder dies, so a killed run never blocks
// the next one. A check and a send may run side by side: they touch different files.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace kivo {

class Platform;

enum class TTransferKind { Check, Send };

class TTransferLock {
  public:
    // The lock file of `kind` in the program folder.
    static std::filesystem::path FileIn(const std::filesystem::path& programFolder,
                                        TTransferKind kind);

    // Takes the lock, waiting while another process holds it: up to `wait` (nullopt: as long
    // as it takes), running `platform`'s event pump and giving up when it asks to abort.
    // nullopt when the lock was not taken. Throws std::system_error when the file cannot be
    // opened.
    static std::optional<TTransferLock> Take(const std::filesystem::path& file,
                                             std::optional<std::chrono::milliseconds> wait,
                                             Platform* platform = nullptr);

    // The id of the process that holds the lock of `file`, as it wrote it there; 0 when it
    // cannot be told.
    static long Holder(const std::filesystem::path& file);
    // "a check is already running (pid N)" for the holder of `file`.
    static std::string BusyText(const std::filesystem::path& file, TTransferKind kind);

    ~TTransferLock();
    TTransferLock(TTransferLock&& other) noexcept;
    TTransferLock& operator=(TTransferLock&& other) noexcept;
    TTransferLock(const TTransferLock&) = delete;
    TTransferLock& operator=(const TTransferLock&) = delete;

  private:
    explicit TTransferLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace kivo
