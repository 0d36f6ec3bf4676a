#pragma once
// The message index window's state, without a window: the index of one mailbox (all entries,
// the rows shown while the Show filter hides the rest), the Show filter and its tags, the sort
// order, the selection and focus, and the rules for drawing rows. A view asks for row n and
// draws it; nothing is built per row.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/indexitem.h"
#include "store/indexstore.h"
#include "store/mailboxfiles.h"
#include "store/mailboxstate.h"

namespace kivo {

// The Show criteria of the title panel, in drop-down order.
enum TShowCriterion {
    scEverything = 0,
    scSubject,
    scFrom,
    scDate,
    scSize,
    scTo,
    scPriority,
    scUnread,
    scRead,
    scWithAttached,
    scWithoutAttached,
};
inline constexpr int kShowCriterionCount = 11;
// The drop-down text of a criterion ("everything", "subject", ... "without attached").
std::string_view ShowCriterionText(int criterion);
// Criteria 1 to 6 compare a text; the text field is enabled only for them.
bool ShowCriterionTakesText(int criterion);

// The settings that decide how rows look (Program section of the settings file).
struct TIndexLook {
    bool shadeCols = true;
    bool horShade = false;
    int horLines = 1;
    int vertShade = 42;  // bit k shades column k
    std::uint32_t shadeColour = 0xF0F0F0;
    std::uint32_t tagFontColour = 0x000000;
    std::uint32_t tagColour = 0x00FFFF;
    std::uint32_t listText = 0x000000;
    std::uint32_t listBack = 0xFFFFFF;
    bool grid = false;
};

// How one cell is drawn.
struct TCellLook {
    bool bold = false;
    std::uint32_t text = 0;
    std::uint32_t back = 0;
    bool operator==(const TCellLook&) const = default;
};
inline constexpr std::uint32_t kUntaggedGrey = 0x808080;

class TFrmIndex {
  public:
    // The mailbox shown: the mail folder and the relative path ("In", "Work/Alpha").
    std::filesystem::path Folder;
    std::string MailboxName;
    std::filesystem::path Base() const { return MailboxBase(Folder, MailboxName); }
    TMailboxFiles Files() const { return TMailboxFiles::Of(Base()); }

    // The state of the mailbox file the entries were built from; operations on message
    // numbers check it under the mailbox's lock (CheckIndexCurrent).
    TMailboxState Basis;
    // The number the next appended message gets.
    int MessageCounter = 0;
    // The index file matches the entries in memory.
    bool Saved = true;
    // So many messages are deleted that the mailbox is compressed when it is closed.
    bool NeedsCompress = false;
    // Messages of this mailbox deleted but not yet removed by compression.
    int DeletedCount = 0;

    // --- entries, in the order of the rows when nothing is hidden ---
    int ItemCount() const { return static_cast<int>(items_.Count()); }
    // Entry i built on demand (index files are saved from these).
    TIndexItem Item(int i) const { return items_.Item(static_cast<std::size_t>(i)); }
    // Removes every entry, the rows and the selection (filter settings stay).
    void ClearEntries();
    // Appends an entry; while the filter hides the rest it is listed too, untagged.
    void AddIndexItem(const TIndexItem& item);

    // --- rows: the shown entries (the tagged ones while the filter hides the rest) ---
    int RowCount() const;
    // The entry shown at `row`, built on demand: a view asks only for the rows it draws.
    TIndexItem Row(int row) const;
    // The rows' entries in row order, e.g. the selection's message numbers.
    std::vector<int> SelectedNumbers() const;
    // Row of the entry with that message number, or -1.
    int RowOfNumber(int number) const;

    // --- Show filter ---
    void ApplyFilter(int criterion, std::string_view text, bool hideRest);
    // Applies the stored filter again (after a mailbox is opened).
    void ReapplyFilter() { ApplyFilter(criterion_, showText_, hideRest_); }
    int Criterion() const { return criterion_; }
    const std::string& ShowText() const { return showText_; }
    bool HideRest() const { return hideRest_; }
    bool FilterActive() const { return criterion_ != scEverything; }
    bool HidingRest() const { return FilterActive() && hideRest_; }

    // --- sorting: a click on a column header ---
    void SortByColumn(TIndexColumn column);
    int SortColumn() const { return sortColumn_; }
    bool Ascending() const { return ascending_; }

    // --- selection and focus ---
    bool IsSelected(int row) const;
    void SetSelected(int row, bool selected);
    void SelectOnly(int row);
    void SelectAll();
    void InvertSelection();
    void SelectTagged();
    void ClearSelection();
    std::vector<int> SelectedRows() const;
    int Focused() const { return focused_; }
    void SetFocused(int row) { focused_ = row; }
    // Next row, from `start` on, whose Subject begins with `typed` (any case); wraps around
    // to the top when asked. -1 when none.
    int FindBySubject(std::string_view typed, int start, bool wrap) const;

    // --- changes to entries ---
    // With `singleEntry`, marks the focused entry read; otherwise toggles Unread on every
    // selected entry. The icon moves by 2; only the index changes.
    void ToggleUnread(bool singleEntry);
    // Moves the entry at `row` to the group of `letter` ('W', 'F' or 'B'), keeping its state.
    void UpdateIndexIcons(int row, char letter);
    // Removes the selected rows from the rows and the entries and returns them in row order.
    std::vector<TIndexItem> RemoveSelected();

    // --- drawing ---
    TCellLook CellLook(int row, int column, const TIndexLook& look) const;

    // The message count as the status bar shows it: "No messages", "1 message", "N messages".
    std::string MessageCountText() const;

  private:
    // Position in items_ of the entry shown at `row`.
    std::size_t PosOf(int row) const;
    void Tag(std::size_t pos, std::string& scratch);
    void RebuildShown();

    TIndexStore items_;
    std::vector<std::uint32_t> shown_;  // positions in items_, valid while HidingRest()
    std::vector<char> selected_;        // one flag per row
    int focused_ = -1;
    int criterion_ = scEverything;
    std::string showText_;
    bool hideRest_ = false;
    int sortColumn_ = -1;
    bool ascending_ = false;
};

}  // namespace kivo
