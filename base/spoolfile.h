#pragma once
// A file without a name that holds bytes on their way somewhere, so that a large transfer is
// kept on disk rather than in memory. It lives in a folder of the caller's choosing (on the
// disk the bytes go to, not in a temporary folder that may be memory) and disappears with
// the object, also when the process is killed: nothing is ever left behind.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kivo {

class TSpoolFile {
  public:
    // Creates the file in `folder`. Throws std::system_error.
    explicit TSpoolFile(const std::filesystem::path& folder);
    ~TSpoolFile();
    TSpoolFile(TSpoolFile&& other) noexcept;
    TSpoolFile& operator=(TSpoolFile&& other) noexcept;
    TSpoolFile(const TSpoolFile&) = delete;
    TSpoolFile& operator=(const TSpoolFile&) = delete;

    // Appends the bytes. Throws std::system_error (a full disk).
    void Append(std::string_view bytes);
    std::uint64_t Size() const { return size_; }
    // Every byte appended, in one string of exactly that size. Throws std::system_error.
    std::string ReadAll() const;
    // Up to `size` bytes from `offset` into `buffer`; fewer only at the end. Throws
    // std::system_error.
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::filesystem::path folder_;  // for error texts
};

}  // namespace kivo
