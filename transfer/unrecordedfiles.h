#pragma once
// The attachment files a check has written for mail it has not recorded yet, listed in a file
// beside the leave-on-server list ("lmos.files") as each one is made, before a byte goes
// into it. Once the batch that points to them is recorded the list goes. A run killed sooner
// leaves it, and the next check removes the listed files of a batch that never got into In
// (its mail is fetched again and gets files of its own); files of a batch that did get there
// stay. Lines are appended without a flush: the list must outlive a killed process, which
// the kernel's page cache does; after a power cut a leftover file is what `kivo repair` finds.

#include <cstddef>
#include <filesystem>
#include <vector>

namespace kivo {

class TUnrecordedFiles {
  public:
    explicit TUnrecordedFiles(std::filesystem::path list) : list_(std::move(list)) {}

    // Notes a file just made. Throws std::system_error when the list cannot be written.
    void Add(const std::filesystem::path& file);
    // How many files are noted so far, to remove those of one message that failed.
    std::size_t Count() const { return files_.size(); }
    // Removes the files noted since `count` (a message that is not stored after all).
    void RemoveSince(std::size_t count);
    // Flushes the files noted so far to disk, and the entries of their folders, so no
    // message is recorded (and deleted from the server) while its attachments could still
    // be lost to a power cut. Throws std::system_error.
    void Flush() const;
    // The batch got recorded: its files are the mail's now.
    void Recorded();
    // Removes every file the list names, then the list: the files of a batch that was never
    // recorded. Returns how many files it removed. Throws std::system_error when the list is
    // there but cannot be read.
    std::size_t RemoveListed();

  private:
    std::filesystem::path list_;
    std::vector<std::filesystem::path> files_;
};

}  // namespace kivo
