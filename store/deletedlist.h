#pragma once
// The deleted list of a mailbox (the ".d" file beside it): the numbers of messages deleted
// since the last compression, one decimal number per line, in the order they were deleted.
// The file exists only while the list has numbers.

#include <filesystem>
#include <unordered_set>
#include <vector>

namespace kivo {

class TDeletedList {
  public:
    // Reads the file; a missing file is an empty list and lines that are not numbers are
    // skipped. Throws std::system_error when the file is there but cannot be read.
    static TDeletedList Load(const std::filesystem::path& path);
    // Writes the file atomically, or removes it when the list is empty; the caller holds the
    // mailbox's lock. Throws std::system_error when it cannot be written.
    void Save(const std::filesystem::path& path) const;

    // Adds a number unless it is already listed; true when it was added.
    bool Add(int number);
    bool Contains(int number) const { return set_.contains(number); }
    int Count() const { return static_cast<int>(numbers_.size()); }
    bool Empty() const { return numbers_.empty(); }
    const std::vector<int>& Numbers() const { return numbers_; }

  private:
    std::vector<int> numbers_;
    std::unordered_set<int> set_;
};

}  // namespace kivo
