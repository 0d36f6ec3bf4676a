#pragma once
// The entries of one mailbox's index, held compactly: a 32-byte record per entry and one
// arena with the Subject, From and To texts of all entries, so a mailbox of millions of
// messages costs little more than those texts. Date, Size and Priority are kept as a packed
// date-time, an integer and a code for the five priority words. A value that would not come
// back byte for byte that way (a date not in the program's form, a size with leading zeros,
// another priority word) keeps its text in the arena too, so an entry always reads back
// exactly as it was added. It knows nothing of rows, selection or the Show filter.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/indexitem.h"

namespace kivo {

class TIndexStore {
  public:
    std::size_t Count() const { return records_.size(); }
    void Clear();
    // Texts longer than 255 bytes are cut, as MakeIndexItem does.
    void Add(const TIndexItem& item);
    // The entry at `pos` built on demand.
    TIndexItem Item(std::size_t pos) const;

    int Number(std::size_t pos) const { return records_[pos].number; }
    int Icon(std::size_t pos) const { return records_[pos].icon; }
    bool Unread(std::size_t pos) const { return Has(pos, kUnread); }
    bool HasAttachment(std::size_t pos) const { return Has(pos, kAttachment); }
    bool Tagged(std::size_t pos) const { return Has(pos, kTagged); }
    // The text of a column (TIndexColumn); `scratch` holds it when it is not kept as text.
    std::string_view ColumnText(std::size_t pos, int column, std::string& scratch) const;
    // The Date or Size column's order as a number; an entry whose value cannot be read gets
    // the lowest key.
    std::int64_t NumericKey(std::size_t pos, int column) const;

    void SetUnread(std::size_t pos, bool unread) { SetFlag(pos, kUnread, unread); }
    void SetTagged(std::size_t pos, bool tagged) { SetFlag(pos, kTagged, tagged); }
    void SetIcon(std::size_t pos, int icon) { records_[pos].icon = static_cast<std::int8_t>(icon); }
    // Puts the entries in the order `order` names: entry i becomes the old entry order[i].
    void Reorder(const std::vector<std::uint32_t>& order);
    // Removes the entries whose `drop` flag is set, keeping the others in order.
    void Remove(const std::vector<char>& drop);

    // Arena bytes no entry uses any more (for tests of the compaction).
    std::size_t DeadBytes() const { return dead_; }
    std::size_t ArenaBytes() const { return arena_.size(); }

  private:
    enum : std::uint8_t {
        kUnread = 1,
        kAttachment = 2,
        kTagged = 4,
        kHasSize = 8,   // `size` holds the Size column's number
        kOddDate = 16,  // the Date text follows in the arena
        kOddSize = 32,  // the Size text follows in the arena
    };
    static constexpr std::uint8_t kOddPriority = 5;  // the Priority text follows in the arena

    // Texts sit in the arena as Subject, From, To, then each odd text with a length byte.
    struct Record {
        std::uint64_t text = 0;  // arena offset of this entry's texts
        std::uint64_t date = 0;  // packed date-time, 0 when the date cannot be read
        std::int32_t number = 0;
        std::int32_t size = 0;
        std::uint8_t subjectLen = 0;
        std::uint8_t fromLen = 0;
        std::uint8_t toLen = 0;
        std::uint8_t priority = 0;  // position in the five words, or kOddPriority
        std::int8_t icon = 0;
        std::uint8_t flags = 0;
    };
    static_assert(sizeof(Record) == 32);

    bool Has(std::size_t pos, std::uint8_t flag) const { return records_[pos].flags & flag; }
    void SetFlag(std::size_t pos, std::uint8_t flag, bool on);
    void AppendText(std::string_view text, std::uint8_t& length);
    void AppendOddText(std::string_view text);
    // The odd texts of a record, in the order they were appended.
    std::string_view OddText(const Record& r, std::uint8_t which) const;
    std::size_t TextBytes(const Record& r) const;
    std::string SizeText(const Record& r) const;
    std::string DateText(const Record& r) const;
    std::string_view PriorityText(const Record& r) const;
    void CompactArena();

    std::vector<Record> records_;
    std::string arena_;
    std::size_t dead_ = 0;
};

}  // namespace kivo
