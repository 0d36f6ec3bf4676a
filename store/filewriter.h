#pragma once
// A new file written front to back: small pieces go through a large buffer, long ranges of
// another file are copied inside the kernel. Used by compression, which copies most of a
// mailbox unchanged. Every failure throws std::system_error.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kivo {

class TFileWriter {
  public:
    // Creates (or truncates) the file with the given permissions.
    TFileWriter(const std::filesystem::path& path, mode_t mode);
    ~TFileWriter();
    TFileWriter(const TFileWriter&) = delete;
    TFileWriter& operator=(const TFileWriter&) = delete;

    void Write(std::string_view data);
    // Appends `length` bytes of the open file `fd` from `offset` on. Ranges that continue
    // each other are copied in one go.
    void CopyRange(int fd, std::uint64_t offset, std::uint64_t length);
    // Flushes, syncs to disk and closes.
    void Finish();

  private:
    void Flush();
    void CopyPending();
    void WriteAll(std::string_view data);

    std::filesystem::path path_;
    int fd_ = -1;
    std::string buf_;
    bool kernelCopy_ = true;  // copy_file_range works between these files
    int pendingFd_ = -1;      // the range waiting to be copied
    std::uint64_t pendingOffset_ = 0;
    std::uint64_t pendingLength_ = 0;
};

}  // namespace kivo
